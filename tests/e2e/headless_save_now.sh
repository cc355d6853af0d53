#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Save Now from outside, into a headless 3-minute loop fed with the frame counter: after about
# 20 s `--save-now` waits for the save and prints the WAV's path; the WAV is one unbroken run of
# the counter that ends within half a second of the command (the blocks not yet written to the
# recording file are saved too); `--save-now --last 10s --output DIR` gives 10 s into DIR; bad
# arguments exit 2; SIGUSR1 saves and says so on standard error; SIGTERM still exits 0 and leaves
# Velmar.raw one unbroken run.
#
# usage: headless_save_now.sh RECORDER E2E_BIN
set -uo pipefail
RECORDER=$1
E2E_BIN=$2
source "$(dirname "$0")/e2e_lib.sh"

e2e_require sox soxi
e2e_start_all_headless out
mkdir -p "$E2E_DIR/last"

e2e_run rc 60 --save-now
[ "$rc" -eq 3 ] && grep -qx "Velmar Recorder is not running." "$E2E_ERR" ||
    e2e_fail "--save-now with nothing running: status $rc, '$(cat "$E2E_ERR")'"
e2e_run rc 60 --save-now --last 1h
[ "$rc" -eq 2 ] || e2e_fail "--last 1h exited with $rc"

e2e_start_headless headless --loop 3
t_record=$(e2e_now_ms)
e2e_sleep_until $t_record 20000

# The whole take so far: the recording started a little before its line was seen, and the save
# ends at most half a second before the command.
t_command=$(e2e_now_ms)
e2e_run rc 60 --save-now
t_answer=$(e2e_now_ms)
[ "$rc" -eq 0 ] || e2e_fail "--save-now exited with $rc: $(cat "$E2E_ERR")"
saved=$(cat "$E2E_OUT")
e2e_log "--save-now after $((t_command - t_record)) ms of recording printed '$saved'" \
    "and took $((t_answer - t_command)) ms"
[[ "$saved" == "$E2E_DIR/out/Velmar "*.wav ]] && [ -f "$saved" ] ||
    e2e_fail "--save-now printed '$saved', no WAV in the output folder"
e2e_check_wav "$saved" $(((t_command - t_record - 500) / 100)) $(((t_command - t_record) / 100 + 2))

# The newest 10 s into a folder of its own, named relative to this shell's folder.
(cd "$E2E_DIR" && timeout 60 "$RECORDER" --save-now --last 10s --output last \
    >"$E2E_DIR/last.txt" 2>"$E2E_ERR") || e2e_fail "--save-now --last 10s: $(cat "$E2E_ERR")"
last=$(cat "$E2E_DIR/last.txt")
[[ "$last" == "$E2E_DIR/last/Velmar "*.wav ]] && [ -f "$last" ] ||
    e2e_fail "--save-now --last 10s --output last printed '$last'"
e2e_check_wav "$last" 100 100

# SIGUSR1 saves too and says so.
# Every save, asked for by command or signal, is one "saved PATH (m:ss)" line.
saved_lines() { [ "$(grep -c "^velmar-recorder: saved .* ([0-9]*:[0-9][0-9])$" "$E2E_DIR/headless.log")" -ge "$1" ]; }
saved_lines 2 || e2e_fail "the headless recorder did not say 'saved' for the two commands"
t_signal=$(e2e_now_ms)
kill -USR1 $HEADLESS
e2e_wait_for 20 "'saved' after SIGUSR1" saved_lines 3
files=$(ls "$E2E_DIR/out"/*.wav | wc -l)
[ "$files" -eq 2 ] || e2e_fail "after SIGUSR1 the output folder holds $files WAV files, not 2"
signalled=$(ls "$E2E_DIR/out"/*.wav | grep -vxF "$saved")
e2e_check_wav "$signalled" $(((t_signal - t_record - 500) / 100)) $(((t_signal - t_record) / 100 + 2))

t_term=$(e2e_now_ms)
kill -TERM $HEADLESS
e2e_wait_headless_end
[ "$ENDED" -eq 0 ] || e2e_fail "SIGTERM ended the headless recorder with $ENDED"
expected=$(((t_term - t_record) / 100))
"$E2E_BIN/e2e_verify_raw" "$RAW" --min-blocks $((expected - 8)) --max-blocks $((expected + 8)) ||
    e2e_fail "Velmar.raw is not one unbroken run of the signal that was fed"
e2e_log "events:"
sed 's/^/    /' "$E2E_DIR/headless.log"
e2e_log "PASS"
