#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# MP3 export of six minutes against the lame command line. Usage: run_export_mp3.sh <build dir> [runs]
# The scratch files (about 70 MB) live in a temporary folder under the build dir, removed on exit.
set -euo pipefail

build="${1:?usage: run_export_mp3.sh <build dir> [runs]}"
runs="${2:-3}"
bench="$build/bench/export_mp3_bench"
library="$build/lame_enc.so"
[ -x "$bench" ] || { echo "missing $bench: build the velmar_benches target" >&2; exit 1; }
[ -f "$library" ] || { echo "missing $library: build the lame_enc target" >&2; exit 1; }
command -v lame >/dev/null || { echo "lame is needed for the reference timings" >&2; exit 1; }

scratch="$(mktemp -d "$build/export-mp3-bench.XXXXXX")"
trap 'rm -rf "$scratch"' EXIT
"$bench" "$scratch" "$library" "$runs"
