#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Stops the recording program (SIGSTOP) for 30 s in the middle of a recording: the sound server
# holds what its record queue takes (about 24 s), discards the rest and hands the held sound over
# in a burst when the program runs again. The take must still last as long as the time that
# passed, with silence of the discarded length where the sound broke off, one line in
# Velmar.drp saying so, and the counter runs on each side of the silence unbroken.
#
# usage: stall_dropout.sh RECORDER E2E_BIN
set -uo pipefail
RECORDER=$1
E2E_BIN=$2
export E2E_MAX_SECONDS=110
source "$(dirname "$0")/e2e_lib.sh"

DRP_TOLERANCE_MS=60   # the list's length against what the counter says was lost
PLACE_TOLERANCE=6615  # frames (150 ms) between the silence and where the sound broke off

e2e_start_all
DRP="$E2E_WORK/Velmar.drp"

e2e_click_record
t_record=$(e2e_now_ms)
e2e_wait_for 5 "Velmar.raw to be created by Record" test -f "$RAW"
e2e_wait_for 5 "the first half (two seconds) written" test -s "$RAW"
e2e_sleep_until $t_record 5000

kill -STOP "$E2E_PID" || e2e_fail "cannot stop the recorder"
t_stall=$(e2e_now_ms)
e2e_log "recorder stopped for 30 s"
sleep 30
kill -CONT "$E2E_PID"
e2e_log "recorder running again after $(($(e2e_now_ms) - t_stall)) ms"
[ ! -e "$DRP" ] || e2e_fail "Velmar.drp existed before the stall was over"
# The dropout is told once the delay has settled: two 2-second windows after the burst.
e2e_wait_for 15 "Velmar.drp after the stall" test -s "$DRP"
sleep 3

e2e_click_stop
t_stop=$(e2e_now_ms)
recorded_ms=$((t_stop - t_record))
sleep 1
size=$(stat -c %s "$RAW")
e2e_log "Velmar.drp: $(tr '\n' ';' <"$DRP")"
[ "$(wc -l <"$DRP")" -eq 1 ] || e2e_fail "Velmar.drp lists $(wc -l <"$DRP") dropouts, expected 1"
drp_ms=$(awk '{ print $2 }' "$DRP")

verdict=$("$E2E_BIN/e2e_verify_raw" "$RAW" --one-dropout $PLACE_TOLERANCE)
status=$?
e2e_log "$verdict"
[ $status -eq 0 ] || e2e_fail "the take is not run, silence, run"
lost_ms=$(sed -n 's/.*lost [0-9]* frames (\([0-9.]*\) ms).*/\1/p' <<<"$verdict")
awk -v a="$drp_ms" -v b="$lost_ms" -v t=$DRP_TOLERANCE_MS 'BEGIN { d = a - b; exit !(d <= t && -d <= t) }' ||
    e2e_fail "Velmar.drp says $drp_ms ms, the counter says $lost_ms ms were lost"

take_ms=$(awk -v s="$size" 'BEGIN { printf "%.0f", s / 176.4 }')
e2e_log "take $take_ms ms, Record to Stop $recorded_ms ms, dropout $drp_ms ms, lost $lost_ms ms"
# Stop keeps whole blocks only: the block being filled at the click is not part of the take.
awk -v a="$take_ms" -v b="$recorded_ms" \
    'BEGIN { d = a - b; exit !(d <= b * 0.002 && -d <= b * 0.002 + 100) }' ||
    e2e_fail "the take lasts $take_ms ms, but $recorded_ms ms passed (more than 0.2 % and the" \
        "block Stop leaves out apart)"

e2e_close_recorder || e2e_fail "the recorder exited with an error"
[ ! -e "$DRP" ] || e2e_fail "Velmar.drp was not deleted with the take at exit"
e2e_log "PASS"
