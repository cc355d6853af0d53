#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Processor time of the running recorder, in nanoseconds of every thread (bench/cpu_time.sh),
# beside parec on the same PulseAudio source over the same seconds, median of three intervals:
#   monitoring (the window shown, nothing recorded) against parec to /dev/null,
#   recording (the window shown) against parec writing a file,
#   the headless recorder (--headless --loop 10) against parec writing a file;
# while monitoring, bench/window_floor (a bare Qt window repainting one level bar ten times a
# second) runs on the same display, measured over the same intervals: the least any window
# refreshed like ours costs, beside parec;
# then what a save costs the recording: SIGUSR1 saves the headless loop's take while it records,
# Velmar.raw's growth is sampled against the clock throughout, and "blocks late: N" is how many
# blocks further behind the clock the recording fell during the save than before it. Every file
# made is checked to be an unbroken run of the counter fed; one that is not fails the benchmark.
# Everything runs on a private PulseAudio server and Xvfb display (the end-to-end harness), fed
# in real time. It measures whatever capture adapter the program is built with.
# Usage: run_recorder.sh <build dir>
#   BENCH_RECORDER_SECONDS: seconds per interval (default 60); BENCH_RECORDER_ROUNDS: intervals
#   per measure (default 3).
set -uo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:?usage: run_recorder.sh <build dir>}"
seconds="${BENCH_RECORDER_SECONDS:-60}"
rounds="${BENCH_RECORDER_ROUNDS:-3}"

cmake --build "$build" --target velmar-recorder e2e_feeder e2e_verify_raw window_floor -j2 \
    >/dev/null || { echo "building velmar-recorder and the e2e tools failed" >&2; exit 1; }
RECORDER="$build/velmar-recorder"
E2E_BIN="$build/tests/e2e"
export E2E_MAX_SECONDS=$((3 * rounds * seconds + 300))
# shellcheck source=../tests/e2e/e2e_lib.sh
source "$repo/tests/e2e/e2e_lib.sh"
# shellcheck source=cpu_time.sh
source "$repo/bench/cpu_time.sh"
build_type=$(awk -F= '/^CMAKE_BUILD_TYPE:/ { print $2 }' "$build/CMakeCache.txt")
command -v sox >/dev/null || { echo "sox is needed" >&2; exit 1; }

e2e_start_all >/dev/null

parec_to() {
    parec -d "$E2E_SOURCE" --raw --format=s16le --rate=44100 --channels=2 >"$1" 2>/dev/null &
    E2E_PIDS+=($!)
    PAREC_PID=$!
}

# Medians over $rounds intervals of the processes given (ours, parec and optionally a third);
# prints "ours parec ours-libpulse third" in % of a core, ours-libpulse being the share of our
# libpulse thread (threaded-ml) alone.
measure() {
    local ours=() theirs=() pulse=() third=() a b c p0 t0
    for _ in $(seq "$rounds"); do
        p0=$(cpu_ns_named "$1" threaded-ml)
        t0=$(mono_ns)
        read -r a b c < <(cpu_percent_over "$seconds" "$@") && [ -n "$b" ] ||
            e2e_fail "a measured process ended"
        pulse+=("$(awk -v c=$(($(cpu_ns_named "$1" threaded-ml) - p0)) \
            -v w=$(($(mono_ns) - t0)) 'BEGIN { printf "%.4f", 100 * c / w }')")
        ours+=("$a")
        theirs+=("$b")
        third+=("${c:-0}")
    done
    echo "$(median "${ours[@]}") $(median "${theirs[@]}") $(median "${pulse[@]}")" \
        "$(median "${third[@]}")"
}

parec_to /dev/null
"$build/bench/window_floor" 2>/dev/null &
E2E_PIDS+=($!)
floor=$!
sleep 2 # let start-up drawing and the first buffers settle
read -r mon_ours mon_parec mon_pulse mon_floor < <(measure $E2E_PID $PAREC_PID $floor)
e2e_stop $PAREC_PID
e2e_stop $floor

e2e_click_record
e2e_wait_for 5 "Velmar.raw to be written" test -s "$RAW"
parec_to "$E2E_DIR/parec.raw"
read -r rec_ours rec_parec rec_pulse _ < <(measure $E2E_PID $PAREC_PID)
e2e_click_stop
sleep 1
blocks=$(($(stat -c %s "$RAW") / 17640))
"$E2E_BIN/e2e_verify_raw" "$RAW" >/dev/null ||
    e2e_fail "the windowed recording is not the signal fed"
e2e_close_recorder >/dev/null

# The headless recorder: a copy of its own, so the settings file beside it is this run's, and a
# work folder of its own.
mkdir -p "$E2E_DIR/bin" "$E2E_DIR/saved" "$E2E_DIR/headless"
cp "$RECORDER" "$E2E_DIR/bin/velmar-recorder"
printf '[Save Format]\nWav=1\nSamplePerSecond=44100\nBitPerSample=16\nChannels=2\nMP3=0\n[Output Folder]\nName=%s\n' \
    "$E2E_DIR/saved" >"$E2E_DIR/bin/velmar-recorder.INI"
work="$E2E_DIR/headless/Velmar Recorder"
mkdir -p "$work"
XDG_DATA_HOME="$E2E_DIR/headless" "$E2E_DIR/bin/velmar-recorder" --headless --loop 10 \
    2>"$E2E_DIR/headless.log" &
headless=$!
E2E_PIDS+=($headless)
e2e_wait_for 20 "the headless recorder to start recording" grep -q "Recording started" \
    "$E2E_DIR/headless.log"
sleep 2
read -r hl_ours hl_parec hl_pulse _ < <(measure $headless $PAREC_PID)

# What a save costs: Velmar.raw's size every 50 ms from 5 s before the signal to 2 s after
# the save has ended, with the time of each reading.
raw="$work/Velmar.raw"
samples="$E2E_DIR/growth.txt"
sample_for() {
    local until=$(($(e2e_now_ms) + $1))
    while [ "$(e2e_now_ms)" -lt $until ]; do
        echo "$(e2e_now_ms) $(stat -c %s "$raw") $2" >>"$samples"
        sleep 0.05
    done
}
saves() { grep -c "^velmar-recorder: saved " "$E2E_DIR/headless.log"; }
sample_for 5000 before
t_signal=$(e2e_now_ms)
kill -USR1 $headless
while [ "$(saves)" -lt 1 ]; do
    [ $(($(e2e_now_ms) - t_signal)) -lt 120000 ] || e2e_fail "no 'saved' within 120 s of SIGUSR1"
    sample_for 100 during
done
save_ms=$(($(e2e_now_ms) - t_signal))
sample_for 2000 during
kill -TERM $headless
wait $headless || e2e_fail "SIGTERM ended the headless recorder with $?"
# Lag behind the clock at each reading, in blocks, from the first reading: the largest during
# the save minus the largest before it (a block is written as it arrives, so some lag is normal).
late=$(awk '{ if (NR == 1) { t0 = $1; b0 = $2 / 17640 }
              lag = ($1 - t0) / 100 - ($2 / 17640 - b0)
              if (!($3 in max) || lag > max[$3]) max[$3] = lag }
            END { d = max["during"] - max["before"]; printf "%d\n", (d > 0 ? d : 0) }' "$samples")
"$E2E_BIN/e2e_verify_raw" "$raw" >/dev/null ||
    e2e_fail "the headless loop's Velmar.raw is not an unbroken run of the signal fed"
saved=$(ls "$E2E_DIR/saved"/*.wav 2>/dev/null | head -n 1)
[ -n "$saved" ] || e2e_fail "SIGUSR1 saved no WAV"
sox "$saved" -t raw -e signed -b 16 -c 2 -r 44100 "$E2E_DIR/saved.raw" &&
    "$E2E_BIN/e2e_verify_raw" "$E2E_DIR/saved.raw" >/dev/null ||
    e2e_fail "the WAV saved during the recording is not an unbroken run of the signal fed"
saved_s=$(soxi -d "$saved")

row() {
    awk -v n="$1" -v r="$2" -v p="$3" -v t="$4" 'BEGIN {
        ratio = p > 0 ? r / p : 0
        printf "%-36s %10.3f %%  %8.3f %%  %6s  %7s  %s\n", n, r, p,
            (p > 0 ? sprintf("%.2f", ratio) : "n/a"), t, (t == "-" ? "" : (p > 0 && ratio <= substr(t, 3) ? "ok" : "OVER")) }'
}
echo "Recorder CPU, % of one core, median of $rounds x ${seconds} s, ns from /proc/PID/task/*/schedstat"
echo "(${build_type:-?} build, pipe source, Xvfb, the machine's other load included)"
printf "%-36s %12s  %10s  %6s  %7s\n" "measure" "ours" "parec" "ratio" "target"
row "monitoring (window) / parec >null" "$mon_ours" "$mon_parec" "<=1.2"
row "recording (window) / parec >file" "$rec_ours" "$rec_parec" "<=1.4"
row "headless --loop 10 / parec >file" "$hl_ours" "$hl_parec" "-"
echo "of which our libpulse thread alone (threaded-ml), against the same parec:"
row "  monitoring" "$mon_pulse" "$mon_parec" "-"
row "  recording" "$rec_pulse" "$rec_parec" "-"
row "  headless" "$hl_pulse" "$hl_parec" "-"
echo "a bare Qt window repainting one level bar ten times a second, beside the monitoring:"
row "  window_floor" "$mon_floor" "$mon_parec" "-"
echo "recording wrote $blocks blocks, the headless loop $(($(stat -c %s "$raw") / 17640)):" \
    "both unbroken counter runs"
echo "a save during the headless recording: ${saved_s} saved in ${save_ms} ms, an unbroken run"
echo "blocks late: $late"
