#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# --save-now reaches the windowed program too: during a recording started from outside it waits
# for the save and prints the path of a WAV that is one unbroken run of the counter; with no
# recording it is refused with status 1; the program goes on to exit normally.
#
# usage: windowed_save_now.sh RECORDER E2E_BIN
set -uo pipefail
RECORDER=$1
E2E_BIN=$2
source "$(dirname "$0")/e2e_lib.sh"

e2e_require sox
e2e_init
# A copy of the program, so its settings file (beside the executable), saving WAV, is this
# test's own.
mkdir -p "$E2E_DIR/bin" "$E2E_DIR/saved"
cp "$RECORDER" "$E2E_DIR/bin/velmar-recorder"
RECORDER="$E2E_DIR/bin/velmar-recorder"
printf '[Save Format]\nWav=1\nSamplePerSecond=44100\nBitPerSample=16\nChannels=2\nMP3=0\n' \
    >"$RECORDER.INI"
e2e_start_monitoring

run() {
    local var=$1
    shift
    timeout 60 "$RECORDER" "$@" >"$E2E_DIR/out" 2>"$E2E_DIR/err"
    printf -v "$var" '%s' $?
}

run rc --save-now --output "$E2E_DIR/saved"
[ "$rc" -eq 1 ] && [ -z "$(ls -A "$E2E_DIR/saved")" ] ||
    e2e_fail "--save-now without a recording: status $rc, '$(cat "$E2E_DIR/out" "$E2E_DIR/err")'"
e2e_log "--save-now without a recording: $(cat "$E2E_DIR/err")"
run rc --record
[ "$rc" -eq 0 ] || e2e_fail "--record: status $rc, '$(cat "$E2E_DIR/err")'"
sleep 5
run rc --save-now --output "$E2E_DIR/saved"
saved=$(cat "$E2E_DIR/out")
[ "$rc" -eq 0 ] && [[ "$saved" == "$E2E_DIR/saved/Velmar "*.wav ]] && [ -f "$saved" ] ||
    e2e_fail "--save-now: status $rc, '$(cat "$E2E_DIR/out" "$E2E_DIR/err")'"
sox "$saved" -t raw -e signed -b 16 -c 2 -r 44100 "$E2E_DIR/saved.raw" || e2e_fail "sox: $saved"
"$E2E_BIN/e2e_verify_raw" "$E2E_DIR/saved.raw" --min-blocks 30 --max-blocks 55 ||
    e2e_fail "$saved is not one unbroken run of the counter"
e2e_log "--save-now printed '$saved'"
run rc --stop
[ "$rc" -eq 0 ] || e2e_fail "--stop: status $rc"
sleep 1
e2e_close_recorder || e2e_fail "the recorder exited with an error"
e2e_log "PASS"
