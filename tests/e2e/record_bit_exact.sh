#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Records about 10 s of the counter/tone signal through the real program, clicked under Xvfb,
# and proves that the recording file holds exactly what was fed: whole blocks, about one per
# 0.1 s recorded, and one unbroken, bit-exact run of the signal.
#
# usage: record_bit_exact.sh RECORDER E2E_BIN
set -uo pipefail
RECORDER=$1
E2E_BIN=$2
source "$(dirname "$0")/e2e_lib.sh"

e2e_start_all
e2e_log "monitoring: stream $(e2e_streams_of $E2E_PID)"

e2e_click_record
t_record=$(e2e_now_ms)
e2e_wait_for 5 "Velmar.raw to be created by Record" test -f "$RAW"
e2e_wait_for 5 "the capture stream while recording" e2e_has_stream_on_source $E2E_PID
e2e_wait_for 5 "the first half (two seconds) written" test -s "$RAW"
e2e_log "recording: $(stat -c %s "$RAW") bytes after $(($(e2e_now_ms) - t_record)) ms"
e2e_sleep_until $t_record 10000

e2e_click_stop
t_stop=$(e2e_now_ms)
recorded_ms=$((t_stop - t_record))
# Stop writes the remaining full blocks at once; the size must then stay put.
sleep 1
size=$(stat -c %s "$RAW")
sleep 1
[ "$(stat -c %s "$RAW")" -eq "$size" ] || e2e_fail "Velmar.raw still grows after Stop"
e2e_has_stream_on_source $E2E_PID || e2e_fail "monitoring did not resume after Stop"

expected=$((recorded_ms / 100))
e2e_log "stopped after $recorded_ms ms; Velmar.raw $size bytes; expecting about $expected blocks"
"$E2E_BIN/e2e_verify_raw" "$RAW" --min-blocks $((expected - 8)) --max-blocks $((expected + 8)) ||
    e2e_fail "Velmar.raw is not the signal that was fed"

e2e_close_recorder || e2e_fail "the recorder exited with an error"
[ ! -e "$RAW" ] || e2e_fail "Velmar.raw was not deleted at exit"
e2e_log "PASS"
