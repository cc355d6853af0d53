#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Commands from outside reach the windowed program too: --status while it monitors and while it
# records, --record started from outside and --stop ending it; the take is one unbroken run of
# the counter signal and the program goes on to exit normally.
#
# usage: windowed_commands.sh RECORDER E2E_BIN
set -uo pipefail
RECORDER=$1
E2E_BIN=$2
source "$(dirname "$0")/e2e_lib.sh"

e2e_start_all

e2e_run rc 20 --status
[ "$rc" -eq 0 ] && grep -q "^not recording, .*, device: Unix FIFO source" "$E2E_OUT" ||
    e2e_fail "--status while monitoring: status $rc, '$(cat "$E2E_OUT" "$E2E_ERR")'"
e2e_log "--status: $(cat "$E2E_OUT")"

e2e_run rc 20 --record
[ "$rc" -eq 0 ] && grep -qx "recording started" "$E2E_OUT" ||
    e2e_fail "--record: status $rc, '$(cat "$E2E_OUT" "$E2E_ERR")'"
t_record=$(e2e_now_ms)
sleep 4
e2e_run rc 20 --status
[ "$rc" -eq 0 ] && grep -q "^recording, .*, 00:00:0[2-5], device: " "$E2E_OUT" ||
    e2e_fail "--status while recording: status $rc, '$(cat "$E2E_OUT" "$E2E_ERR")'"
e2e_log "--status: $(cat "$E2E_OUT")"
e2e_run rc 20 --record
grep -qx "already recording" "$E2E_OUT" || e2e_fail "a second --record said '$(cat "$E2E_OUT")'"
sleep 2
e2e_run rc 20 --stop
recorded_ms=$(($(e2e_now_ms) - t_record))
[ "$rc" -eq 0 ] && grep -q "^recording stopped after 00:00:0" "$E2E_OUT" ||
    e2e_fail "--stop: status $rc, '$(cat "$E2E_OUT" "$E2E_ERR")'"
sleep 1
expected=$((recorded_ms / 100))
"$E2E_BIN/e2e_verify_raw" "$RAW" --min-blocks $((expected - 8)) --max-blocks $((expected + 8)) ||
    e2e_fail "Velmar.raw is not one unbroken run of the signal that was fed"
e2e_run rc 20 --status
grep -q "^not recording" "$E2E_OUT" || e2e_fail "after --stop: '$(cat "$E2E_OUT")'"

e2e_close_recorder || e2e_fail "the recorder exited with an error"
e2e_run rc 20 --status
[ "$rc" -eq 3 ] || e2e_fail "--status after the exit: status $rc"
e2e_log "PASS"
