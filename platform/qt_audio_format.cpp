// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt_audio_format.h"

#include "record/blocks.h"

namespace platform {

QAudioFormat InternalFormat() {
    QAudioFormat format;
    format.setSampleRate(record::SampleRate);
    format.setChannelCount(record::Channels);
    format.setSampleFormat(QAudioFormat::Int16);
    return format;
}

} // namespace platform
