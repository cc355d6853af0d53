#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The sound server dies (SIGKILL, as in a crash) in the middle of a recording. The program must
# keep running: the recording stops with everything captured so far in Velmar.raw as one
# unbroken run of the signal, nothing more is written, the program says once that the sound
# service is gone, and it still answers the user: File > Exit ends it normally.
#
# usage: sound_server_gone.sh RECORDER E2E_BIN
set -uo pipefail
RECORDER=$1
E2E_BIN=$2
source "$(dirname "$0")/e2e_lib.sh"

e2e_start_all

e2e_click_record
t_record=$(e2e_now_ms)
e2e_wait_for 5 "the first half (two seconds) written" test -s "$RAW"
sleep $(awk -v t=$(($(e2e_now_ms) - t_record)) 'BEGIN { printf "%.3f", (5000 - t) / 1000 }')

e2e_stop $E2E_PULSE_PID KILL
t_gone=$(e2e_now_ms)
recorded_ms=$((t_gone - t_record))
e2e_log "sound server killed after $recorded_ms ms of recording"

sleep 5
kill -0 $E2E_PID 2>/dev/null || e2e_fail "the recorder died when the sound server went away"
size=$(stat -c %s "$RAW")
sleep 1
[ "$(stat -c %s "$RAW")" -eq "$size" ] || e2e_fail "Velmar.raw still grows without a server"
# The blocks the server still held when it died never reached the program.
expected=$((recorded_ms / 100))
e2e_log "Velmar.raw $size bytes; expecting about $expected blocks"
"$E2E_BIN/e2e_verify_raw" "$RAW" --min-blocks $((expected - 10)) --max-blocks $((expected + 6)) ||
    e2e_fail "the interrupted recording is not the signal that was fed"

# One box says the sound service is gone (the reopen the device watch tries is refused); it is
# the only window besides the main one, and a second look finds no new one.
boxes() {
    for w in $(xdotool search --onlyvisible --name '^Velmar Recorder$' 2>/dev/null); do
        [ "$w" = "$E2E_WID" ] || echo "$w"
    done
}
[ "$(boxes | wc -l)" -eq 1 ] || e2e_fail "expected one message box, found $(boxes | wc -l)"
box=$(boxes)
xdotool windowfocus --sync "$box" 2>/dev/null
xdotool key Return
e2e_wait_for 5 "the message box to close" \
    bash -c "! xdotool search --onlyvisible --name . | grep -qx $box"
sleep 1.5
[ "$(boxes | wc -l)" -eq 0 ] || e2e_fail "the failure was reported again"

e2e_close_recorder || e2e_fail "the recorder exited with an error"
[ ! -e "$RAW" ] || e2e_fail "Velmar.raw was not deleted at exit"
e2e_log "PASS"
