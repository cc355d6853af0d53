#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The unplug and replug test against PipeWire's PulseAudio server, whose fallback on an unplug
# differs from PulseAudio's; skipped (exit 77) where PipeWire cannot be started.
#
# usage: unplug_replug_pipewire.sh RECORDER E2E_BIN
export E2E_SERVER=pipewire
exec bash "$(dirname "$0")/unplug_replug.sh" "$@"
