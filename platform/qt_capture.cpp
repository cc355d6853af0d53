// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt_capture.h"

#include "platform/qt_audio_format.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSource>
#include <QIODevice>
#include <QMediaDevices>

#include <algorithm>
#include <utility>

namespace platform {

QtCapture::QtCapture() : dropBuffer_(base::BlockBytes) {}

QtCapture::~QtCapture() {
    Close();
}

int QtCapture::DeviceCount() {
    return int(QMediaDevices::audioInputs().size());
}

QString QtCapture::FirstDeviceName() {
    const QAudioDevice device = QMediaDevices::defaultAudioInput();
    return device.isNull() ? QString() : device.description();
}

record::CaptureError QtCapture::Open() {
    Close();
    const QAudioDevice device = QMediaDevices::defaultAudioInput();
    if (const auto refusal = DeviceRefusal<record::CaptureError>(device)) {
        return *refusal;
    }
    source_ = new QAudioSource(device, InternalFormat());
    // One block of buffering: data comes about ten times a second, as the pipeline polls.
    source_->setBufferSize(base::BlockBytes);
    failed_ = false;
    io_ = source_->start();
    const QAudio::Error error = source_->error();
    if (!io_ || error != QAudio::NoError || source_->state() == QAudio::StoppedState) {
        Close();
        return StartFailure<record::CaptureError>(error);
    }
    QObject::connect(io_, &QIODevice::readyRead, source_, [this] { Collect(); });
    stateWatch_ = QObject::connect(source_, &QAudioSource::stateChanged, source_,
                                   [this](QAudio::State state) { SourceStateChanged(state); });
    return record::CaptureError::Ok;
}

void QtCapture::SourceStateChanged(QAudio::State state) {
    if (state == QAudio::StoppedState) {
        // Only Close stops the source on purpose, and it disconnects first; Qt has already taken
        // the stream down (and may have deleted its device), so whatever it held is gone.
        failed_ = true;
        io_ = nullptr;
    }
}

void QtCapture::AddBuffer(record::SlotHeader* header) {
    queue_.Push(header);
}

void QtCapture::Start() {
    running_ = io_ != nullptr;
}

void QtCapture::Collect() {
    if (StreamError() != record::CaptureError::Ok) {
        return; // a failed stream is never read: Qt may have deleted it already
    }
    for (;;) {
        const record::HeaderQueue::Space space = queue_.FrontSpace();
        if (!running_) {
            Drop();
            return;
        }
        if (!space.at) {
            // Every slot is full: what the stream holds waits there for the slots to be queued
            // again. Dropping it here would lose the sound a stalled reader gets back in a burst.
            return;
        }
        const qint64 got =
            space.bytes > 0 ? io_->read(reinterpret_cast<char*>(space.at), space.bytes) : 0;
        if (queue_.Filled(uint32_t(std::max<qint64>(got, 0)))) {
            continue; // on to the next buffer
        }
        if (got <= 0) {
            return;
        }
    }
}

void QtCapture::Drop() {
    while (io_ &&
           io_->read(reinterpret_cast<char*>(dropBuffer_.data()), qint64(dropBuffer_.size())) > 0) {
    }
}

void QtCapture::Reset() {
    running_ = false;
    queue_.Clear();
}

void QtCapture::Close() {
    Reset();
    // Forget the stream before taking it down: stopping and deleting a QAudioSource can run the
    // event loop, and a timer that fires meanwhile must find the device closed.
    QAudioSource* source = std::exchange(source_, nullptr);
    QIODevice* io = io_.data();
    io_ = nullptr;
    failed_ = false;
    if (source) {
        QObject::disconnect(stateWatch_);
        if (io) {
            QObject::disconnect(io, nullptr, source, nullptr);
        }
        source->stop();
        delete source; // also deletes the stream's QIODevice
    }
}

record::CaptureError QtCapture::StreamError() {
    if (!source_) {
        return record::CaptureError::Ok;
    }
    const QAudio::Error error = source_->error();
    if (failed_ || !io_ || error == QAudio::OpenError || error == QAudio::IOError ||
        error == QAudio::FatalError || source_->state() == QAudio::StoppedState) {
        return record::CaptureError::StreamLost;
    }
    return record::CaptureError::Ok;
}

} // namespace platform
