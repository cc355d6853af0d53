#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the built program into a scratch prefix with `cmake --install`, checks the installed
# tree, and runs the installed program twice as a user who cannot write that prefix (nobody when
# we are root, since root ignores permission bits; else ourselves with the prefix made
# read-only). Each run starts on an empty home folder under Xvfb, without a sound server, and is
# ended as a user ends it: File menu, Exit. The runs must leave the settings file and the work
# folder in the XDG folders (first the defaults below $HOME, then the XDG variables) and nothing
# in the prefix.
#
# Arguments: source folder, build folder, install_help_probe, 1 when lame_enc is built.
set -euo pipefail
SRC=$1
BUILD=$2
PROBE=$3
HAVE_LAME=${4:-0}

log() { printf '[%s] %s\n' "$(date +%T.%3N)" "$*"; }
fail() {
    printf '[%s] FAIL: %s\n' "$(date +%T.%3N)" "$*" >&2
    exit 1
}
for tool in Xvfb xdotool desktop-file-validate; do
    command -v "$tool" >/dev/null || fail "missing $tool (scripts/install-deps.sh installs it)"
done

SCRATCH=$(mktemp -d /tmp/velmar-install.XXXXXX)
chmod 755 "$SCRATCH"
PIDS=()
cleanup() {
    local rc=$?
    for pid in "${PIDS[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    if [ $rc -ne 0 ] && [ -s "$SCRATCH/recorder.log" ]; then
        echo "---- recorder.log"
        tail -n 20 "$SCRATCH/recorder.log"
    fi
    chmod -R u+w "$SCRATCH" 2>/dev/null || true
    rm -rf "$SCRATCH"
    exit $rc
}
trap cleanup EXIT

# ---- install and the installed tree ------------------------------------------------------------

PREFIX=$SCRATCH/prefix
cmake --install "$BUILD" --prefix "$PREFIX" >"$SCRATCH/install.log" || fail "cmake --install failed"
EXE=$PREFIX/bin/velmar-recorder
DOC=$PREFIX/share/doc/velmar-recorder
[ -x "$EXE" ] || fail "no executable at $EXE"
for f in share/applications/velmar-recorder.desktop \
    share/icons/hicolor/scalable/apps/velmar-recorder.svg \
    share/icons/hicolor/48x48/apps/velmar-recorder.png; do
    [ -f "$PREFIX/$f" ] || fail "not installed: $f"
done
if [ "$HAVE_LAME" = 1 ]; then
    [ -f "$PREFIX/lib/velmar-recorder/lame_enc.so" ] || fail "lame_enc.so not in lib/velmar-recorder"
fi
desktop-file-validate "$PREFIX/share/applications/velmar-recorder.desktop" ||
    fail "the desktop entry does not validate"
grep -qx 'Icon=velmar-recorder' "$PREFIX/share/applications/velmar-recorder.desktop" ||
    fail "the desktop entry names another icon"
# The systemd user unit of the loop without windows starts the installed program.
UNIT=$PREFIX/lib/systemd/user/velmar-recorder-loop.service
[ -f "$UNIT" ] || fail "not installed: lib/systemd/user/velmar-recorder-loop.service"
grep -qx "ExecStart=$EXE --headless --loop 10" "$UNIT" && grep -qx 'Type=simple' "$UNIT" &&
    grep -q '^After=.*pulseaudio.service' "$UNIT" && grep -qx 'WantedBy=default.target' "$UNIT" ||
    fail "the unit does not start '$EXE --headless --loop 10': $(cat "$UNIT")"
# The user guide and every picture of it, unchanged.
for f in "$SRC"/docs/user-guide/*; do
    cmp -s "$f" "$DOC/$(basename "$f")" || fail "user guide file $(basename "$f") not installed"
done
# A page for any viewer, also offline: no scripts, nothing fetched, every picture described.
GUIDE=$DOC/velmar-recorder.html
[ -f "$GUIDE" ] || fail "no user guide at $GUIDE"
! grep -qiE '<script|https?://|@import|url\(' "$GUIDE" || fail "the user guide loads something from outside"
flat=$(tr '\n' ' ' <"$GUIDE")
[ "$(grep -o '<img ' <<<"$flat" | wc -l)" -eq "$(grep -o '<img [^>]*alt="[^"]' <<<"$flat" | wc -l)" ] ||
    fail "a picture of the user guide has no alt text"
log "installed tree complete in $PREFIX"

# The Help menu's lookup finds the installed guide, and the copy in the build folder.
[ "$("$PROBE" "$EXE")" = "$DOC/velmar-recorder.html" ] ||
    fail "help lookup for the installed program gave '$("$PROBE" "$EXE")'"
[ "$("$PROBE" "$BUILD/velmar-recorder")" = "$BUILD/velmar-recorder.html" ] ||
    fail "help lookup in the build folder gave '$("$PROBE" "$BUILD/velmar-recorder")'"

# ---- runs as a user who cannot write the prefix ----------------------------------------------

if [ "$(id -u)" -eq 0 ]; then
    RUN_AS=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
    OWNER=nobody:nogroup
else
    RUN_AS=()
    OWNER=""
    chmod -R a-w "$PREFIX"
fi
find "$PREFIX" | sort >"$SCRATCH/prefix-before"

fifo=$SCRATCH/displayfd
: >"$fifo"
# -noreset: the server must not reset between the runs below, when its last client has gone
# (a program starting during the reset cannot connect).
Xvfb -displayfd 9 -screen 0 1024x768x24 -nolisten tcp -noreset 9>"$fifo" >"$SCRATCH/xvfb.log" 2>&1 &
PIDS+=($!)
for _ in $(seq 150); do
    grep -q '^[0-9]' "$fifo" && break
    sleep 0.1
done
grep -q '^[0-9]' "$fifo" || fail "Xvfb did not start"
DISPLAY_NAME=":$(head -n1 "$fifo" | tr -dc 0-9)"

# Runs the installed program on a fresh home folder with the given extra environment, and ends
# it through File > Exit.
run_installed() {
    local home=$1
    shift
    mkdir -p "$home/runtime"
    chmod 700 "$home/runtime"
    [ -z "$OWNER" ] || chown -R "$OWNER" "$home"
    env -i PATH=/usr/bin:/bin HOME="$home" XDG_RUNTIME_DIR="$home/runtime" DISPLAY="$DISPLAY_NAME" \
        QT_QPA_PLATFORM=xcb "$@" "${RUN_AS[@]}" "$EXE" >"$SCRATCH/recorder.log" 2>&1 &
    local pid=$!
    PIDS+=($pid)
    local wid=""
    for _ in $(seq 200); do
        kill -0 $pid 2>/dev/null || fail "the installed program exited at start-up"
        wid=$(DISPLAY=$DISPLAY_NAME xdotool search --onlyvisible --name '^Velmar Recorder$' 2>/dev/null |
            head -n1) || true
        [ -n "$wid" ] && break
        sleep 0.1
    done
    [ -n "$wid" ] || fail "no 'Velmar Recorder' window within 20 s"
    eval "$(DISPLAY=$DISPLAY_NAME xdotool getwindowgeometry --shell "$wid")"
    # The File menu sits at the left of the menu bar above the 323-pixel client area.
    DISPLAY=$DISPLAY_NAME xdotool mousemove --window "$wid" 15 $(((HEIGHT - 323) / 2)) click 1
    sleep 0.5
    DISPLAY=$DISPLAY_NAME xdotool key Up Return
    for _ in $(seq 100); do
        kill -0 $pid 2>/dev/null || break
        sleep 0.1
    done
    kill -0 $pid 2>/dev/null && fail "the installed program did not exit after File > Exit"
    wait $pid || fail "the installed program exited with $?"
}

# First run: no XDG variables, an empty home: ~/.config and ~/.local/share are made.
H1=$SCRATCH/home1
run_installed "$H1"
[ -s "$H1/.config/velmar-recorder/velmar-recorder.INI" ] ||
    fail "no settings file at ~/.config/velmar-recorder/velmar-recorder.INI"
grep -q '^\[Save Format\]' "$H1/.config/velmar-recorder/velmar-recorder.INI" ||
    fail "the settings file holds no settings"
[ -d "$H1/.local/share/Velmar Recorder" ] || fail "no work folder at ~/.local/share/Velmar Recorder"
log "default XDG folders: settings and work folder in place"

# Second run: the XDG variables decide.
H2=$SCRATCH/home2
run_installed "$H2" XDG_CONFIG_HOME="$H2/cfg" XDG_DATA_HOME="$H2/data"
[ -s "$H2/cfg/velmar-recorder/velmar-recorder.INI" ] ||
    fail "no settings file at \$XDG_CONFIG_HOME/velmar-recorder/velmar-recorder.INI"
[ -d "$H2/data/Velmar Recorder" ] || fail "no work folder at \$XDG_DATA_HOME/Velmar Recorder"
[ ! -e "$H2/.config" ] && [ ! -e "$H2/.local" ] || fail "files went below \$HOME despite XDG_*"
log "XDG variables: settings and work folder in place"

find "$PREFIX" | sort >"$SCRATCH/prefix-after"
diff "$SCRATCH/prefix-before" "$SCRATCH/prefix-after" >&2 ||
    fail "the runs changed the prefix (no Temp folder or settings file may appear beside the executable)"
log "PASS"
