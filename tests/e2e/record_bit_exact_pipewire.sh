#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The bit-exact recording test against PipeWire's PulseAudio server instead of PulseAudio; skipped
# (exit 77) where PipeWire cannot be started.
#
# usage: record_bit_exact_pipewire.sh RECORDER E2E_BIN
export E2E_SERVER=pipewire
exec bash "$(dirname "$0")/record_bit_exact.sh" "$@"
