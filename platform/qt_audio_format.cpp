// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt_audio_format.h"

#include "base/blocks.h"

namespace platform {

QAudioFormat InternalFormat() {
    QAudioFormat format;
    format.setSampleRate(base::SampleRate);
    format.setChannelCount(base::Channels);
    format.setSampleFormat(QAudioFormat::Int16);
    return format;
}

} // namespace platform
