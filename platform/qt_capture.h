// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "record/capture_device.h"

#include <QAudio>

#include <array>
#include <cstdint>
#include <vector>

class QAudioSource;
class QIODevice;

namespace platform {

// The capture device over Qt Multimedia. Device 0 is the system's default input
// (QMediaDevices::defaultAudioInput); the stream runs in push mode, and whatever it delivers
// through the event loop is copied into the oldest queued buffer, then the next, never
// reordered. With no buffer queued the bytes are dropped, as a driver does. No thread of our
// own: everything happens on the GUI thread inside readyRead and the pipeline's Collect().
// Devices are what QMediaDevices::audioInputs() lists; Qt leaves out PulseAudio "monitor"
// sources, so a system whose only sources are monitors has no input here.
class QtCapture : public record::CaptureDevice {
  public:
    QtCapture();
    ~QtCapture() override;

    int DeviceCount() override;
    QString FirstDeviceName() override;
    int Open() override;
    void AddBuffer(record::SlotHeader* header) override;
    void Start() override;
    void Reset() override;
    void Close() override;
    void Collect() override;
    int StreamError() override;

  private:
    void Drop();

    QAudioSource* source_ = nullptr;
    QIODevice* io_ = nullptr;
    bool running_ = false;
    // Queued headers, oldest first: a fixed ring, nothing allocated while capturing.
    std::array<record::SlotHeader*, record::SlotCount> queue_{};
    int head_ = 0;
    int count_ = 0;
    std::vector<uint8_t> dropBuffer_; // sink for bytes that arrive with nothing queued
};

// Error code for a QAudio error met while opening.
int CaptureErrorFor(QAudio::Error error);

} // namespace platform
