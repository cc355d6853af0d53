#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Unplugs the input (unloads the pipe-source module) in the middle of a recording: the recording
# must stop with everything captured so far in Velmar.raw as an unbroken run of the signal to its
# last block, with nothing after it (no sound of the source the server falls back to, no silence,
# and nothing trimmed away before the check). Then
# plugs it in again: the program, only monitoring now, must reopen it within 1.5 s, and a new
# recording on it must be exact again.
#
# usage: unplug_replug.sh RECORDER E2E_BIN
set -uo pipefail
RECORDER=$1
E2E_BIN=$2
source "$(dirname "$0")/e2e_lib.sh"

e2e_start_all

e2e_record_for 5000

e2e_unplug_source
t_unplug=$(e2e_now_ms)
recorded_ms=$((t_unplug - T_RECORD))
e2e_log "unplugged after $recorded_ms ms of recording"

# The server must not move the stream to its fallback source (the sink's monitor) but end it; the
# program then counts the device as gone at its next device check (every 500 ms) and writes the
# blocks it still holds.
e2e_wait_for 3 "the capture stream to end" e2e_has_no_stream $E2E_PID
e2e_log "capture stream gone $(($(e2e_now_ms) - t_unplug)) ms after the unplug"
sleep 0.8
kill -0 $E2E_PID 2>/dev/null || e2e_fail "the recorder died when the device vanished"
size=$(stat -c %s "$RAW")
sleep 1
[ "$(stat -c %s "$RAW")" -eq "$size" ] || e2e_fail "Velmar.raw still grows after the unplug"
expected=$((recorded_ms / 100))
e2e_log "Velmar.raw $size bytes; expecting about $expected blocks"
# Every frame of every block, the last one included, must be the counter signal: a block of the
# fallback source's sound (silence here) breaks the run. No block may come from after the unplug.
"$E2E_BIN/e2e_verify_raw" "$RAW" --min-blocks $((expected - 10)) --max-blocks $((expected + 2)) ||
    e2e_fail "the interrupted recording is not the signal that was fed, to its last block"

e2e_replug_source
e2e_wait_for 5 "the recorder to reopen the pipe source" e2e_has_stream_on_source $E2E_PID
reopen_ms=$(($(e2e_now_ms) - T_PLUG))
e2e_log "device reopened $reopen_ms ms after the source came back"
[ $reopen_ms -le 1500 ] || e2e_fail "reopening took $reopen_ms ms (at most 1500 allowed)"

# The reopened device records exactly again.
e2e_record_for 3000 "the first half of the second recording"
e2e_stop_and_verify "the recording after the replug is not the signal that was fed"

e2e_close_recorder || e2e_fail "the recorder exited with an error"
e2e_log "PASS"
