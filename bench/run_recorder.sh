#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# CPU use of the running recorder while it only monitors and while it records, beside parec
# capturing the same PulseAudio source to /dev/null over the same seconds. Everything runs on a
# private PulseAudio server and Xvfb display (the end-to-end harness), fed in real time.
# Usage: run_recorder.sh <build dir>      (BENCH_RECORDER_SECONDS: seconds per phase, default 20)
set -uo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:?usage: run_recorder.sh <build dir>}"
seconds="${BENCH_RECORDER_SECONDS:-20}"

cmake --build "$build" --target velmar-recorder e2e_feeder e2e_verify_raw -j2 >/dev/null ||
    { echo "building velmar-recorder and the e2e tools failed" >&2; exit 1; }
RECORDER="$build/velmar-recorder"
E2E_BIN="$build/tests/e2e"
export E2E_MAX_SECONDS=$((3 * seconds + 120))
source "$repo/tests/e2e/e2e_lib.sh"

# utime + stime of a process, in clock ticks.
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
hz=$(getconf CLK_TCK)
build_type=$(awk -F= '/^CMAKE_BUILD_TYPE:/ { print $2 }' "$build/CMakeCache.txt")

e2e_init >/dev/null
e2e_start_pulse >/dev/null
e2e_start_feeder
e2e_start_xvfb >/dev/null
e2e_start_recorder >/dev/null
e2e_wait_for 10 "the recorder to open the pipe source" e2e_has_stream_on_source $E2E_PID

parec -d "$E2E_SOURCE" --raw --format=s16le --rate=44100 --channels=2 >/dev/null 2>&1 &
E2E_PIDS+=($!)
parec_pid=$!

# Measures both processes over one phase; prints "recorder_percent parec_percent".
measure() {
    local r0 p0 t0 r1 p1 t1
    r0=$(cpu_ticks $E2E_PID)
    p0=$(cpu_ticks $parec_pid)
    t0=$(e2e_now_ms)
    sleep "$seconds"
    r1=$(cpu_ticks $E2E_PID)
    p1=$(cpu_ticks $parec_pid)
    t1=$(e2e_now_ms)
    awk -v r=$((r1 - r0)) -v p=$((p1 - p0)) -v ms=$((t1 - t0)) -v hz="$hz" \
        'BEGIN { printf "%.2f %.2f\n", 100 * r / hz * 1000 / ms, 100 * p / hz * 1000 / ms }'
}

sleep 2 # let start-up drawing and the first buffers settle
read -r mon_rec mon_parec < <(measure)

e2e_click_record
e2e_wait_for 5 "Velmar.raw to be written" test -s "$E2E_WORK/Velmar.raw"
read -r rec_rec rec_parec < <(measure)
e2e_click_stop
sleep 1
blocks=$(($(stat -c %s "$E2E_WORK/Velmar.raw") / 17640))
"$E2E_BIN/e2e_verify_raw" "$E2E_WORK/Velmar.raw" >/dev/null ||
    { echo "the benchmark recording is not the signal fed" >&2; exit 1; }
e2e_close_recorder >/dev/null

row() {
    awk -v n="$1" -v r="$2" -v p="$3" -v t="$4" 'BEGIN {
        ratio = p > 0 ? sprintf("%.1fx", r / p) : "n/a"
        printf "%-12s %14.2f %%  %10.2f %%  %8s  %7s %s\n", n, r, p, ratio, "<= " t " %", (r <= t ? "ok" : "OVER") }'
}
echo "Recorder CPU, percent of one core, ${seconds} s per phase (${build_type:-?} build, pipe source, Xvfb)"
printf "%-12s %16s  %12s  %8s  %7s\n" "phase" "velmar-recorder" "parec" "ratio" "target"
row monitoring "$mon_rec" "$mon_parec" 2
row recording "$rec_rec" "$rec_parec" 3
echo "(recording phase wrote $blocks blocks, verified bit-exact; CLK_TCK $hz)"
