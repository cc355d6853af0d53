#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The recorder without windows, with no X display at all: the windowed program says there is
# none and exits 1; `--headless --loop 3` records the fed counter signal; `--status`, `--stop`
# and `--record` reach it (and say "not running" with status 3 when nothing runs); a second
# `--headless` on the same work folder exits 1 and leaves the take alone; SIGTERM ends it with 0
# and leaves Velmar.raw one unbroken run of the counter; the next start keeps that take as
# "test", and SIGINT ends that run with 0 too.
#
# usage: headless.sh RECORDER E2E_BIN
set -uo pipefail
RECORDER=$1
E2E_BIN=$2
source "$(dirname "$0")/e2e_lib.sh"

e2e_init
e2e_start_pulse
e2e_start_feeder
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
# A copy of its own: its settings file beside it is this test's alone.
mkdir -p "$E2E_DIR/bin"
cp "$RECORDER" "$E2E_DIR/bin/velmar-recorder"
RECORDER="$E2E_DIR/bin/velmar-recorder"
export XDG_DATA_HOME="$E2E_DIR/data"
WORK="$XDG_DATA_HOME/Velmar Recorder"
mkdir -p "$WORK"
RAW="$WORK/Velmar.raw"

# Runs the recorder with arguments $2...; its status goes to variable $1, its output to
# $E2E_DIR/out and $E2E_DIR/err.
run() {
    local var=$1
    shift
    timeout 20 "$RECORDER" "$@" >"$E2E_DIR/out" 2>"$E2E_DIR/err"
    printf -v "$var" '%s' $?
}

run rc
[ "$rc" -eq 1 ] || e2e_fail "the windowed program without a display exited with $rc"
grep -q "no display" "$E2E_DIR/err" && grep -q -- "--headless" "$E2E_DIR/err" ||
    e2e_fail "the windowed program without a display said: $(cat "$E2E_DIR/err")"
run rc --headless --loop 7
[ "$rc" -eq 2 ] || e2e_fail "--loop 7 exited with $rc"
run rc --status
[ "$rc" -eq 3 ] && grep -qx "Velmar Recorder is not running." "$E2E_DIR/err" ||
    e2e_fail "--status with nothing running: status $rc, '$(cat "$E2E_DIR/err")'"

start_headless() { # $1: log name; further arguments go to the program
    local log=$1
    shift
    "$RECORDER" --headless "$@" 2>"$E2E_DIR/$log.log" &
    HEADLESS=$!
    E2E_PIDS+=($HEADLESS)
    e2e_wait_for 20 "'Recording started' from the headless recorder" \
        grep -q "Recording started: Loop 3 min" "$E2E_DIR/$log.log"
    e2e_log "headless recorder $HEADLESS records"
}
# Waits for the headless recorder to end and puts its status in $ENDED.
wait_end() {
    local deadline=$(($(e2e_now_ms) + 10000))
    while kill -0 $HEADLESS 2>/dev/null; do
        [ "$(e2e_now_ms)" -lt $deadline ] || e2e_fail "the headless recorder did not end"
        sleep 0.1
    done
    wait $HEADLESS
    ENDED=$?
}

start_headless first --loop 3
e2e_has_stream_on_source $HEADLESS || e2e_fail "the headless recorder has no stream on the source"
sleep 3
run rc --status
status=$(cat "$E2E_DIR/out")
[ "$rc" -eq 0 ] || e2e_fail "--status exited with $rc: $(cat "$E2E_DIR/err")"
[[ "$status" =~ ^recording,\ Loop\ 3\ min,\ 00:00:0[2-5],\ device:\ .+ ]] ||
    e2e_fail "--status said '$status'"
e2e_log "--status: $status"

# A second one on the same work folder: status 1, and the first one's take untouched.
run rc --headless --continuous
[ "$rc" -eq 1 ] && grep -q "already running" "$E2E_DIR/err" ||
    e2e_fail "a second --headless: status $rc, '$(cat "$E2E_DIR/err")'"
[ ! -e "$WORK/test" ] || e2e_fail "the second start set the live take aside"

# Stop and a new recording, from outside.
run rc --stop
[ "$rc" -eq 0 ] && grep -q "^recording stopped after" "$E2E_DIR/out" ||
    e2e_fail "--stop: status $rc, '$(cat "$E2E_DIR/out" "$E2E_DIR/err")'"
run rc --status
grep -q "^not recording, Loop 3 min," "$E2E_DIR/out" || e2e_fail "after --stop: $(cat "$E2E_DIR/out")"
run rc --record
[ "$rc" -eq 0 ] && grep -qx "recording started" "$E2E_DIR/out" ||
    e2e_fail "--record: status $rc, '$(cat "$E2E_DIR/out" "$E2E_DIR/err")'"
t_record=$(e2e_now_ms)
sleep 6
kill -TERM $HEADLESS
recorded_ms=$(($(e2e_now_ms) - t_record))
wait_end
[ "$ENDED" -eq 0 ] || e2e_fail "SIGTERM ended the headless recorder with $ENDED"
grep -q "Ending on SIGTERM" "$E2E_DIR/first.log" && grep -q "^velmar-recorder: Exit.$" "$E2E_DIR/first.log" ||
    e2e_fail "the headless recorder did not say how it ended"
[ ! -e "$WORK/Velmar.lock" ] || e2e_fail "the lock file was left behind"
[ -z "$(ls -A "$XDG_RUNTIME_DIR" | grep '^velmar-recorder-')" ] ||
    e2e_fail "the control socket was left in \$XDG_RUNTIME_DIR"
expected=$((recorded_ms / 100))
e2e_log "ended after $recorded_ms ms of the second recording; expecting about $expected blocks"
"$E2E_BIN/e2e_verify_raw" "$RAW" --min-blocks $((expected - 8)) --max-blocks $((expected + 8)) ||
    e2e_fail "Velmar.raw is not one unbroken run of the signal that was fed"
cp "$RAW" "$E2E_DIR/first.raw"

# The next start keeps the take as "test", exactly as it was, and records anew.
start_headless second --loop 3
grep -q "test" "$E2E_DIR/second.log" || e2e_fail "the next start did not say where the take went"
cmp -s "$WORK/test" "$E2E_DIR/first.raw" || e2e_fail "'test' is not the take the first run left"
kill -INT $HEADLESS
wait_end
[ "$ENDED" -eq 0 ] || e2e_fail "SIGINT ended the headless recorder with $ENDED"
e2e_log "events of the first run:"
sed 's/^/    /' "$E2E_DIR/first.log"
e2e_log "PASS"
