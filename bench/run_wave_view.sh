#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Full redraw of the editor's waveform view at 1920 x 1080 for a ten-hour, 100-segment sound,
# at zoom levels 1 and 10, against one QImage::fill of the same area in the same process.
# Target: at most 4 ms per redraw. Usage: run_wave_view.sh <build dir> [runs]
set -euo pipefail

build="${1:?usage: run_wave_view.sh <build dir> [runs]}"
runs="${2:-50}"
bench="$build/bench/wave_view_bench"
[ -x "$bench" ] || { echo "missing $bench: build the velmar_benches target" >&2; exit 1; }

out="$(QT_QPA_PLATFORM=offscreen "$bench" "$runs")"
value() { awk -v k="$1" -v c="$2" '$1 == k { print $c }' <<<"$out"; }
fill="$(value qimage_fill 2)"
fill_min="$(value qimage_fill 3)"

printf '%-34s %10s %10s %10s %8s\n' "measure ($runs runs, 1920x1080)" "median ms" "fill ms" "ratio" "target"
for zoom in 1 10; do
    ms="$(value "redraw_zoom$zoom" 2)"
    awk -v n="full redraw, zoom level $zoom" -v a="$ms" -v b="$fill" \
        'BEGIN { printf "%-34s %10.3f %10.3f %10.2f %8s\n", n, a, b, a / b, (a <= 4 ? "<= 4 ms" : "MISSED") }'
done
for zoom in 1 10; do
    ms="$(value "redraw_zoom$zoom" 3)"
    awk -v n="fastest redraw, zoom level $zoom" -v a="$ms" -v b="$fill_min" \
        'BEGIN { printf "%-34s %10.3f %10.3f %10.2f\n", n, a, b, a / b }'
done
