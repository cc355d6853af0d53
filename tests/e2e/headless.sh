#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The recorder without windows, with no X display at all: the windowed program says there is
# none and exits 1; `--headless --loop 3` records the fed counter signal; `--status`, `--stop`
# and `--record` reach it (and say "not running" with status 3 when nothing runs); `--record`
# after `--stop` sets the stopped take aside as "test" before recording anew; a second
# `--headless` on the same work folder exits 1 and leaves the take alone; SIGTERM ends it with 0
# and leaves Velmar.raw one unbroken run of the counter; the next start keeps that take under a
# name of its own, and SIGINT ends that run with 0 too.
#
# usage: headless.sh RECORDER E2E_BIN
set -uo pipefail
RECORDER=$1
E2E_BIN=$2
source "$(dirname "$0")/e2e_lib.sh"

e2e_start_all_headless

e2e_run rc 20
[ "$rc" -eq 1 ] || e2e_fail "the windowed program without a display exited with $rc"
grep -q "no display" "$E2E_ERR" && grep -q -- "--headless" "$E2E_ERR" ||
    e2e_fail "the windowed program without a display said: $(cat "$E2E_ERR")"
e2e_run rc 20 --headless --loop 7
[ "$rc" -eq 2 ] || e2e_fail "--loop 7 exited with $rc"
e2e_run rc 20 --status
[ "$rc" -eq 3 ] && grep -qx "Velmar Recorder is not running." "$E2E_ERR" ||
    e2e_fail "--status with nothing running: status $rc, '$(cat "$E2E_ERR")'"

e2e_start_headless first --loop 3
e2e_has_stream_on_source $HEADLESS || e2e_fail "the headless recorder has no stream on the source"
sleep 3
e2e_run rc 20 --status
status=$(cat "$E2E_OUT")
[ "$rc" -eq 0 ] || e2e_fail "--status exited with $rc: $(cat "$E2E_ERR")"
[[ "$status" =~ ^recording,\ Loop\ 3\ min,\ 00:00:0[2-5],\ device:\ .+ ]] ||
    e2e_fail "--status said '$status'"
e2e_log "--status: $status"

# A second one on the same work folder: status 1, and the first one's take untouched.
e2e_run rc 20 --headless --continuous
[ "$rc" -eq 1 ] && grep -q "already running" "$E2E_ERR" ||
    e2e_fail "a second --headless: status $rc, '$(cat "$E2E_ERR")'"
[ ! -e "$WORK/test" ] || e2e_fail "the second start set the live take aside"

# Stop and a new recording, from outside.
e2e_run rc 20 --stop
[ "$rc" -eq 0 ] && grep -q "^recording stopped after" "$E2E_OUT" ||
    e2e_fail "--stop: status $rc, '$(cat "$E2E_OUT" "$E2E_ERR")'"
e2e_run rc 20 --status
grep -q "^not recording, Loop 3 min," "$E2E_OUT" || e2e_fail "after --stop: $(cat "$E2E_OUT")"
cp "$RAW" "$E2E_DIR/stopped.raw"
"$E2E_BIN/e2e_verify_raw" "$E2E_DIR/stopped.raw" --min-blocks 25 --max-blocks 60 ||
    e2e_fail "the stopped take is not one unbroken run of the signal that was fed"
e2e_run rc 20 --record
[ "$rc" -eq 0 ] && grep -qx "recording started" "$E2E_OUT" ||
    e2e_fail "--record: status $rc, '$(cat "$E2E_OUT" "$E2E_ERR")'"
# The stopped take is set aside, whole, before the new recording replaces Velmar.raw.
grep -qF "The stopped take was kept as $WORK/test." "$E2E_DIR/first.log" ||
    e2e_fail "--record did not say where the stopped take went"
cmp -s "$WORK/test" "$E2E_DIR/stopped.raw" || e2e_fail "'test' is not the stopped take"
t_record=$(e2e_now_ms)
sleep 6
kill -TERM $HEADLESS
recorded_ms=$(($(e2e_now_ms) - t_record))
e2e_wait_headless_end
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

# The next start keeps the take under a name of its own ("test" is taken), exactly as it was, and
# records anew.
e2e_start_headless second --loop 3
kept=$(sed -n 's/^velmar-recorder: A recording left by an earlier run .* was kept as \(.*\)\.$/\1/p' \
    "$E2E_DIR/second.log")
[[ "$kept" == "$WORK/Velmar-kept-"*.raw ]] || e2e_fail "the next start kept the take as '$kept'"
cmp -s "$kept" "$E2E_DIR/first.raw" || e2e_fail "'$kept' is not the take the first run left"
cmp -s "$WORK/test" "$E2E_DIR/stopped.raw" || e2e_fail "'test' changed"
kill -INT $HEADLESS
e2e_wait_headless_end
[ "$ENDED" -eq 0 ] || e2e_fail "SIGINT ended the headless recorder with $ENDED"
e2e_log "events of the first run:"
sed 's/^/    /' "$E2E_DIR/first.log"
e2e_log "PASS"
