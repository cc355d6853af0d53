#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# CPU of playing a sound through the playback engine and the output adapter, against
# pacat --playback of the same bytes to the same private PulseAudio server in the same run,
# in nanoseconds (bench/cpu_run), median of three plays each. Every play is captured from a
# pipe sink of its own, paced by the system clock, and must hold the sound byte for byte: a play
# that does not fails the benchmark. Such a sink drops what its FIFO cannot take, so the FIFO is
# read by bench/fifo_capture with the largest pipe buffer: read by `cat` through the default
# 64 KB, half a second without the reader scheduled on a loaded machine was enough to lose
# sound from the capture, and the check then failed for ours and pacat alike.
# Usage: run_playback.sh <build dir> [seconds] [plays]
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:?usage: run_playback.sh <build dir> [seconds] [plays]}"
seconds="${2:-30}"
plays="${3:-3}"
bench="$build/bench/playback_bench"
cpu_run="$build/bench/cpu_run"
fifo_capture="$build/bench/fifo_capture"
for tool in "$bench" "$cpu_run" "$fifo_capture"; do
    [ -x "$tool" ] || { echo "missing $tool: build the velmar_benches target" >&2; exit 1; }
done
for tool in sox pacat pactl pulseaudio cmp; do
    command -v "$tool" >/dev/null || { echo "$tool is needed" >&2; exit 1; }
done
# shellcheck source=cpu_time.sh
source "$repo/bench/cpu_time.sh"

# The server start of the end-to-end tests; its own pipe sink is drained.
# shellcheck source=../tests/e2e/e2e_lib.sh
source "$repo/tests/e2e/e2e_lib.sh"
E2E_DIR=$(mktemp -d /tmp/velmar-playback-bench.XXXXXX)
# The harness's clean-up expects errexit off and ends with the status it finds in $?: hand it the
# script's own, or a failed check would end the benchmark with 0.
trap 'rc=$?; set +e; (exit $rc); e2e_cleanup' EXIT
e2e_start_pulse >/dev/null
cat "$E2E_DIR/sink.fifo" >/dev/null &
E2E_PIDS+=($!)

# A sine whose first frame is not zero, so the first non-zero frame of a capture is where the
# sound begins.
input="$E2E_DIR/sound.raw"
sox -V1 -n -t raw -r 44100 -e signed-integer -b 16 -c 2 "$input" \
    synth "$seconds" sine 440 0 25 vol 0.5
size=$(stat -c %s "$input")

# Plays with a fresh sink captured to $1.pcm and the player's CPU in $1.cpu. A sink of its own
# per play: a pipe sink keeps writing into its FIFO after the reader is gone, so a shared one
# would start the next capture with the tail of the previous play. The capture ends once it
# holds the whole sound after its first non-zero frame (the server's buffer plays out after the
# player has ended), or 5 s after the player ended.
play() {
    local name=$1 n=$2
    shift 2
    local capture="$E2E_DIR/$name.$n"
    local fifo="$E2E_DIR/$name.$n.fifo"
    local module
    module=$(pactl load-module module-pipe-sink sink_name="bench_$name$n" file="$fifo" \
        format=s16le rate=44100 channels=2 use_system_clock_for_timing=yes)
    pactl set-default-sink "bench_$name$n"
    "$fifo_capture" "$fifo" "$capture.pcm" &
    local reader=$!
    E2E_PIDS+=($reader)
    "$cpu_run" "$capture.cpu" "$@" >"$capture.out" 2>"$capture.err" ||
        { echo "$name failed: $(cat "$capture.err")" >&2; return 1; }
    local deadline=$(($(e2e_now_ms) + 5000))
    while [ "$(e2e_now_ms)" -lt $deadline ]; do
        local start
        start=$(sound_start "$capture.pcm")
        [ -n "$start" ] && [ $(($(stat -c %s "$capture.pcm") - start)) -ge "$size" ] && break
        sleep 0.2
    done
    e2e_stop "$reader" || true # the status of a reader ended by a signal
    pactl set-default-sink "$E2E_SINK"
    pactl unload-module "$module"
}

# Byte offset of the first frame of $1 that is not all zeros, empty when there is none.
sound_start() {
    local first
    first=$(cmp -l /dev/zero "$1" 2>/dev/null | head -n 1 | awk '{ print $1 }') || true
    [ -n "$first" ] && echo $(((first - 1) / 4 * 4))
}

# True when the capture holds the whole sound unchanged from its first non-zero frame.
played_exactly() {
    local start
    start=$(sound_start "$1") || return 1
    [ -n "$start" ] && cmp -s -n "$size" "$input" "$1" 0 "$start"
}

value() { awk -v k="$1" '$1 == k { print $2 }' "$2"; }

ours_whole=() ours_playing=() theirs=() failed=0
for n in $(seq "$plays"); do
    play ours "$n" "$bench" "$input"
    play pacat "$n" pacat --playback --raw --format=s16le --rate=44100 --channels=2 "$input"
    for name in ours pacat; do
        if ! played_exactly "$E2E_DIR/$name.$n.pcm"; then
            echo "$name, play $n: BYTES DIFFER from the sound played" >&2
            failed=1
        fi
    done
    ours_whole+=("$(value cpu_ns "$E2E_DIR/ours.$n.cpu")")
    ours_playing+=("$(value play_cpu_ns "$E2E_DIR/ours.$n.out")")
    theirs+=("$(value cpu_ns "$E2E_DIR/pacat.$n.cpu")")
done
wall_s=$(value play_wall_s "$E2E_DIR/ours.1.out")

pacat_ns=$(median "${theirs[@]}")
printf '%-40s %12s %12s %7s\n' "measure (${seconds} s of sound, median of $plays)" "ours ms" \
    "pacat ms" "ratio"
row() {
    awk -v n="$1" -v a="$2" -v b="$pacat_ns" -v r="$3" 'BEGIN {
        printf "%-40s %12.2f %12.2f %7s  (%s)\n", n, a / 1e6, b / 1e6,
            (b > 0 ? sprintf("%.2f", a / b) : "n/a"), r }'
}
row "CPU while playing (playback only)" "$(median "${ours_playing[@]}")" "pacat whole run"
row "CPU of the whole process (with start-up)" "$(median "${ours_whole[@]}")" "pacat whole run"
if [ $failed -ne 0 ]; then
    echo "FAILED: a capture is not the sound byte for byte (see above)"
    exit 1
fi
echo "every play captured byte for byte (ours played for ${wall_s} s)"
