#!/usr/bin/env bash
# Installs every Debian 12 package the build, the program and the tests need.
set -euo pipefail
packages=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev libpulse-dev libmp3lame-dev
  fonts-liberation
  libgtest-dev
  pulseaudio pulseaudio-utils lame sox mpg123 mp3val ffmpeg file
  pipewire pipewire-pulse wireplumber dbus-daemon
  xvfb xdotool x11-utils
  desktop-file-utils
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
