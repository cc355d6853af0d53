#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Cost of one recording tick (one block) against sox handling the same blocks.
# Usage: run_record_tick.sh <build dir> [blocks]
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:?usage: run_record_tick.sh <build dir> [blocks]}"
blocks="${2:-6000}"
command -v sox >/dev/null || { echo "sox is needed for the reference timing" >&2; exit 1; }

bench="$build/bench/record_tick_bench"
if [ ! -x "$bench" ]; then
    # Not part of the main build's bench targets: build it on its own.
    cmake -S "$repo/bench/record_tick" -B "$build/record_tick" -G Ninja \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$build/record_tick" -j2 >/dev/null
    bench="$build/record_tick/record_tick_bench"
fi

scratch="$(mktemp -d "$build/record-tick.XXXXXX")"
trap 'rm -rf "$scratch"' EXIT

out="$("$bench" "$scratch" "$blocks")"
value() { awk -v k="$1" '$1 == k { print $2 }' <<<"$out"; }
off="$(value tick_us_dc_off)"
on="$(value tick_us_dc_on)"
copy="$(value memcpy_us)"

# Reference: sox reads the same number of blocks of raw stereo 16-bit audio, removes a DC
# offset of the same size and writes them out again, per block.
fmt=(-t raw -r 44100 -e signed-integer -b 16 -c 2)
seconds=$(awk -v n="$blocks" 'BEGIN { printf "%.1f", n / 10 }')
sox -V1 -n "${fmt[@]}" "$scratch/in.raw" synth "$seconds" sine 440 vol 0.5
cat "$scratch/in.raw" >/dev/null
start=$(date +%s.%N)
sox -V1 -D "${fmt[@]}" "$scratch/in.raw" "${fmt[@]}" "$scratch/out.raw" dcshift 0.015
end=$(date +%s.%N)
sox_us=$(awk -v s="$start" -v e="$end" -v n="$blocks" 'BEGIN { printf "%.2f", (e - s) * 1e6 / n }')

printf '%-34s %12s %12s %10s\n' "measure ($blocks blocks)" "ours us/blk" "ref us/blk" "ratio"
row() { awk -v n="$1" -v a="$2" -v b="$3" -v r="$4" \
    'BEGIN { printf "%-34s %12.2f %12.2f %10.2f  (%s)\n", n, a, b, a / b, r }'; }
row "recording tick, DC reduction off" "$off" "$sox_us" "sox dcshift"
row "recording tick, DC reduction on" "$on" "$sox_us" "sox dcshift"
row "recording tick, DC reduction on" "$on" "$copy" "memcpy of one block"
