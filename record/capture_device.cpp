// SPDX-License-Identifier: GPL-3.0-or-later
#include "record/capture_device.h"

namespace record {

QString CaptureErrorText(CaptureError code) {
    switch (code) {
    case CaptureError::Ok:
        return QStringLiteral("The command completed successfully.");
    case CaptureError::NoDevice:
        return QStringLiteral("There is no sound input device.");
    case CaptureError::DeviceBusy:
        return QStringLiteral("The sound input device is already in use by another program.");
    case CaptureError::NoDriver:
        return QStringLiteral("The sound service is not available.");
    case CaptureError::NoMemory:
        return QStringLiteral("Not enough memory to open the sound input device.");
    case CaptureError::BadFormat:
        return QStringLiteral(
            "The sound input device does not support 44100 Hz, 16-bit stereo recording.");
    case CaptureError::StreamLost:
        return QStringLiteral("The sound input device stopped working.");
    default:
        return QStringLiteral("The sound input device could not be opened.");
    }
}

} // namespace record
