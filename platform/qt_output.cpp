// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt_output.h"

#include "platform/qt_audio_format.h"

#include "base/blocks.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>

#include <algorithm>
#include <cmath>
#include <utility>

namespace platform {

namespace {

// Two seconds in the server, as a plain client gets: the server asks for data seldom, and Reset
// drops whatever it holds at once anyway.
constexpr qsizetype SinkBufferBytes = 2 * base::BytesPerSecond;
// The sink is topped up on every Write and PlayedBytes (the engine's 100 ms tick) and, so that
// it plays on when those stop coming, this often; well inside the two seconds it holds.
constexpr int FeedIntervalMs = 500;

} // namespace

QtOutput::QtOutput() {
    feedTimer_.setInterval(FeedIntervalMs);
    QObject::connect(&feedTimer_, &QTimer::timeout, [this] { Feed(); });
}

QtOutput::~QtOutput() {
    Close();
}

playback::OutputError QtOutput::Open() {
    Close();
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (const auto refusal = DeviceRefusal<playback::OutputError>(device)) {
        return *refusal;
    }
    sink_ = new QAudioSink(device, InternalFormat());
    sink_->setBufferSize(SinkBufferBytes);
    sink_->setVolume(1.0);
    if (!StartStream()) {
        const QAudio::Error error = sink_->error();
        Close();
        return StartFailure<playback::OutputError>(error);
    }
    // The stream was started only to learn that the server takes it. An idle sink still wakes
    // its own timer 50 times a second, so it runs only while something plays.
    StopStream();
    return playback::OutputError::Ok;
}

bool QtOutput::StartStream() {
    io_ = sink_->start();
    fed_ = 0;
    if (!io_ || sink_->error() != QAudio::NoError || sink_->state() == QAudio::StoppedState) {
        io_ = nullptr;
        return false;
    }
    return true;
}

void QtOutput::StopStream() {
    feedTimer_.stop();
    if (std::exchange(io_, nullptr)) {
        sink_->stop(); // drops what the server holds; also deletes the stream's QIODevice
    }
}

void QtOutput::Write(const uint8_t* data, uint32_t bytes) {
    if (!sink_ || count_ == int(queue_.size())) {
        return;
    }
    queue_[size_t((head_ + count_) % int(queue_.size()))] = Chunk{data, bytes};
    ++count_;
    written_ += bytes;
    if (!io_) {
        StartStream(); // a failed start leaves io_ empty; PlayedBytes then lets playback end
    }
    Feed();
}

void QtOutput::Feed() {
    while (io_ && count_ > 0) {
        const qint64 room = sink_->bytesFree() / base::FrameBytes * base::FrameBytes;
        const Chunk& c = queue_[size_t(head_)];
        const qint64 want = std::min<qint64>(room, c.bytes - headDone_);
        if (want <= 0) {
            break;
        }
        const qint64 got = io_->write(reinterpret_cast<const char*>(c.data) + headDone_, want);
        if (got <= 0) {
            break;
        }
        fed_ += uint64_t(got);
        headDone_ += uint32_t(got);
        if (headDone_ == c.bytes) {
            head_ = (head_ + 1) % int(queue_.size());
            --count_;
            headDone_ = 0;
        }
    }
    if (io_ && count_ > 0) {
        if (!feedTimer_.isActive()) {
            feedTimer_.start();
        }
    } else {
        feedTimer_.stop();
    }
}

uint64_t QtOutput::PlayedBytes() {
    if (!sink_) {
        return 0;
    }
    Feed();
    if (!io_ || sink_->state() == QAudio::StoppedState) {
        // No stream (it failed to start or the server went away): nothing will ever play, so
        // count everything as played rather than keep a playback waiting for ever.
        return written_;
    }
    // processedUSecs is whole microseconds of frames; rounding to the nearest frame gives back
    // the exact frame count the server reported.
    const int64_t usecs = sink_->processedUSecs();
    const uint64_t frames = uint64_t((usecs * base::SampleRate + 500000) / 1000000);
    return std::min(frames * base::FrameBytes, fed_);
}

void QtOutput::Reset() {
    StopStream();
    head_ = 0;
    count_ = 0;
    headDone_ = 0;
    written_ = 0;
    fed_ = 0;
}

void QtOutput::Close() {
    Reset();
    StopStream();
    // Forget the sink before deleting it: its destructor runs the event loop, and a timer that
    // fires meanwhile must find the device closed.
    delete std::exchange(sink_, nullptr);
}

uint16_t QtOutput::Volume() {
    return sink_ ? uint16_t(std::lround(std::clamp(double(sink_->volume()), 0.0, 1.0) * 65535.0))
                 : 0;
}

void QtOutput::SetVolume(uint16_t value) {
    if (sink_) {
        sink_->setVolume(double(value) / 65535.0);
    }
}

} // namespace platform
