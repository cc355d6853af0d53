#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Records about 6 s of the counter/tone signal through the real program, opens the editor with
# Edit and plays the take with Play All: what reaches the sound server's sink must be the take,
# bit-exact and in order. Then Select All, Delete and closing the editor: the take is discarded
# (empty Velmar.raw, no Edit.raw or Clp.raw) and the recorder monitors its input again.
#
# usage: editor_play_close.sh RECORDER E2E_BIN
# E2E_SCREENSHOT=FILE also saves a picture of the editor with a selection made by a drag;
# E2E_RECORD_SECONDS (default 6) records a longer take for it.
set -uo pipefail
RECORDER=$1
E2E_BIN=$2
source "$(dirname "$0")/e2e_lib.sh"

e2e_init
e2e_start_pulse
# A sink that keeps real time: a stream that keeps up arrives as one unbroken run between the
# silence rendered while nothing plays.
pactl load-module module-pipe-sink sink_name=e2e_play file="$E2E_DIR/play.fifo" format=s16le \
    rate=44100 channels=2 use_system_clock_for_timing=yes >/dev/null ||
    e2e_fail "cannot load the playback sink"
pactl set-default-sink e2e_play
cat "$E2E_DIR/play.fifo" >"$E2E_DIR/played.raw" &
E2E_PIDS+=($!)
SINK_READER=$!
e2e_start_feeder
e2e_start_xvfb
e2e_start_recorder
e2e_wait_for 10 "the recorder to open the pipe source for monitoring" \
    e2e_has_stream_on_source $E2E_PID
RAW="$E2E_WORK/Velmar.raw"

e2e_click_record
t_record=$(e2e_now_ms)
e2e_wait_for 5 "Velmar.raw to be created by Record" test -f "$RAW"
sleep $(awk -v s="${E2E_RECORD_SECONDS:-6}" -v t=$(($(e2e_now_ms) - t_record)) 'BEGIN { printf "%.3f", (s * 1000 - t) / 1000 }')
e2e_click_stop
sleep 1
cp "$RAW" "$E2E_DIR/take.raw"
take_blocks=$(($(stat -c %s "$RAW") / 17640))
"$E2E_BIN/e2e_verify_raw" "$E2E_DIR/take.raw" --min-blocks 50 ||
    e2e_fail "the take is not the signal that was fed"

# Edit: the main window hides and the editor, titled like it, is the one visible window.
e2e_click_client $((388 + 29)) $((269 + 11))
editor_window() {
    local w
    w=$(xdotool search --onlyvisible --name '^Velmar Recorder$' 2>/dev/null | head -n1)
    [ -n "$w" ] && [ "$w" != "$E2E_WID" ] && echo "$w"
}
e2e_wait_for 10 "the editor window" editor_window
ED=$(editor_window)
eval "$(xdotool getwindowgeometry --shell "$ED")"
ED_W=$WIDTH
ED_H=$HEIGHT
e2e_log "editor window $ED ${ED_W}x$ED_H, take $take_blocks blocks"
[ "$ED_W" -eq 872 ] && [ "$ED_H" -ge 575 ] || e2e_fail "editor is ${ED_W}x$ED_H, expected 872x575"
e2e_has_no_stream $E2E_PID || e2e_fail "the input is still open while the editor is"

# Play All: the first button of the play bar, left in the strip above the status bar.
xdotool mousemove --window "$ED" 19 $((ED_H - 43)) click 1
sleep $(awk -v b=$take_blocks 'BEGIN { printf "%.1f", b / 10 + 3 }')
e2e_stop $SINK_READER
"$E2E_BIN/e2e_verify_raw" "$E2E_DIR/played.raw" --trim-silence --same-as "$E2E_DIR/take.raw" ||
    e2e_fail "the sink did not receive the take as recorded"

# A selection dragged across the middle half of the take, one column per block from x 21 on.
y=$((ED_H / 2))
x1=$((21 + take_blocks / 4))
x2=$((21 + take_blocks * 3 / 4))
xdotool mousemove --window "$ED" $x1 $y mousedown 1 mousemove --window "$ED" $(((x1 + x2) / 2)) $y \
    mousemove --window "$ED" $x2 $y mouseup 1
sleep 0.5
if [ -n "${E2E_SCREENSHOT:-}" ]; then
    import -window root -crop "${ED_W}x${ED_H}+$X+$Y" +repage "$E2E_SCREENSHOT" ||
        e2e_fail "screenshot failed"
    e2e_log "screenshot $E2E_SCREENSHOT"
fi

xdotool windowfocus --sync "$ED"
xdotool key ctrl+a Delete
sleep 0.3
# File menu, its last item Exit.
xdotool mousemove --window "$ED" 15 10 click 1
sleep 0.5
xdotool key Up Return
e2e_wait_for 10 "the editor to close" bash -c "! xdotool search --onlyvisible --name '^Velmar Recorder$' | grep -qx '$ED'"
e2e_wait_for 10 "the main window to come back" \
    bash -c "xdotool search --onlyvisible --name '^Velmar Recorder$' | grep -qx '$E2E_WID'"
[ -f "$RAW" ] && [ "$(stat -c %s "$RAW")" -eq 0 ] || e2e_fail "Velmar.raw is not empty after closing"
[ ! -e "$E2E_WORK/Edit.raw" ] || e2e_fail "Edit.raw is still there"
[ ! -e "$E2E_WORK/Clp.raw" ] || e2e_fail "Clp.raw is still there"
e2e_wait_for 10 "monitoring again after the editor closed" e2e_has_stream_on_source $E2E_PID

e2e_close_recorder || e2e_fail "the recorder exited with an error"
e2e_log "PASS"
