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

e2e_start_all_play_sink
e2e_record_take 3 --min-blocks 20

# Playback streams of process $1, one index per line.
sink_inputs_of() {
    pactl list sink-inputs 2>/dev/null | awk -v pid="$1" '
        /^Sink Input #/ { idx = substr($3, 2) }
        /application.process.id = / { gsub(/"/, "", $3); if ($3 == pid) print idx }'
}
has_playback() { [ -n "$(sink_inputs_of "$1")" ]; }
no_playback() { [ -z "$(sink_inputs_of "$1")" ]; }

e2e_open_editor
e2e_click_play_all
t_play=$(e2e_now_ms)
e2e_wait_for 5 "the playback stream" has_playback $E2E_PID
limit_s=$(((TAKE_BLOCKS + 9) / 10 + 2))
e2e_wait_for $limit_s "the playback to end by itself" no_playback $E2E_PID
e2e_log "playback of $TAKE_BLOCKS blocks ended $(($(e2e_now_ms) - t_play)) ms after Play All"

# File > Exit: the editor closes right after the end.
xdotool windowfocus --sync "$ED"
e2e_close_editor
sleep 1
e2e_stop $SINK_READER
"$E2E_BIN/e2e_verify_raw" "$E2E_DIR/played.raw" --trim-silence --same-as "$E2E_DIR/take.raw" ||
    e2e_fail "the sink did not receive the whole take as recorded"
e2e_log "PASS"
