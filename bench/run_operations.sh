#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Editing operations on a one-hour sound against cp and sox. Usage: run_operations.sh <build dir> [runs]
# The scratch files (about 2.6 GB) live in a temporary folder under the build dir, removed on exit.
set -euo pipefail

build="${1:?usage: run_operations.sh <build dir> [runs]}"
runs="${2:-3}"
bench="$build/bench/operations_bench"
[ -x "$bench" ] || { echo "missing $bench: build the velmar_benches target" >&2; exit 1; }
for tool in sox cp; do
    command -v "$tool" >/dev/null || { echo "$tool is needed for the reference timings" >&2; exit 1; }
done

need_kb=$((3 * 1024 * 1024))
free_kb=$(df -Pk "$build" | awk 'NR == 2 { print $4 }')
if [ "$free_kb" -lt "$need_kb" ]; then
    echo "need 3 GB free under $build, have $((free_kb / 1024)) MB" >&2
    exit 1
fi

scratch="$(mktemp -d "$build/operations-bench.XXXXXX")"
trap 'rm -rf "$scratch"' EXIT
"$bench" "$scratch" "$runs"
