#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The sound server dies (SIGKILL, as in a crash) in the middle of a recording. The program must
# keep running: the recording stops with everything captured so far in Velmar.raw as one
# unbroken run of the signal, nothing more is written, and no box interrupts the user (a server
# that is gone is an input that is gone). When a new server starts, the program connects to it
# and opens its input by itself, a recording there is exact, and File > Exit ends it normally.
#
# usage: sound_server_gone.sh RECORDER E2E_BIN
set -uo pipefail
RECORDER=$1
E2E_BIN=$2
source "$(dirname "$0")/e2e_lib.sh"

e2e_start_all

e2e_record_for 5000

e2e_stop $E2E_PULSE_PID KILL
t_gone=$(e2e_now_ms)
recorded_ms=$((t_gone - T_RECORD))
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

# A server that is gone counts as an unplugged input: no message box, only the main window.
boxes() {
    for w in $(xdotool search --onlyvisible --name '^Velmar Recorder$' 2>/dev/null); do
        [ "$w" = "$E2E_WID" ] || echo "$w"
    done
}
[ "$(boxes | wc -l)" -eq 0 ] || e2e_fail "expected no message box, found $(boxes | wc -l)"

# A new server starts: the program connects again on its own and opens the input within its
# device checks, and a recording on it is exact again.
rm -f "$E2E_DIR/source.fifo" "$E2E_DIR/sink.fifo"
e2e_start_pulse
t_server=$(e2e_now_ms)
e2e_wait_for 5 "the recorder to open the pipe source of the new server" \
    e2e_has_stream_on_source $E2E_PID
e2e_log "input reopened $(($(e2e_now_ms) - t_server)) ms after the new server answered"
e2e_record_for 3000 "the first half of the recording on the new server"
e2e_stop_and_verify "the recording on the new server is not the signal that was fed"

e2e_close_recorder || e2e_fail "the recorder exited with an error"
[ ! -e "$RAW" ] || e2e_fail "Velmar.raw was not deleted at exit"
e2e_log "PASS"
