#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# CPU of playing a sound through the playback engine and the libpulse output, against
# pacat --playback of the same bytes to the same private PulseAudio server in the same run.
# Both plays are captured from a real-time pipe sink and must contain the sound byte for byte.
# A third row shows what an idle 20 ms Qt timer alone costs for as long: QAudioSink's PulseAudio
# backend runs one on the GUI thread while its stream is open, and pacat has none.
# Usage: run_playback.sh <build dir> [seconds]
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:?usage: run_playback.sh <build dir> [seconds]}"
seconds="${2:-30}"
bench="$build/bench/playback_bench"
[ -x "$bench" ] || { echo "missing $bench: build the playback_bench target" >&2; exit 1; }
for tool in sox pacat pactl pulseaudio cmp; do
    command -v "$tool" >/dev/null || { echo "$tool is needed" >&2; exit 1; }
done

# The server start of the end-to-end tests; its pipe sink is drained and a second one, paced by
# the system clock so both players are held to real time, becomes the default output.
# shellcheck source=../tests/e2e/e2e_lib.sh
source "$repo/tests/e2e/e2e_lib.sh"
E2E_DIR=$(mktemp -d /tmp/velmar-playback-bench.XXXXXX)
trap 'set +e; e2e_cleanup' EXIT # the harness's clean-up expects errexit off
e2e_start_pulse >/dev/null
cat "$E2E_DIR/sink.fifo" >/dev/null &
E2E_PIDS+=($!)
pactl load-module module-pipe-sink sink_name=bench_out file="$E2E_DIR/bench.fifo" \
    format=s16le rate=44100 channels=2 use_system_clock_for_timing=yes >/dev/null
pactl set-default-sink bench_out

# A sine whose first sample is its peak, so the first non-zero byte of a capture is where the
# sound begins.
input="$E2E_DIR/sound.raw"
sox -V1 -n -t raw -r 44100 -e signed-integer -b 16 -c 2 "$input" \
    synth "$seconds" sine 440 0 25 vol 0.5
size=$(stat -c %s "$input")

# Runs a player with the sink captured to $1; prints "user sys" CPU seconds of the player
# (getrusage of the shell's children, through `times`).
play() {
    local capture=$1
    shift
    cat "$E2E_DIR/bench.fifo" >"$capture" &
    local reader=$!
    E2E_PIDS+=($reader)
    local t
    t=$( ( "$@" >"$capture.out" 2>"$capture.err"; times ) | tail -n 1)
    sleep 0.5
    e2e_stop "$reader"
    awk '{ for (i = 1; i <= 2; i++) { split($i, a, /m|s/); s[i] = a[1] * 60 + a[2] } }
         END { printf "%.4f\n", s[1] + s[2] }' <<<"$t"
}

# True when the capture holds the whole sound unchanged from its first non-zero byte.
played_exactly() {
    local first
    first=$(cmp -l /dev/zero "$1" 2>/dev/null | head -n 1 | awk '{ print $1 }') || true
    [ -n "$first" ] && cmp -s -n "$size" "$input" "$1" 0 $((first - 1))
}

ours=$(play "$E2E_DIR/ours.pcm" "$bench" "$input")
wall_s=$(awk '$1 == "play_wall_s" { print $2 }' "$E2E_DIR/ours.pcm.out")
theirs=$(play "$E2E_DIR/pacat.pcm" pacat --playback --raw --format=s16le --rate=44100 \
    --channels=2 "$input")
timer=$("$bench" --timer-only "$wall_s" 2>/dev/null | awk '$1 == "timer_cpu_s" { print $2 }') || timer=0
playing=$(awk '$1 == "play_cpu_s" { print $2 }' "$E2E_DIR/ours.pcm.out")

verdict() { if played_exactly "$1"; then echo "bytes exact"; else echo "BYTES DIFFER"; fi; }
printf '%-44s %10s %10s %8s\n' "measure (${seconds} s of sound)" "ours s" "pacat s" "ratio"
row() { awk -v n="$1" -v a="$2" -v b="$3" -v r="$4" \
    'BEGIN { printf "%-44s %10.4f %10.4f %8.2f  (%s)\n", n, a, b, (b > 0 ? a / b : 0), r }'; }
row "CPU while playing (playback only)" "$playing" "$theirs" "pacat whole run"
row "CPU of the whole process (with start-up)" "$ours" "$theirs" "pacat whole run"
row "an idle 20 ms QTimer alone, as long" "$timer" "$theirs" "QAudioSink runs one itself"
echo "ours: played for ${wall_s} s, $(verdict "$E2E_DIR/ours.pcm"); pacat: $(verdict "$E2E_DIR/pacat.pcm")"
played_exactly "$E2E_DIR/ours.pcm" && played_exactly "$E2E_DIR/pacat.pcm"
