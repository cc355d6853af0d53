#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Save Now from outside, into a headless 3-minute loop fed with the frame counter: after about
# 20 s `--save-now` waits for the save and prints the WAV's path; the WAV is one unbroken run of
# the counter as long as the take (it ends at the last block written to the recording file, up to
# two seconds before the command, so 17..21 s); `--save-now --last 10s --output DIR` gives 10 s
# into DIR; bad arguments exit 2; SIGUSR1 saves and says so on standard error; SIGTERM still
# exits 0 and leaves Velmar.raw one unbroken run.
#
# usage: headless_save_now.sh RECORDER E2E_BIN
set -uo pipefail
RECORDER=$1
E2E_BIN=$2
source "$(dirname "$0")/e2e_lib.sh"

e2e_init
e2e_require sox
e2e_require soxi
e2e_start_pulse
e2e_start_feeder
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
# A copy of its own: its settings file beside it is this test's alone.
mkdir -p "$E2E_DIR/bin" "$E2E_DIR/out" "$E2E_DIR/last"
cp "$RECORDER" "$E2E_DIR/bin/velmar-recorder"
RECORDER="$E2E_DIR/bin/velmar-recorder"
cat >"$RECORDER.INI" <<INI
[Save Format]
Wav=1
SamplePerSecond=44100
BitPerSample=16
Channels=2
MP3=0
BitRate=128
Mode=1
VBR=0

[Output Folder]
Name=$E2E_DIR/out
INI
export XDG_DATA_HOME="$E2E_DIR/data"
WORK="$XDG_DATA_HOME/Velmar Recorder"
mkdir -p "$WORK"
RAW="$WORK/Velmar.raw"

# Runs the recorder with arguments $2...; its status goes to variable $1, its output to
# $E2E_DIR/out.txt and $E2E_DIR/err.txt.
run() {
    local var=$1
    shift
    timeout 60 "$RECORDER" "$@" >"$E2E_DIR/out.txt" 2>"$E2E_DIR/err.txt"
    printf -v "$var" '%s' $?
}
# Checks that WAV file $1 is 44.1 kHz 16-bit stereo, an unbroken counter run of $2..$3 blocks.
check_wav() {
    local wav=$1 min=$2 max=$3
    [ "$(soxi -r "$wav") $(soxi -c "$wav") $(soxi -b "$wav")" = "44100 2 16" ] ||
        e2e_fail "soxi: $(soxi "$wav")"
    sox "$wav" -t raw -e signed -b 16 -c 2 -r 44100 "$E2E_DIR/check.raw" ||
        e2e_fail "sox could not read $wav"
    "$E2E_BIN/e2e_verify_raw" "$E2E_DIR/check.raw" --min-blocks "$min" --max-blocks "$max" ||
        e2e_fail "$wav is not one unbroken run of the counter of $min..$max blocks"
    e2e_log "$(basename "$wav"): $(soxi -D "$wav") s, an unbroken counter run"
}

run rc --save-now
[ "$rc" -eq 3 ] && grep -qx "Velmar Recorder is not running." "$E2E_DIR/err.txt" ||
    e2e_fail "--save-now with nothing running: status $rc, '$(cat "$E2E_DIR/err.txt")'"
run rc --save-now --last 1h
[ "$rc" -eq 2 ] || e2e_fail "--last 1h exited with $rc"

"$RECORDER" --headless --loop 3 2>"$E2E_DIR/headless.log" &
HEADLESS=$!
E2E_PIDS+=($HEADLESS)
e2e_wait_for 20 "'Recording started' from the headless recorder" \
    grep -q "Recording started: Loop 3 min" "$E2E_DIR/headless.log"
t_record=$(e2e_now_ms)
sleep $(awk -v t=$(($(e2e_now_ms) - t_record)) 'BEGIN { printf "%.3f", (20000 - t) / 1000 }')

# The whole take so far.
t_command=$(e2e_now_ms)
run rc --save-now
t_answer=$(e2e_now_ms)
[ "$rc" -eq 0 ] || e2e_fail "--save-now exited with $rc: $(cat "$E2E_DIR/err.txt")"
saved=$(cat "$E2E_DIR/out.txt")
e2e_log "--save-now after $((t_command - t_record)) ms of recording printed '$saved'" \
    "and took $((t_answer - t_command)) ms"
[[ "$saved" == "$E2E_DIR/out/Velmar "*.wav ]] && [ -f "$saved" ] ||
    e2e_fail "--save-now printed '$saved', no WAV in the output folder"
check_wav "$saved" 170 210

# The newest 10 s into a folder of its own, named relative to this shell's folder.
(cd "$E2E_DIR" && timeout 60 "$RECORDER" --save-now --last 10s --output last \
    >"$E2E_DIR/out.txt" 2>"$E2E_DIR/err.txt") || e2e_fail "--save-now --last 10s: $(cat "$E2E_DIR/err.txt")"
last=$(cat "$E2E_DIR/out.txt")
[[ "$last" == "$E2E_DIR/last/Velmar "*.wav ]] && [ -f "$last" ] ||
    e2e_fail "--save-now --last 10s --output last printed '$last'"
check_wav "$last" 100 100

# SIGUSR1 saves too and says so.
# Every save, asked for by command or signal, is one "saved PATH (m:ss)" line.
saved_lines() { [ "$(grep -c "^velmar-recorder: saved .* ([0-9]*:[0-9][0-9])$" "$E2E_DIR/headless.log")" -ge "$1" ]; }
saved_lines 2 || e2e_fail "the headless recorder did not say 'saved' for the two commands"
kill -USR1 $HEADLESS
e2e_wait_for 20 "'saved' after SIGUSR1" saved_lines 3
files=$(ls "$E2E_DIR/out"/*.wav | wc -l)
[ "$files" -eq 2 ] || e2e_fail "after SIGUSR1 the output folder holds $files WAV files, not 2"
signalled=$(ls "$E2E_DIR/out"/*.wav | grep -vxF "$saved")
check_wav "$signalled" 200 260

t_term=$(e2e_now_ms)
kill -TERM $HEADLESS
deadline=$(($(e2e_now_ms) + 10000))
while kill -0 $HEADLESS 2>/dev/null; do
    [ "$(e2e_now_ms)" -lt $deadline ] || e2e_fail "the headless recorder did not end"
    sleep 0.1
done
wait $HEADLESS
ended=$?
[ "$ended" -eq 0 ] || e2e_fail "SIGTERM ended the headless recorder with $ended"
expected=$(((t_term - t_record) / 100))
"$E2E_BIN/e2e_verify_raw" "$RAW" --min-blocks $((expected - 25)) --max-blocks $((expected + 8)) ||
    e2e_fail "Velmar.raw is not one unbroken run of the signal that was fed"
e2e_log "events:"
sed 's/^/    /' "$E2E_DIR/headless.log"
e2e_log "PASS"
