#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The real editor window under Xvfb: processor time of the program (every thread, in ns from
# /proc/PID/task/*/schedstat) while the editor is open and idle, median of three intervals, and
# while it plays a take through Play All, median of three plays, against pacat playing the same
# bytes to the same sink (bench/cpu_run). Every play is captured from a pipe sink paced by the
# system clock (bench/fifo_capture) and must be the take byte for byte between silences; one that
# is not fails the benchmark. It measures whatever output adapter the program is built with.
# Usage: run_editor.sh <build dir>   (BENCH_EDITOR_SECONDS: take length and idle interval, 30)
set -uo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:?usage: run_editor.sh <build dir>}"
seconds="${BENCH_EDITOR_SECONDS:-30}"
rounds=3

cmake --build "$build" --target velmar-recorder e2e_feeder e2e_verify_raw cpu_run fifo_capture \
    -j2 >/dev/null || { echo "building velmar-recorder and the tools failed" >&2; exit 1; }
RECORDER="$build/velmar-recorder"
E2E_BIN="$build/tests/e2e"
export E2E_MAX_SECONDS=$((10 * seconds + 300))
# shellcheck source=../tests/e2e/e2e_lib.sh
source "$repo/tests/e2e/e2e_lib.sh"
# shellcheck source=cpu_time.sh
source "$repo/bench/cpu_time.sh"
build_type=$(awk -F= '/^CMAKE_BUILD_TYPE:/ { print $2 }' "$build/CMakeCache.txt")

# The sink's FIFO is read with the largest pipe buffer (bench/fifo_capture), so that a reader
# left unscheduled on the loaded machine loses no sound from the capture.
e2e_start_all_play_sink "$build/bench/fifo_capture" >/dev/null
e2e_record_take "$seconds" >/dev/null
e2e_open_editor
sleep 2 # the first drawing

idle=()
for _ in $(seq $rounds); do
    idle+=("$(cpu_percent_over "$seconds" $E2E_PID)") || e2e_fail "the program ended"
done

# Checks the capture from byte $1 on: the take exactly, silence around it.
check_play() {
    tail -c +$(($1 + 1)) "$E2E_DIR/played.raw" >"$E2E_DIR/one_play.raw"
    "$E2E_BIN/e2e_verify_raw" "$E2E_DIR/one_play.raw" --trim-silence \
        --same-as "$E2E_DIR/take.raw" >/dev/null ||
        e2e_fail "$2: the sink did not receive the take byte for byte"
}
play_s=$(awk -v b=$TAKE_BLOCKS 'BEGIN { printf "%.1f", b / 10 + 1.5 }')
ours=() theirs=() pulse=()
for n in $(seq $rounds); do
    sleep 1
    from=$(stat -c %s "$E2E_DIR/played.raw")
    before=$(cpu_ns $E2E_PID)
    pulse_before=$(cpu_ns_named $E2E_PID threaded-ml)
    e2e_click_play_all
    sleep "$play_s"
    ours+=($(($(cpu_ns $E2E_PID) - before)))
    pulse+=($(($(cpu_ns_named $E2E_PID threaded-ml) - pulse_before)))
    check_play "$from" "Play All $n"

    sleep 1
    from=$(stat -c %s "$E2E_DIR/played.raw")
    "$build/bench/cpu_run" "$E2E_DIR/pacat.cpu" pacat --playback --raw --format=s16le \
        --rate=44100 --channels=2 "$E2E_DIR/take.raw" || e2e_fail "pacat failed"
    sleep 1.5
    theirs+=("$(awk '$1 == "cpu_ns" { print $2 }' "$E2E_DIR/pacat.cpu")")
    check_play "$from" "pacat $n"
done

idle_pct=$(median "${idle[@]}")
ours_ns=$(median "${ours[@]}")
pacat_ns=$(median "${theirs[@]}")
pulse_ns=$(median "${pulse[@]}")
echo "The editor window, median of $rounds (${build_type:-?} build, Xvfb, pipe sink, the machine's other load included)"
printf '%-46s %12s %12s %7s %8s\n' "measure" "ours" "reference" "ratio" "target"
awk -v p="$idle_pct" -v s="$seconds" 'BEGIN {
    printf "%-46s %10.3f %% %12s %7s %8s  %s\n", "idle editor window, % of a core over " s " s", p,
        "-", "-", "< 0.2 %", (p < 0.2 ? "ok" : "OVER") }'
awk -v a="$ours_ns" -v b="$pacat_ns" -v s="$TAKE_BLOCKS" 'BEGIN {
    r = b > 0 ? a / b : 0
    printf "%-46s %9.1f ms %9.1f ms %7.2f %8s  %s\n", "playing " s / 10 " s in the editor / pacat", a / 1e6,
        b / 1e6, r, "<= 1.3", (b > 0 && r <= 1.3 ? "ok" : "OVER") }'
awk -v a="$pulse_ns" -v b="$pacat_ns" 'BEGIN {
    printf "%-46s %9.1f ms %9.1f ms %7.2f %8s\n", "  of which our libpulse thread (threaded-ml)", a / 1e6,
        b / 1e6, (b > 0 ? a / b : 0), "-" }'
echo "every play captured as the take byte for byte"
