#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# One running program per work folder: while the real program records, the launcher is used a
# second time. The second start only says that the program is already running and ends with
# status 0 once that is answered; the first one records on, its Velmar.raw stays where it is and
# ends as one unbroken run of the counter signal, and no "test" or other kept file appears.
#
# usage: second_copy.sh RECORDER E2E_BIN
set -uo pipefail
RECORDER=$1
E2E_BIN=$2
source "$(dirname "$0")/e2e_lib.sh"

e2e_start_all
LOCK="$E2E_WORK/Velmar.lock"
[ -e "$LOCK" ] || e2e_fail "the running program holds no lock file in its work folder"

e2e_click_record
t_record=$(e2e_now_ms)
e2e_wait_for 5 "the first half (two seconds) written" test -s "$RAW"

# The same launcher again, with the same environment and so the same work folder.
QT_QPA_PLATFORM=xcb "$RECORDER" >"$E2E_DIR/second.log" 2>&1 &
SECOND=$!
E2E_PIDS+=($SECOND)
# Its message box carries the program's title; the first program shows none.
second_window() {
    local w
    for w in $(xdotool search --onlyvisible --name '^Velmar Recorder$' 2>/dev/null); do
        [ "$(xdotool getwindowpid "$w" 2>/dev/null)" = "$SECOND" ] && echo "$w" && return 0
    done
    return 1
}
e2e_wait_for 20 "the second start's message" second_window
BOX=$(second_window)
width=$(xdotool getwindowgeometry --shell "$BOX" | sed -n 's/^WIDTH=//p')
[ "$width" != 464 ] || e2e_fail "the second start opened a main window"
e2e_log "second start $SECOND shows window $BOX (${width} wide)"
[ "$(xdotool search --onlyvisible --name '^Velmar Recorder$' | wc -l)" -eq 2 ] ||
    e2e_fail "the second start shows more than its message"
[ ! -e "$E2E_WORK/test" ] || e2e_fail "the second start set the live take aside as 'test'"
sleep 0.5
xdotool windowfocus --sync "$BOX" 2>/dev/null
xdotool key Return
e2e_wait_exit $SECOND 10 "the second start did not end after its message"
rc=$?
[ $rc -eq 0 ] || e2e_fail "the second start ended with status $rc"
e2e_log "second start ended with status 0"

# The first program records on into the same file.
e2e_has_stream_on_source $E2E_PID || e2e_fail "the first program lost its input"
size=$(stat -c %s "$RAW")
e2e_wait_for 5 "Velmar.raw to grow after the second start" \
    bash -c "[ \$(stat -c %s '$RAW') -gt $size ]"
e2e_sleep_until $t_record 9000
e2e_click_stop
recorded_ms=$(($(e2e_now_ms) - t_record))
sleep 1
expected=$((recorded_ms / 100))
kept=$(find "$E2E_WORK" -name test -o -name 'Velmar-kept-*' | wc -l)
[ "$kept" -eq 0 ] || e2e_fail "a kept file appeared: $(ls "$E2E_WORK")"
e2e_log "stopped after $recorded_ms ms; Velmar.raw $(stat -c %s "$RAW") bytes; expecting about $expected blocks"
"$E2E_BIN/e2e_verify_raw" "$RAW" --min-blocks $((expected - 8)) --max-blocks $((expected + 8)) ||
    e2e_fail "Velmar.raw is not one unbroken run of the signal that was fed"

e2e_close_recorder || e2e_fail "the recorder exited with an error"
[ ! -e "$LOCK" ] || e2e_fail "the lock file was left behind at exit"
[ -z "$(ls -A "$XDG_RUNTIME_DIR" | grep '^velmar-recorder-')" ] ||
    e2e_fail "the program's socket was left in \$XDG_RUNTIME_DIR"
e2e_log "PASS"
