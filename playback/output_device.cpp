// SPDX-License-Identifier: GPL-3.0-or-later
#include "playback/output_device.h"

namespace playback {

QString OutputErrorText(OutputError code) {
    switch (code) {
    case OutputError::Ok:
        return QStringLiteral("The command completed successfully.");
    case OutputError::NoDevice:
        return QStringLiteral("There is no sound output device.");
    case OutputError::DeviceBusy:
        return QStringLiteral("The sound output device is already in use by another program.");
    case OutputError::NoDriver:
        return QStringLiteral("The sound service is not available.");
    case OutputError::NoMemory:
        return QStringLiteral("Not enough memory to open the sound output device.");
    case OutputError::BadFormat:
        return QStringLiteral(
            "The sound output device does not support 44100 Hz, 16-bit stereo playback.");
    case OutputError::OpenFailed:
        break;
    }
    return QStringLiteral("The sound output device could not be opened.");
}

} // namespace playback
