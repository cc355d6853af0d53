#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A take survives a crash: the real program records about 5 s of the counter/tone signal and is
# killed (SIGKILL) mid-recording. Started again, it keeps the take as "test" and says so; Edit in
# Continuous mode offers the found recording, Load opens it in the editor, and File > Save All
# As... writes a WAV whose data is exactly the kept file, an unbroken run of the counter.
#
# usage: crash_recovery.sh RECORDER E2E_BIN
# E2E_SCREENSHOT=FILE also saves a picture of the found-recording window.
set -uo pipefail
RECORDER=$1
E2E_BIN=$2
source "$(dirname "$0")/e2e_lib.sh"

e2e_init
e2e_require soxi
# A copy of the program, so its settings file (beside the executable) is this test's own;
# Continuous, the mode in which Edit offers a found recording.
e2e_own_program "$E2E_DIR/out"
printf '\n[Recording Mode]\nIndex=0\n' >>"$RECORDER.INI"
e2e_start_monitoring

e2e_click_record
e2e_wait_for 5 "the first half (two seconds) written" test -s "$RAW"
sleep 3.5
kill -KILL $E2E_LAUNCH_PID
wait $E2E_LAUNCH_PID 2>/dev/null
e2e_wait_for 5 "the killed program's window to go" \
    bash -c "! xdotool search --onlyvisible --name '^Velmar Recorder$' | grep -q ."
killed_bytes=$(stat -c %s "$RAW")
blocks=$((killed_bytes / 17640))
e2e_log "killed while recording: Velmar.raw holds $killed_bytes bytes ($blocks blocks)"
[ "$blocks" -ge 40 ] || e2e_fail "too short a take: $blocks blocks"
cp "$RAW" "$E2E_DIR/killed.raw"

# Started again: the start-up says where the take was kept, before the main window shows.
E2E_NOTICE=1
e2e_start_recorder
[ "${E2E_NOTICES_SEEN:-0}" -eq 1 ] || e2e_fail "no start-up notice about the kept take"
KEPT="$E2E_WORK/test"
cmp "$KEPT" "$E2E_DIR/killed.raw" || e2e_fail "the take was not kept unchanged as 'test'"
[ ! -e "$RAW" ] || [ "$(stat -c %s "$RAW")" -eq 0 ] || e2e_fail "Velmar.raw still holds the take"
e2e_wait_for 10 "the recorder to monitor again" e2e_has_stream_on_source $E2E_PID

# Edit: the editor opens and offers the found recording in a window of its own (341 wide).
e2e_click_edit
# The program's windows all carry its title; they are told apart by width.
window_of_width() {
    local w
    for w in $(xdotool search --onlyvisible --name '^Velmar Recorder$' 2>/dev/null); do
        [ "$(xdotool getwindowgeometry --shell "$w" | sed -n 's/^WIDTH=//p')" = "$1" ] &&
            echo "$w" && return 0
    done
    return 1
}
info_window() { window_of_width 341; }
e2e_wait_for 10 "the found-recording window" info_window
INFO=$(info_window)
if [ -n "${E2E_SCREENSHOT:-}" ]; then
    sleep 0.3
    eval "$(xdotool getwindowgeometry --shell "$INFO")"
    import -window root -crop "${WIDTH}x$HEIGHT+$X+$Y" +repage "$E2E_SCREENSHOT" ||
        e2e_fail "screenshot failed"
fi
# Load: 97 x 29 at 56,80.
xdotool mousemove --window "$INFO" $((56 + 48)) $((80 + 14)) click 1
e2e_wait_for 20 "the found recording to load" bash -c "! xdotool search --onlyvisible --name '^Velmar Recorder$' | grep -qx '$INFO'"
editor_window() { window_of_width 872; }
e2e_wait_for 10 "the editor window" editor_window
ED=$(editor_window)

# File > Save All As... is the editor's first File item.
e2e_pick_file_item "$ED" 10 Down
target="$E2E_DIR/out/recovered.wav"
e2e_save_through_dialog recovered "$target"
[ "$(soxi -r "$target") $(soxi -c "$target") $(soxi -b "$target") $(soxi -s "$target")" = \
    "44100 2 16 $((blocks * 4410))" ] || e2e_fail "soxi: $(soxi "$target")"
tail -c +45 "$target" >"$E2E_DIR/data.raw"
head -c $((blocks * 17640)) "$KEPT" | cmp - "$E2E_DIR/data.raw" ||
    e2e_fail "the WAV data is not the kept recording"
"$E2E_BIN/e2e_verify_raw" "$E2E_DIR/data.raw" --min-blocks "$blocks" --max-blocks "$blocks" ||
    e2e_fail "the kept recording is not the signal that was fed"

# Closing the editor lets the kept file go untouched; the recorder monitors again.
e2e_pick_file_item "$ED" 10 Up
e2e_wait_for 10 "the main window to come back" \
    bash -c "xdotool search --onlyvisible --name '^Velmar Recorder$' | grep -qx '$E2E_WID'"
cmp "$KEPT" "$E2E_DIR/killed.raw" || e2e_fail "the kept file changed"
e2e_wait_for 10 "monitoring again after the editor closed" e2e_has_stream_on_source $E2E_PID
e2e_close_recorder || e2e_fail "the recorder exited with an error"
e2e_log "PASS"
