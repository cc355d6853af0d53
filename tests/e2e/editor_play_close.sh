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

e2e_start_all_play_sink
e2e_record_take "${E2E_RECORD_SECONDS:-6}" --min-blocks 50

# Edit: the main window hides and the editor, titled like it, is the one visible window.
e2e_open_editor
e2e_log "editor window $ED ${ED_W}x$ED_H, take $TAKE_BLOCKS blocks"
[ "$ED_W" -eq 872 ] && [ "$ED_H" -ge 575 ] || e2e_fail "editor is ${ED_W}x$ED_H, expected 872x575"
e2e_has_no_stream $E2E_PID || e2e_fail "the input is still open while the editor is"

e2e_click_play_all
sleep $(awk -v b=$TAKE_BLOCKS 'BEGIN { printf "%.1f", b / 10 + 3 }')
e2e_stop $SINK_READER
"$E2E_BIN/e2e_verify_raw" "$E2E_DIR/played.raw" --trim-silence --same-as "$E2E_DIR/take.raw" ||
    e2e_fail "the sink did not receive the take as recorded"

# A selection dragged across the middle half of the take, one column per block from x 21 on.
y=$((ED_H / 2))
x1=$((21 + TAKE_BLOCKS / 4))
x2=$((21 + TAKE_BLOCKS * 3 / 4))
xdotool mousemove --window "$ED" $x1 $y mousedown 1 mousemove --window "$ED" $(((x1 + x2) / 2)) $y \
    mousemove --window "$ED" $x2 $y mouseup 1
sleep 0.5
if [ -n "${E2E_SCREENSHOT:-}" ]; then
    import -window root -crop "${ED_W}x${ED_H}+$ED_X+$ED_Y" +repage "$E2E_SCREENSHOT" ||
        e2e_fail "screenshot failed"
    e2e_log "screenshot $E2E_SCREENSHOT"
fi

xdotool windowfocus --sync "$ED"
xdotool key ctrl+a Delete
sleep 0.3
e2e_close_editor
e2e_wait_for 10 "the main window to come back" \
    bash -c "xdotool search --onlyvisible --name '^Velmar Recorder$' | grep -qx '$E2E_WID'"
[ -f "$RAW" ] && [ "$(stat -c %s "$RAW")" -eq 0 ] || e2e_fail "Velmar.raw is not empty after closing"
[ ! -e "$E2E_WORK/Edit.raw" ] || e2e_fail "Edit.raw is still there"
[ ! -e "$E2E_WORK/Clp.raw" ] || e2e_fail "Clp.raw is still there"
e2e_wait_for 10 "monitoring again after the editor closed" e2e_has_stream_on_source $E2E_PID

e2e_close_recorder || e2e_fail "the recorder exited with an error"
e2e_log "PASS"
