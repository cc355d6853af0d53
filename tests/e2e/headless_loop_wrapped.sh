#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Save Now after a headless 3-minute loop has come round: `--save-now --last 60s` gives exactly
# 60 s, one unbroken run of the counter, and it is the minute that ended within half a second of
# the command (found in the ring the recorder leaves); SIGTERM then exits 0 and leaves Velmar.raw
# the ring in time order, one unbroken counter run of 3:00.
#
# usage: headless_loop_wrapped.sh RECORDER E2E_BIN
set -uo pipefail
RECORDER=$1
E2E_BIN=$2
E2E_MAX_SECONDS=${E2E_MAX_SECONDS:-300}
source "$(dirname "$0")/e2e_lib.sh"

BLOCK=17640 # bytes of 100 ms
e2e_require sox soxi cmp
e2e_start_all_headless

e2e_start_headless headless --loop 3
t_record=$(e2e_now_ms)
e2e_sleep_until $t_record 200000

t_command=$(e2e_now_ms)
e2e_run rc 60 --save-now --last 60s
[ "$rc" -eq 0 ] || e2e_fail "--save-now --last 60s exited with $rc: $(cat "$E2E_ERR")"
saved=$(cat "$E2E_OUT")
e2e_log "--save-now --last 60s after $((t_command - t_record)) ms of recording printed '$saved'"
[ -f "$saved" ] || e2e_fail "no file at '$saved'"
e2e_check_wav "$saved" 600 600
cp "$E2E_DIR/check.raw" "$E2E_DIR/minute.raw"

sleep 2
t_term=$(e2e_now_ms)
kill -TERM $HEADLESS
e2e_wait_headless_end
[ "$ENDED" -eq 0 ] || e2e_fail "SIGTERM ended the headless recorder with $ENDED"
"$E2E_BIN/e2e_verify_raw" "$RAW" --min-blocks 1800 --max-blocks 1800 ||
    e2e_fail "Velmar.raw is not the 3-minute ring in time order, one unbroken run of the signal"

# Where the minute lies in the ring: the counter repeats only every 32768 blocks, so one block
# matches at one place only.
at=""
for ((k = 0; k <= 1200; k++)); do
    if cmp -s -n $BLOCK -i $((k * BLOCK)):0 "$RAW" "$E2E_DIR/minute.raw"; then
        at=$k
        break
    fi
done
[ -n "$at" ] || e2e_fail "the saved minute is not in the ring"
cmp -s -n $((600 * BLOCK)) -i $((at * BLOCK)):0 "$RAW" "$E2E_DIR/minute.raw" ||
    e2e_fail "the saved minute differs from the ring's blocks $at..$((at + 599))"
# The ring ends at SIGTERM; the minute must end as long before that as the command was.
after_ms=$(((1800 - at - 600) * 100))
e2e_log "the minute ends $after_ms ms before the ring's end; the command came $((t_term - t_command)) ms before SIGTERM"
gap=$((after_ms - (t_term - t_command)))
[ "${gap#-}" -le 500 ] || e2e_fail "the saved minute ends $gap ms away from the command"
e2e_log "events:"
sed 's/^/    /' "$E2E_DIR/headless.log"
e2e_log "PASS"
