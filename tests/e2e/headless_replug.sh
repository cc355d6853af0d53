#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The headless recorder after its input is unplugged and plugged in again: the recording ends
# with the take kept whole; once the input is back it records again on its own, and the take of
# before the unplug is set aside first ("test", exactly the bytes that were there) rather than
# overwritten; the new recording is one unbroken run of the counter.
#
# usage: headless_replug.sh RECORDER E2E_BIN
set -uo pipefail
RECORDER=$1
E2E_BIN=$2
source "$(dirname "$0")/e2e_lib.sh"

e2e_start_all_headless

e2e_start_headless headless --loop 3
LOG="$E2E_DIR/headless.log"
t_record=$(e2e_now_ms)
sleep 5

e2e_unplug_source
t_unplug=$(e2e_now_ms)
e2e_wait_for 5 "'Recording stopped' after the unplug" grep -q "Recording stopped after" "$LOG"
grep -q "Input device lost" "$LOG" || e2e_fail "the headless recorder did not say the input was lost"
kill -0 $HEADLESS 2>/dev/null || e2e_fail "the headless recorder died when the device vanished"
cp "$RAW" "$E2E_DIR/unplugged.raw"
expected=$(((t_unplug - t_record) / 100))
"$E2E_BIN/e2e_verify_raw" "$E2E_DIR/unplugged.raw" --min-blocks $((expected - 10)) \
    --max-blocks $((expected + 6)) || e2e_fail "the interrupted take is not the signal that was fed"
sleep 1
cmp -s "$RAW" "$E2E_DIR/unplugged.raw" || e2e_fail "Velmar.raw changed while the input was away"

e2e_replug_source
started() { [ "$(grep -c "Recording started: " "$LOG")" -ge 2 ]; }
e2e_wait_for 10 "the headless recorder to record again after the replug" started
t_again=$(e2e_now_ms)
e2e_log "recording again $((t_again - t_unplug)) ms after the unplug"
grep -qF "The stopped take was kept as $WORK/test." "$LOG" ||
    e2e_fail "the recorder did not say where the take of before the unplug went"
cmp -s "$WORK/test" "$E2E_DIR/unplugged.raw" || e2e_fail "'test' is not the take of before the unplug"

sleep 4
e2e_run rc 20 --stop
t_stop=$(e2e_now_ms)
[ "$rc" -eq 0 ] || e2e_fail "--stop: status $rc, '$(cat "$E2E_ERR")'"
"$E2E_BIN/e2e_verify_raw" "$RAW" --min-blocks $(((t_stop - t_again) / 100 - 10)) \
    --max-blocks $(((t_stop - t_again) / 100 + 8)) ||
    e2e_fail "the recording after the replug is not one unbroken run of the signal"
kill -TERM $HEADLESS
e2e_wait_headless_end
[ "$ENDED" -eq 0 ] || e2e_fail "SIGTERM ended the headless recorder with $ENDED"
e2e_log "events:"
sed 's/^/    /' "$LOG"
e2e_log "PASS"
