#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Records about 5 s of the counter/tone signal through the real program under Xvfb, stops, and
# saves the take with File > Save As..., typing the file name into the save dialog. WAV: the
# file's data must be the recording file, byte for byte, and the signal unbroken. MP3: the file
# must pass mp3val and decode (mpg123) to exactly the recording's number of frames.
#
# usage: save_as.sh RECORDER E2E_BIN wav|mp3
set -uo pipefail
RECORDER=$1
E2E_BIN=$2
FORMAT=$3
source "$(dirname "$0")/e2e_lib.sh"

e2e_init
if [ "$FORMAT" = mp3 ]; then
    e2e_require mpg123 mp3val
else
    e2e_require soxi
fi
# A copy of the program, so its settings file (beside the executable) is this test's own.
e2e_own_program "$E2E_DIR/out" "$FORMAT"
e2e_start_monitoring

e2e_record_for 5000
e2e_click_stop
sleep 1
blocks=$(($(stat -c %s "$RAW") / 17640))
e2e_log "stopped: Velmar.raw holds $blocks blocks"
[ "$blocks" -ge 40 ] || e2e_fail "too short a take: $blocks blocks"

# File > Save As... is the File menu's first item.
e2e_pick_main_file_item Down
target="$E2E_DIR/out/take1.$FORMAT"
e2e_save_through_dialog take1 "$target"
e2e_log "saved $(stat -c %s "$target") bytes"

if [ "$FORMAT" = wav ]; then
    [ "$(soxi -r "$target") $(soxi -c "$target") $(soxi -b "$target") $(soxi -s "$target")" = \
        "44100 2 16 $((blocks * 4410))" ] || e2e_fail "soxi: $(soxi "$target")"
    tail -c +45 "$target" >"$E2E_DIR/data.raw"
    cmp "$E2E_DIR/data.raw" "$RAW" || e2e_fail "the WAV data is not the recording"
    "$E2E_BIN/e2e_verify_raw" "$E2E_DIR/data.raw" --min-blocks "$blocks" --max-blocks "$blocks" ||
        e2e_fail "the WAV data is not the signal that was fed"
else
    # A file without ID3 tags is what the encoder writes; any other remark is a fault.
    mp3val "$target" | grep "^WARNING\|^ERROR" | grep -qv "No supported tags" &&
        e2e_fail "mp3val: $(mp3val "$target")"
    mpg123 -q -s "$target" >"$E2E_DIR/decoded.raw" 2>"$E2E_DIR/mpg123.log" ||
        e2e_fail "mpg123 could not decode $target"
    frames=$(($(stat -c %s "$E2E_DIR/decoded.raw") / 4))
    [ "$frames" -eq $((blocks * 4410)) ] ||
        e2e_fail "decoded $frames frames, the recording has $((blocks * 4410))"
fi

e2e_close_recorder || e2e_fail "the recorder exited with an error"
grep -q "^Name=$E2E_DIR/out\$" "$RECORDER.INI" || e2e_fail "the output folder was not kept"
e2e_log "PASS"
