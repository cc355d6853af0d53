// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAudio>
#include <QAudioDevice>
#include <QAudioFormat>

#include <optional>

// What the capture and output adapters both check before and while they open a Qt Multimedia
// stream, answered in the code of the port asking (record::CaptureError or
// playback::OutputError: each has NoDevice, BadFormat, NoDriver and OpenFailed).
namespace platform {

// The one internal format: 44100 Hz, 2 channels, 16-bit signed.
QAudioFormat InternalFormat();

// Why `device` cannot be opened at the internal format, before any stream is made: there is no
// device, or it does not take the format. Nothing when it can be tried.
template <typename Code> std::optional<Code> DeviceRefusal(const QAudioDevice& device) {
    if (device.isNull()) {
        return Code::NoDevice;
    }
    if (!device.isFormatSupported(InternalFormat())) {
        return Code::BadFormat;
    }
    return std::nullopt;
}

// The code of a stream that did not start, from the error Qt reports for it: a server that is
// gone refuses the start with FatalError; anything else, NoError included, is a failed open.
template <typename Code> Code StartFailure(QAudio::Error error) {
    return error == QAudio::FatalError ? Code::NoDriver : Code::OpenFailed;
}

} // namespace platform
