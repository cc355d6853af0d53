// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "record/capture_device.h"

#include <QAudio>
#include <QIODevice>
#include <QPointer>

#include <array>
#include <cstdint>
#include <vector>

class QAudioSource;

namespace platform {

// The capture device over Qt Multimedia. Device 0 is the system's default input
// (QMediaDevices::defaultAudioInput); the stream runs in push mode, and whatever it delivers
// through the event loop is copied into the oldest queued buffer, then the next, never
// reordered. While capturing with every buffer full the bytes wait in the stream (the server
// holds them) until buffers are queued again; before Start they are dropped. No thread of our
// own: everything happens on the GUI thread inside readyRead and the pipeline's Collect().
// Devices are what QMediaDevices::audioInputs() lists; Qt leaves out PulseAudio "monitor"
// sources, so a system whose only sources are monitors has no input here.
//
// When the sound server goes away Qt stops the source and deletes the stream's QIODevice on its
// own; from then on the stream is failed: nothing reads it again, and StreamError reports it so
// that the device watch closes the device.
class QtCapture : public record::CaptureDevice {
  public:
    QtCapture();
    ~QtCapture() override;

    int DeviceCount() override;
    QString FirstDeviceName() override;
    record::CaptureError Open() override;
    void AddBuffer(record::SlotHeader* header) override;
    void Start() override;
    void Reset() override;
    void Close() override;
    void Collect() override;
    record::CaptureError StreamError() override;

  private:
    void Drop();
    // The source stopped without being asked to (server or stream error): forget the stream.
    void SourceStateChanged(QAudio::State state);

    QAudioSource* source_ = nullptr;
    // Guarded: Qt deletes the stream's device itself when the server connection fails.
    QPointer<QIODevice> io_;
    bool failed_ = false; // the open stream stopped for good; never read again
    QMetaObject::Connection stateWatch_;
    bool running_ = false;
    // Queued headers, oldest first: a fixed ring, nothing allocated while capturing.
    record::HeaderQueue queue_;
    std::vector<uint8_t> dropBuffer_; // sink for bytes that arrive with nothing queued
};

} // namespace platform
