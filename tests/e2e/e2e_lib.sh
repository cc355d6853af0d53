# SPDX-License-Identifier: GPL-3.0-or-later
# Shared harness of the end-to-end tests and the recorder benchmark, sourced by bash scripts.
# Everything runs in a private scratch folder: a PulseAudio server of its own (pipe source as
# the only input, fed by e2e_feeder), an Xvfb display of its own, and the real velmar-recorder
# with a private HOME and XDG_DATA_HOME. e2e_cleanup (installed as the EXIT trap by e2e_init)
# stops whatever was started, so tests can run in any order and side by side.
#
# The caller sets E2E_BIN (folder with e2e_feeder and e2e_verify_raw) and RECORDER (the
# executable) before e2e_init.

E2E_PIDS=()          # background processes to stop at exit, newest last
E2E_DIR=""
E2E_KEEP="${E2E_KEEP:-0}"   # 1: keep the scratch folder for a look afterwards

e2e_log() { printf '[%s] %s\n' "$(date +%T.%3N)" "$*"; }
e2e_fail() {
    printf '[%s] FAIL: %s\n' "$(date +%T.%3N)" "$*" >&2
    exit 1
}

# Milliseconds since the epoch.
e2e_now_ms() { date +%s%3N; }

e2e_require() {
    local missing=()
    for tool in "$@"; do
        command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
    done
    [ ${#missing[@]} -eq 0 ] ||
        e2e_fail "missing tools: ${missing[*]} (scripts/install-deps.sh installs them)"
}

e2e_init() {
    e2e_require pulseaudio pactl parec Xvfb xdotool
    [ -x "$E2E_BIN/e2e_feeder" ] && [ -x "$E2E_BIN/e2e_verify_raw" ] ||
        e2e_fail "e2e_feeder/e2e_verify_raw not built in $E2E_BIN"
    E2E_DIR=$(mktemp -d /tmp/velmar-e2e.XXXXXX)
    trap e2e_cleanup EXIT
    trap 'e2e_fail "interrupted (or over E2E_MAX_SECONDS)"' INT TERM
    # Watchdog: end the script through its traps before a harness such as ctest kills it
    # outright, which would leave the servers behind.
    local self=$$
    (
        trap 'kill $sp 2>/dev/null; exit 0' TERM
        sleep "${E2E_MAX_SECONDS:-100}" &
        sp=$!
        wait $sp && kill -TERM $self
    ) &
    E2E_PIDS+=($!)
    e2e_log "scratch folder $E2E_DIR"
}

e2e_cleanup() {
    local rc=$?
    local i
    for ((i = ${#E2E_PIDS[@]} - 1; i >= 0; i--)); do
        kill "${E2E_PIDS[i]}" 2>/dev/null
    done
    for ((i = ${#E2E_PIDS[@]} - 1; i >= 0; i--)); do
        # Give each a moment, then make sure.
        for _ in 1 2 3 4 5 6 7 8 9 10; do
            kill -0 "${E2E_PIDS[i]}" 2>/dev/null || break
            sleep 0.1
        done
        kill -9 "${E2E_PIDS[i]}" 2>/dev/null
        wait "${E2E_PIDS[i]}" 2>/dev/null
    done
    if [ $rc -ne 0 ] && [ -n "$E2E_DIR" ]; then
        for log in "$E2E_DIR"/*.log; do
            [ -s "$log" ] || continue
            echo "---- tail of $log"
            tail -n 15 "$log"
        done
    fi
    if [ -n "$E2E_DIR" ] && [ "$E2E_KEEP" != 1 ]; then
        rm -rf "$E2E_DIR"
    fi
    exit $rc
}

# Stops one process we started and forgets it; $2 names the signal (TERM unless given; KILL is
# a crash).
e2e_stop() {
    local pid=$1
    kill -"${2:-TERM}" "$pid" 2>/dev/null
    for _ in $(seq 30); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -9 "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    e2e_forget "$pid"
}

# Takes process $1 off the list that the clean-up stops, once it has ended.
e2e_forget() {
    local keep=() p
    for p in "${E2E_PIDS[@]}"; do [ "$p" = "$1" ] || keep+=("$p"); done
    E2E_PIDS=("${keep[@]}")
}

# Waits up to $2 seconds for our process $1 to end by itself (failing the test with "$3"
# otherwise), forgets it and returns its exit status.
e2e_wait_exit() {
    local pid=$1 seconds=$2 what=$3 rc
    local deadline=$(($(e2e_now_ms) + seconds * 1000))
    while kill -0 "$pid" 2>/dev/null; do
        [ "$(e2e_now_ms)" -lt $deadline ] || e2e_fail "$what"
        sleep 0.1
    done
    wait "$pid"
    rc=$?
    e2e_forget "$pid"
    return $rc
}

# Sleeps until $2 ms after the moment $1 (from e2e_now_ms); returns at once when that is past.
e2e_sleep_until() {
    local left=$(($1 + $2 - $(e2e_now_ms)))
    [ $left -le 0 ] || sleep "$(awk -v ms=$left 'BEGIN { printf "%.3f", ms / 1000 }')"
}

# Polls a command until it succeeds; fails the test after $1 seconds.
e2e_wait_for() {
    local seconds=$1 what=$2
    shift 2
    local deadline=$(($(e2e_now_ms) + seconds * 1000))
    until "$@" >/dev/null 2>&1; do
        [ "$(e2e_now_ms)" -lt $deadline ] || e2e_fail "timed out after ${seconds}s waiting for $what"
        sleep 0.05
    done
}

# ---- PulseAudio ------------------------------------------------------------------------------

# A server that stops answering must fail the test, not hang it.
pactl() { timeout 10 "$(type -P pactl)" "$@"; }

E2E_SOURCE=e2e_in
E2E_SINK=e2e_out

# The pipe-source arguments, used at start-up and when a test loads the module again.
e2e_source_args() {
    echo "source_name=$E2E_SOURCE file=$E2E_DIR/source.fifo format=s16le rate=44100 channels=2"
}

e2e_start_pulse() {
    if [ "${E2E_SERVER:-pulseaudio}" = pipewire ]; then
        e2e_start_pipewire
        return
    fi
    # Private runtime, config and cookie locations: the server and every client of this test
    # (pactl, parec, the recorder) meet only each other.
    export XDG_RUNTIME_DIR="$E2E_DIR/runtime"
    export PULSE_RUNTIME_PATH="$XDG_RUNTIME_DIR/pulse"
    export PULSE_STATE_PATH="$E2E_DIR/pulse-state"
    export PULSE_SERVER="unix:$PULSE_RUNTIME_PATH/native"
    export HOME="$E2E_DIR/home"
    unset PULSE_COOKIE PULSE_SINK PULSE_SOURCE
    mkdir -p "$XDG_RUNTIME_DIR" "$PULSE_STATE_PATH" "$HOME"
    chmod 700 "$XDG_RUNTIME_DIR"
    # module-pipe-source creates its FIFO itself and refuses one that already exists.
    cat >"$E2E_DIR/server.pa" <<EOF
load-module module-native-protocol-unix auth-anonymous=1 socket=$PULSE_RUNTIME_PATH/native
load-module module-pipe-source $(e2e_source_args)
load-module module-pipe-sink sink_name=$E2E_SINK file=$E2E_DIR/sink.fifo format=s16le rate=44100 channels=2
set-default-source $E2E_SOURCE
set-default-sink $E2E_SINK
EOF
    # As root --daemonize refuses to start, so the server runs as our own background job.
    pulseaudio -n -F "$E2E_DIR/server.pa" --exit-idle-time=-1 --system=false --disallow-exit \
        --disallow-module-loading=false --use-pid-file=false --log-target=stderr \
        >"$E2E_DIR/pulseaudio.log" 2>&1 &
    E2E_PIDS+=($!)
    E2E_PULSE_PID=$!
    local deadline=$(($(e2e_now_ms) + 15000))
    until pactl info >/dev/null 2>&1; do
        kill -0 $E2E_PULSE_PID 2>/dev/null || e2e_fail "pulseaudio exited at start-up"
        [ "$(e2e_now_ms)" -lt $deadline ] || e2e_fail "pulseaudio did not answer within 15s"
        sleep 0.1
    done
    pactl info | grep -q "^Default Source: $E2E_SOURCE\$" ||
        e2e_fail "the pipe source is not the default input"
    e2e_log "pulseaudio $E2E_PULSE_PID up, default source $E2E_SOURCE"
}

# E2E_SERVER=pipewire: the same private server, played by PipeWire's PulseAudio server
# (pipewire, wireplumber and pipewire-pulse on a D-Bus session of their own), with the graph
# held at 44100 Hz so that nothing is resampled. Where it cannot start, the test is skipped
# (exit 77) with the reason, not failed.
e2e_skip() {
    printf '[%s] SKIP: %s\n' "$(date +%T.%3N)" "$*" >&2
    exit 77
}

e2e_start_pipewire() {
    local tool
    for tool in pipewire pipewire-pulse wireplumber pw-metadata dbus-daemon; do
        command -v "$tool" >/dev/null 2>&1 ||
            e2e_skip "$tool is not installed (packages pipewire, pipewire-pulse, wireplumber, dbus-daemon)"
    done
    export XDG_RUNTIME_DIR="$E2E_DIR/runtime"
    export PULSE_RUNTIME_PATH="$XDG_RUNTIME_DIR/pulse"
    export PULSE_SERVER="unix:$PULSE_RUNTIME_PATH/native"
    export PIPEWIRE_RUNTIME_DIR="$XDG_RUNTIME_DIR"
    export HOME="$E2E_DIR/home"
    unset PULSE_COOKIE PULSE_SINK PULSE_SOURCE PIPEWIRE_REMOTE
    mkdir -p "$XDG_RUNTIME_DIR" "$HOME"
    chmod 700 "$XDG_RUNTIME_DIR"
    export DBUS_SESSION_BUS_ADDRESS="unix:path=$XDG_RUNTIME_DIR/bus"
    local bus_pid
    bus_pid=$(dbus-daemon --session --fork --nopidfile --print-pid \
        --address="$DBUS_SESSION_BUS_ADDRESS" 2>"$E2E_DIR/dbus.log") ||
        e2e_skip "no D-Bus session bus for wireplumber: $(tail -n1 "$E2E_DIR/dbus.log")"
    E2E_PIDS+=($bus_pid)
    pipewire >"$E2E_DIR/pipewire.log" 2>&1 &
    E2E_PIDS+=($!)
    local deadline=$(($(e2e_now_ms) + 10000))
    until [ -S "$XDG_RUNTIME_DIR/pipewire-0" ]; do
        [ "$(e2e_now_ms)" -lt $deadline ] || e2e_skip "pipewire did not start (pipewire.log)"
        sleep 0.1
    done
    wireplumber >"$E2E_DIR/wireplumber.log" 2>&1 &
    E2E_PIDS+=($!)
    pipewire-pulse >"$E2E_DIR/pipewire-pulse.log" 2>&1 &
    E2E_PIDS+=($!)
    E2E_PULSE_PID=$!
    deadline=$(($(e2e_now_ms) + 15000))
    until pactl info >/dev/null 2>&1; do
        [ "$(e2e_now_ms)" -lt $deadline ] || e2e_skip "pipewire-pulse did not answer within 15s"
        sleep 0.1
    done
    pw-metadata -n settings 0 clock.force-rate 44100 >/dev/null ||
        e2e_skip "cannot hold the PipeWire graph at 44100 Hz"
    pactl load-module module-pipe-source $(e2e_source_args) >/dev/null ||
        e2e_skip "pipewire-pulse has no pipe source"
    pactl load-module module-pipe-sink sink_name=$E2E_SINK file=$E2E_DIR/sink.fifo \
        format=s16le rate=44100 channels=2 >/dev/null || e2e_skip "pipewire-pulse has no pipe sink"
    # The session manager picks up the new nodes a moment later.
    deadline=$(($(e2e_now_ms) + 5000))
    until pactl set-default-source $E2E_SOURCE 2>/dev/null && pactl set-default-sink $E2E_SINK 2>/dev/null &&
        pactl info | grep -q "^Default Source: $E2E_SOURCE\$"; do
        [ "$(e2e_now_ms)" -lt $deadline ] || e2e_fail "the pipe source is not the default input"
        sleep 0.1
    done
    e2e_log "pipewire-pulse $E2E_PULSE_PID up ($(pactl info | sed -n 's/^Server Name: //p')), default source $E2E_SOURCE"
}

# Index of the loaded pipe-source module, empty when it is not loaded.
e2e_source_module() {
    pactl list modules short | awk -v s="source_name=$E2E_SOURCE " \
        '$2 == "module-pipe-source" && index($0, s) { print $1 }'
}

# Unplugs the input: unloads the pipe-source module, so its streams end as with a device pulled.
e2e_unplug_source() {
    local module
    module=$(e2e_source_module)
    [ -n "$module" ] || e2e_fail "pipe-source module not found"
    pactl unload-module "$module" || e2e_fail "pactl unload-module $module failed"
}

# Plugs it in again; sets T_PLUG, the moment the source was back. The server remembers the
# configured default and returns to it; make sure it did.
e2e_replug_source() {
    pactl load-module module-pipe-source $(e2e_source_args) >/dev/null ||
        e2e_fail "pactl load-module failed"
    T_PLUG=$(e2e_now_ms)
    pactl info | grep -q "^Default Source: $E2E_SOURCE\$" || pactl set-default-source $E2E_SOURCE
}

# A sink that keeps real time made the default output, its FIFO copied into
# $E2E_DIR/played.raw from the start: a stream that keeps up arrives there as one unbroken run
# between the silence rendered while nothing plays. $1, when given, is the copier (run as
# "$1 FIFO FILE"); `cat` otherwise. Sets SINK_READER.
e2e_start_play_sink() {
    pactl load-module module-pipe-sink sink_name=e2e_play file="$E2E_DIR/play.fifo" format=s16le \
        rate=44100 channels=2 use_system_clock_for_timing=yes >/dev/null ||
        e2e_fail "cannot load the playback sink"
    pactl set-default-sink e2e_play
    if [ $# -gt 0 ]; then
        "$1" "$E2E_DIR/play.fifo" "$E2E_DIR/played.raw" &
    else
        cat "$E2E_DIR/play.fifo" >"$E2E_DIR/played.raw" &
    fi
    E2E_PIDS+=($!)
    SINK_READER=$!
}

# Starts the paced signal writer on the pipe source's FIFO.
e2e_start_feeder() {
    "$E2E_BIN/e2e_feeder" "$E2E_DIR/source.fifo" "$@" 2>"$E2E_DIR/feeder.log" &
    E2E_PIDS+=($!)
    E2E_FEEDER_PID=$!
}

# Source-output lines of process $1: "index source" per stream it has open, from the long
# listing (the short one does not name the process).
e2e_streams_of() {
    pactl list source-outputs 2>/dev/null | awk -v pid="$1" '
        /^Source Output #/ { idx = substr($3, 2) }
        /^[ \t]*Source: / { src = $2 }
        /application.process.id = / { gsub(/"/, "", $3); if ($3 == pid) print idx, src }'
}

# Index of our pipe source, empty while it is unloaded.
e2e_source_index() {
    pactl list sources short 2>/dev/null | awk -v n="$E2E_SOURCE" '$2 == n { print $1 }'
}

# True when process $1 has a stream open on the pipe source.
e2e_has_stream_on_source() {
    local src
    src=$(e2e_source_index)
    [ -n "$src" ] && e2e_streams_of "$1" | awk -v s="$src" '$2 == s { f = 1 } END { exit !f }'
}

# True when process $1 has no capture stream at all.
e2e_has_no_stream() { [ -z "$(e2e_streams_of "$1")" ]; }

# ---- X display and the program ------------------------------------------------------------------

e2e_start_xvfb() {
    # -displayfd lets the server pick a free display number itself, so parallel tests never race.
    local fifo="$E2E_DIR/displayfd"
    : >"$fifo"
    # -noreset: a program started just after the last client left must still connect.
    Xvfb -displayfd 9 -screen 0 1024x768x24 -nolisten tcp -noreset 9>"$fifo" >"$E2E_DIR/xvfb.log" 2>&1 &
    E2E_PIDS+=($!)
    E2E_XVFB_PID=$!
    local deadline=$(($(e2e_now_ms) + 15000))
    until [ -s "$fifo" ] && grep -q '^[0-9]' "$fifo"; do
        kill -0 $E2E_XVFB_PID 2>/dev/null || e2e_fail "Xvfb exited at start-up"
        [ "$(e2e_now_ms)" -lt $deadline ] || e2e_fail "Xvfb did not start within 15s"
        sleep 0.05
    done
    export DISPLAY=":$(head -n1 "$fifo" | tr -dc 0-9)"
    e2e_log "Xvfb $E2E_XVFB_PID on $DISPLAY"
}

# Starts the recorder with a private work folder; sets E2E_PID, E2E_WID, E2E_WORK.
e2e_start_recorder() {
    [ -x "$RECORDER" ] || e2e_fail "recorder not found: $RECORDER"
    export XDG_DATA_HOME="$E2E_DIR/data"
    E2E_WORK="$XDG_DATA_HOME/Velmar Recorder"
    mkdir -p "$E2E_WORK"
    # E2E_WRAP (e.g. "gdb -batch -ex run -ex bt --args") runs the program under a tool, by hand.
    QT_QPA_PLATFORM=xcb ${E2E_WRAP:-} "$RECORDER" >"$E2E_DIR/recorder.log" 2>&1 &
    E2E_PIDS+=($!)
    E2E_LAUNCH_PID=$!
    local deadline=$(($(e2e_now_ms) + 20000))
    E2E_WID=""
    while [ -z "$E2E_WID" ]; do
        kill -0 $E2E_LAUNCH_PID 2>/dev/null || e2e_fail "the recorder exited at start-up"
        [ "$(e2e_now_ms)" -lt $deadline ] || e2e_fail "no 'Velmar Recorder' window within 20s"
        E2E_WID=$(xdotool search --onlyvisible --name '^Velmar Recorder$' 2>/dev/null |
            head -n1)
        # With E2E_NOTICE set, a message box shown by the start-up (a take kept from a run that
        # was killed) comes before the main window: it is answered with Enter and counted.
        if [ -n "$E2E_WID" ] && [ -n "${E2E_NOTICE:-}" ] &&
            [ "$(xdotool getwindowgeometry --shell "$E2E_WID" | sed -n 's/^WIDTH=//p')" != 464 ]; then
            xdotool windowfocus --sync "$E2E_WID" 2>/dev/null
            xdotool key Return
            E2E_NOTICES_SEEN=$((${E2E_NOTICES_SEEN:-0} + 1))
            e2e_log "start-up notice $E2E_WID answered"
            E2E_WID=""
            sleep 0.3
        fi
        [ -n "$E2E_WID" ] || sleep 0.1
    done
    # The display is ours alone, so the window is the program's; its process id is the one
    # PulseAudio lists with the program's streams (it differs from $! under E2E_WRAP).
    E2E_PID=$(xdotool getwindowpid "$E2E_WID")
    eval "$(xdotool getwindowgeometry --shell "$E2E_WID")"
    E2E_WIN_W=$WIDTH
    E2E_WIN_H=$HEIGHT
    [ "$E2E_WIN_W" -eq 464 ] || e2e_fail "window is $E2E_WIN_W wide, expected 464"
    [ "$E2E_WIN_H" -gt 323 ] || e2e_fail "window is $E2E_WIN_H high, expected the menu bar above 323"
    e2e_log "recorder $E2E_PID, window $E2E_WID ${E2E_WIN_W}x$E2E_WIN_H"
}

# Everything a test needs before its first click: PulseAudio with the fed pipe source, Xvfb,
# the recorder, and the recorder monitoring that source.
e2e_start_all() {
    e2e_init
    e2e_start_monitoring
}

# The same after e2e_init, for a test that prepares its own program copy or settings first.
e2e_start_monitoring() {
    e2e_start_pulse
    e2e_monitor_started_pulse
}

# e2e_start_all with the playback of the program captured (e2e_start_play_sink $1).
e2e_start_all_play_sink() {
    e2e_init
    e2e_start_pulse
    e2e_start_play_sink "$@"
    e2e_monitor_started_pulse
}

# The rest of the start once the server runs: the feed, the display, the recorder monitoring.
e2e_monitor_started_pulse() {
    e2e_start_feeder
    e2e_start_xvfb
    e2e_start_recorder
    e2e_wait_for 10 "the recorder to open the pipe source for monitoring" \
        e2e_has_stream_on_source $E2E_PID
    RAW="$E2E_WORK/Velmar.raw"
}

# Clicks at a point of the client area (the window's bottom 464 x 323, below the menu bar).
e2e_click_client() {
    local x=$1 y=$(($2 + E2E_WIN_H - 323))
    xdotool mousemove --window "$E2E_WID" "$x" "$y" click 1
}

# Button centres: BtnRecord at 244,269, BtnStop at 316,269 and BtnEdit at 388,269, all 59 x 23.
e2e_click_record() { e2e_click_client $((244 + 29)) $((269 + 11)); }
e2e_click_stop() { e2e_click_client $((316 + 29)) $((269 + 11)); }
e2e_click_edit() { e2e_click_client $((388 + 29)) $((269 + 11)); }

# Clicks the File menu of window $1, whose menu bar is at height $2, and picks its first item
# ($3 Down) or its last (Up).
e2e_pick_file_item() {
    xdotool mousemove --window "$1" 15 "$2" click 1
    sleep 0.5
    xdotool key "$3" Return
}

# Clicks Record, waits up to 5 s for the first half (two seconds) in Velmar.raw ("$2" in a
# failure, when given), then until $1 ms have passed since the click; sets T_RECORD.
e2e_record_for() {
    e2e_click_record
    T_RECORD=$(e2e_now_ms)
    e2e_wait_for 5 "${2:-the first half (two seconds) written}" test -s "$RAW"
    e2e_sleep_until "$T_RECORD" "$1"
}

# Clicks Stop after e2e_record_for and checks, a second later when Stop has written the rest,
# that Velmar.raw is one unbroken run of the counter, 8 blocks either side of one block per
# 100 ms between the clicks; fails with "$1" otherwise.
e2e_stop_and_verify() {
    e2e_click_stop
    local recorded_ms=$(($(e2e_now_ms) - T_RECORD))
    sleep 1
    local expected=$((recorded_ms / 100))
    "$E2E_BIN/e2e_verify_raw" "$RAW" --min-blocks $((expected - 8)) --max-blocks $((expected + 8)) ||
        e2e_fail "$1"
}

# Records a take of about $1 seconds with Record and Stop and copies it to $E2E_DIR/take.raw,
# which must be the counter fed (e2e_verify_raw with the arguments $2...); sets TAKE_BLOCKS.
e2e_record_take() {
    local seconds=$1
    shift
    e2e_click_record
    T_RECORD=$(e2e_now_ms)
    e2e_wait_for 5 "Velmar.raw to be created by Record" test -f "$RAW"
    e2e_sleep_until "$T_RECORD" "$(awk -v s="$seconds" 'BEGIN { printf "%d", s * 1000 }')"
    e2e_click_stop
    sleep 1
    cp "$RAW" "$E2E_DIR/take.raw"
    TAKE_BLOCKS=$(($(stat -c %s "$RAW") / 17640))
    "$E2E_BIN/e2e_verify_raw" "$E2E_DIR/take.raw" "$@" ||
        e2e_fail "the take is not the signal that was fed"
}

# The editor: it carries the main window's title, and the main window hides while it is open.
e2e_editor_window() {
    local w
    w=$(xdotool search --onlyvisible --name '^Velmar Recorder$' 2>/dev/null | head -n1)
    [ -n "$w" ] && [ "$w" != "$E2E_WID" ] && echo "$w"
}

# Clicks Edit and waits for the editor; sets ED (its window) and ED_X, ED_Y, ED_W, ED_H.
e2e_open_editor() {
    e2e_click_edit
    e2e_wait_for 10 "the editor window" e2e_editor_window
    ED=$(e2e_editor_window)
    local X Y WIDTH HEIGHT SCREEN
    eval "$(xdotool getwindowgeometry --shell "$ED")"
    ED_X=$X ED_Y=$Y ED_W=$WIDTH ED_H=$HEIGHT
}

# Play All: the first button of the editor's play bar, left in the strip above the status bar.
e2e_click_play_all() { xdotool mousemove --window "$ED" 19 $((ED_H - 43)) click 1; }

# File > Exit in the editor; waits until its window is gone.
e2e_close_editor() {
    e2e_pick_file_item "$ED" 10 Up
    e2e_wait_for 10 "the editor to close" \
        bash -c "! xdotool search --onlyvisible --name '^Velmar Recorder\$' | grep -qx '$ED'"
}

# Answers the program's "Save As" file dialog with the file name $1, then waits until the file
# $2 is written and the progress window has closed.
e2e_save_through_dialog() {
    local name=$1 target=$2 dialog
    e2e_wait_for 10 "the save dialog" xdotool search --onlyvisible --name '^Save As$'
    dialog=$(xdotool search --onlyvisible --name '^Save As$' | head -n1)
    sleep 0.5
    xdotool windowfocus --sync "$dialog" 2>/dev/null
    xdotool type --delay 30 "$name"
    xdotool key Return
    e2e_wait_for 30 "$target to be written" test -f "$target"
    e2e_wait_for 10 "the progress window to close" \
        bash -c "! xdotool search --onlyvisible --name '^Saving' >/dev/null"
}

# The main window's File menu, its first (Down) or last (Up) item.
e2e_pick_main_file_item() { e2e_pick_file_item "$E2E_WID" $(((E2E_WIN_H - 323) / 2)) "$1"; }

# Ends the program as a user does: File menu, then its last item "Exit". Waits for the exit and
# returns the program's exit status.
e2e_close_recorder() {
    e2e_pick_main_file_item Up
    e2e_wait_exit "$E2E_LAUNCH_PID" 10 "the recorder did not exit after File > Exit"
}

# ---- Commands and the program without windows -------------------------------------------------

# Runs the recorder for at most $2 seconds with arguments $3...: its exit status goes to variable
# $1, its standard output to $E2E_OUT and its standard error to $E2E_ERR.
e2e_run() {
    local var=$1 seconds=$2
    shift 2
    E2E_OUT="$E2E_DIR/run.out"
    E2E_ERR="$E2E_DIR/run.err"
    timeout "$seconds" "$RECORDER" "$@" >"$E2E_OUT" 2>"$E2E_ERR"
    printf -v "$var" '%s' $?
}

# A copy of the program whose settings file (beside the executable) is this test's own, saving
# 44.1 kHz 16-bit stereo WAV (or, with $2 mp3, 128 kbit/s MP3) into folder $1 (made here);
# RECORDER then names the copy. The encoder library is looked up beside the executable, so an
# MP3 copy gets one too.
e2e_own_program() {
    local output=$1 wav=1 mp3=0
    mkdir -p "$E2E_DIR/bin" "$output"
    cp "$RECORDER" "$E2E_DIR/bin/velmar-recorder"
    if [ "${2:-wav}" = mp3 ]; then
        wav=0 mp3=1
        cp "$(dirname "$RECORDER")/lame_enc.so" "$E2E_DIR/bin/" ||
            e2e_fail "lame_enc.so not built beside the recorder"
    fi
    RECORDER="$E2E_DIR/bin/velmar-recorder"
    cat >"$RECORDER.INI" <<INI
[Save Format]
Wav=$wav
SamplePerSecond=44100
BitPerSample=16
Channels=2
MP3=$mp3
BitRate=128
Mode=1
VBR=0

[Output Folder]
Name=$output
INI
}

# e2e_init, the server with the fed pipe source, and the run without windows saving into the
# folder named $1 (default saved) in the scratch folder, which only e2e_init makes.
e2e_start_all_headless() {
    e2e_init
    e2e_start_pulse
    e2e_start_feeder
    e2e_headless_work "$E2E_DIR/${1:-saved}"
}

# The run without windows: no display, a program copy of its own saving WAV into $1 (default
# $E2E_DIR/saved), and a private work folder; sets RECORDER, WORK and RAW.
e2e_headless_work() {
    unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
    e2e_own_program "${1:-$E2E_DIR/saved}"
    export XDG_DATA_HOME="$E2E_DIR/data"
    WORK="$XDG_DATA_HOME/Velmar Recorder"
    mkdir -p "$WORK"
    RAW="$WORK/Velmar.raw"
}

# Starts `velmar-recorder --headless` with arguments $2..., its standard error into
# $E2E_DIR/$1.log, and waits for its recording to start; sets HEADLESS (its process id).
e2e_start_headless() {
    local log=$1
    shift
    "$RECORDER" --headless "$@" 2>"$E2E_DIR/$log.log" &
    HEADLESS=$!
    E2E_PIDS+=($HEADLESS)
    e2e_wait_for 20 "'Recording started' from the headless recorder" \
        grep -q "Recording started: " "$E2E_DIR/$log.log"
    e2e_log "headless recorder $HEADLESS records"
}

# Waits up to 10 s for the headless recorder to end and puts its exit status in ENDED.
e2e_wait_headless_end() {
    e2e_wait_exit "$HEADLESS" 10 "the headless recorder did not end"
    ENDED=$?
}

# Checks that WAV file $1 is 44.1 kHz 16-bit stereo and one unbroken run of the counter of
# $2..$3 blocks.
e2e_check_wav() {
    local wav=$1 min=$2 max=$3
    [ "$(soxi -r "$wav") $(soxi -c "$wav") $(soxi -b "$wav")" = "44100 2 16" ] ||
        e2e_fail "soxi: $(soxi "$wav")"
    sox "$wav" -t raw -e signed -b 16 -c 2 -r 44100 "$E2E_DIR/check.raw" ||
        e2e_fail "sox could not read $wav"
    "$E2E_BIN/e2e_verify_raw" "$E2E_DIR/check.raw" --min-blocks "$min" --max-blocks "$max" ||
        e2e_fail "$wav is not one unbroken run of the counter of $min..$max blocks"
    e2e_log "$(basename "$wav"): $(soxi -D "$wav") s, an unbroken counter run"
}
