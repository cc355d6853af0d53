#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# WAV export of a one-hour sound against sox. Usage: run_export_wav.sh <build dir> [runs]
# The scratch files (about 1.9 GB) live in a temporary folder under /tmp, removed on exit.
set -euo pipefail

build="${1:?usage: run_export_wav.sh <build dir> [runs]}"
runs="${2:-3}"
bench="$build/bench/export_wav_bench"
[ -x "$bench" ] || { echo "missing $bench: build the velmar_benches target" >&2; exit 1; }
command -v sox >/dev/null || { echo "sox is needed for the reference timings" >&2; exit 1; }

scratch="$(mktemp -d "${TMPDIR:-/tmp}/export-wav-bench.XXXXXX")"
trap 'rm -rf "$scratch"' EXIT
need_kb=$((2 * 1024 * 1024))
free_kb=$(df -Pk "$scratch" | awk 'NR == 2 { print $4 }')
if [ "$free_kb" -lt "$need_kb" ]; then
    echo "need 2 GB free under $scratch, have $((free_kb / 1024)) MB" >&2
    exit 1
fi
"$bench" "$scratch" "$runs"
