#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Save Now in the windowed program, during a 3-minute loop recording started from outside:
# --save-now waits for the save and prints the path of a WAV, and Ctrl+S in the main window
# writes one into the output folder; each is one unbroken run of the counter ending within half a
# second of the command, and the recording goes on unbroken meanwhile. With no recording
# --save-now is refused with status 1; a --record after the stop keeps the stopped take as
# "test"; the program goes on to exit normally.
#
# usage: windowed_save_now.sh RECORDER E2E_BIN
set -uo pipefail
RECORDER=$1
E2E_BIN=$2
source "$(dirname "$0")/e2e_lib.sh"

e2e_require sox soxi
e2e_init
e2e_own_program "$E2E_DIR/saved"
printf '\n[Recording Mode]\nIndex=1\n' >>"$RECORDER.INI"
mkdir -p "$E2E_DIR/asked"
e2e_start_monitoring

e2e_run rc 60 --save-now --output "$E2E_DIR/asked"
[ "$rc" -eq 1 ] && [ -z "$(ls -A "$E2E_DIR/asked")" ] ||
    e2e_fail "--save-now without a recording: status $rc, '$(cat "$E2E_OUT" "$E2E_ERR")'"
e2e_log "--save-now without a recording: $(cat "$E2E_ERR")"
t_asked=$(e2e_now_ms)
e2e_run rc 20 --record
t_record=$(e2e_now_ms)
[ "$rc" -eq 0 ] || e2e_fail "--record: status $rc, '$(cat "$E2E_ERR")'"
e2e_run rc 20 --status
grep -q "^recording, Loop 3 min," "$E2E_OUT" || e2e_fail "--status said '$(cat "$E2E_OUT")'"

# A WAV that ends within half a second of a command at $2 ms: the recording started between
# t_asked and t_record.
check_ends_at() {
    e2e_check_wav "$1" $((($2 - t_record - 500) / 100)) $((($2 - t_asked) / 100 + 2))
}

sleep 5
t_command=$(e2e_now_ms)
e2e_run rc 60 --save-now --output "$E2E_DIR/asked"
saved=$(cat "$E2E_OUT")
[ "$rc" -eq 0 ] && [[ "$saved" == "$E2E_DIR/asked/Velmar "*.wav ]] && [ -f "$saved" ] ||
    e2e_fail "--save-now: status $rc, '$(cat "$E2E_OUT" "$E2E_ERR")'"
e2e_log "--save-now printed '$saved'"
check_ends_at "$saved" $t_command

# Ctrl+S: the status bar is not readable from here, so the file in the output folder tells.
sleep 2
xdotool windowfocus --sync "$E2E_WID" 2>/dev/null
t_key=$(e2e_now_ms)
xdotool key ctrl+s
e2e_wait_for 20 "the file Ctrl+S saves" bash -c "ls '$E2E_DIR/saved'/Velmar*.wav"
keyed=$(ls "$E2E_DIR/saved"/Velmar*.wav)
e2e_log "Ctrl+S wrote '$keyed'"
check_ends_at "$keyed" $t_key

sleep 2
t_stop=$(e2e_now_ms)
e2e_run rc 20 --stop
[ "$rc" -eq 0 ] || e2e_fail "--stop: status $rc"
sleep 1
"$E2E_BIN/e2e_verify_raw" "$RAW" --min-blocks $(((t_stop - t_record) / 100 - 5)) \
    --max-blocks $(((t_stop - t_asked) / 100 + 8)) ||
    e2e_fail "Velmar.raw is not one unbroken run of the signal: the saves broke the recording"

# --record from outside never overwrites the stopped take: it is kept as "test" first.
cp "$RAW" "$E2E_DIR/stopped.raw"
e2e_run rc 20 --record
[ "$rc" -eq 0 ] && grep -qxF "recording started; the stopped take was kept as $E2E_WORK/test" "$E2E_OUT" ||
    e2e_fail "--record after a take: status $rc, '$(cat "$E2E_OUT" "$E2E_ERR")'"
cmp -s "$E2E_WORK/test" "$E2E_DIR/stopped.raw" || e2e_fail "'test' is not the stopped take"
sleep 1
e2e_run rc 20 --stop
e2e_close_recorder || e2e_fail "the recorder exited with an error"
e2e_log "PASS"
