#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Records about 3 s of the counter/tone signal, opens the editor and plays the take with Play All,
# then leaves it alone: the playback must end by itself (the program's playback stream goes away
# within two seconds of the take's length) and the sink must have received the whole take, its
# last block included, bit-exact. Closing the editor at once afterwards must not cut anything.
#
# usage: editor_play_to_end.sh RECORDER E2E_BIN
set -uo pipefail
RECORDER=$1
E2E_BIN=$2
source "$(dirname "$0")/e2e_lib.sh"

e2e_init
e2e_start_pulse
# A sink that keeps real time, read into a file from the start.
pactl load-module module-pipe-sink sink_name=e2e_play file="$E2E_DIR/play.fifo" format=s16le \
    rate=44100 channels=2 use_system_clock_for_timing=yes >/dev/null ||
    e2e_fail "cannot load the playback sink"
pactl set-default-sink e2e_play
cat "$E2E_DIR/play.fifo" >"$E2E_DIR/played.raw" &
E2E_PIDS+=($!)
SINK_READER=$!
e2e_start_feeder
e2e_start_xvfb
e2e_start_recorder
e2e_wait_for 10 "the recorder to open the pipe source for monitoring" \
    e2e_has_stream_on_source $E2E_PID
RAW="$E2E_WORK/Velmar.raw"

e2e_click_record
t_record=$(e2e_now_ms)
e2e_wait_for 5 "Velmar.raw to be created by Record" test -f "$RAW"
sleep $(awk -v t=$(($(e2e_now_ms) - t_record)) 'BEGIN { printf "%.3f", (3000 - t) / 1000 }')
e2e_click_stop
sleep 1
cp "$RAW" "$E2E_DIR/take.raw"
take_blocks=$(($(stat -c %s "$RAW") / 17640))
"$E2E_BIN/e2e_verify_raw" "$E2E_DIR/take.raw" --min-blocks 20 ||
    e2e_fail "the take is not the signal that was fed"

# Playback streams of process $1, one index per line.
sink_inputs_of() {
    pactl list sink-inputs 2>/dev/null | awk -v pid="$1" '
        /^Sink Input #/ { idx = substr($3, 2) }
        /application.process.id = / { gsub(/"/, "", $3); if ($3 == pid) print idx }'
}
has_playback() { [ -n "$(sink_inputs_of "$1")" ]; }
no_playback() { [ -z "$(sink_inputs_of "$1")" ]; }

e2e_click_client $((388 + 29)) $((269 + 11))
editor_window() {
    local w
    w=$(xdotool search --onlyvisible --name '^Velmar Recorder$' 2>/dev/null | head -n1)
    [ -n "$w" ] && [ "$w" != "$E2E_WID" ] && echo "$w"
}
e2e_wait_for 10 "the editor window" editor_window
ED=$(editor_window)
eval "$(xdotool getwindowgeometry --shell "$ED")"
ED_H=$HEIGHT

# Play All, the first button of the play bar.
xdotool mousemove --window "$ED" 19 $((ED_H - 43)) click 1
t_play=$(e2e_now_ms)
e2e_wait_for 5 "the playback stream" has_playback $E2E_PID
limit_s=$(((take_blocks + 9) / 10 + 2))
e2e_wait_for $limit_s "the playback to end by itself" no_playback $E2E_PID
e2e_log "playback of $take_blocks blocks ended $(($(e2e_now_ms) - t_play)) ms after Play All"

# File menu, its last item Exit: the editor closes right after the end.
xdotool windowfocus --sync "$ED"
xdotool mousemove --window "$ED" 15 10 click 1
sleep 0.5
xdotool key Up Return
e2e_wait_for 10 "the editor to close" bash -c "! xdotool search --onlyvisible --name '^Velmar Recorder$' | grep -qx '$ED'"
sleep 1
e2e_stop $SINK_READER
"$E2E_BIN/e2e_verify_raw" "$E2E_DIR/played.raw" --trim-silence --same-as "$E2E_DIR/take.raw" ||
    e2e_fail "the sink did not receive the whole take as recorded"
e2e_log "PASS"
