// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "playback/output_device.h"

#include <QTimer>

#include <array>
#include <cstdint>

class QAudioSink;
class QIODevice;

namespace platform {

// The output device over Qt Multimedia: the system's default output
// (QMediaDevices::defaultAudioOutput) through a QAudioSink in push mode. Written buffers wait in
// a small queue and are copied into the sink as it has room, from every call and a timer, all on
// the GUI thread. The stream runs from the first Write after Open or Reset until the next Reset.
// What has been played comes from the sink's processedUSecs (the server's read position less its
// latency), never more than was handed over. Reset takes the stream down at once, dropping what the
// server still holds; the next Write starts a new one, so the count of played bytes starts again
// from 0.
//
// Volume is the sink's linear volume scaled to 0..65535; a new stream plays at 65535, where the
// sink passes the bytes to the server unchanged. Changes made to the stream's volume outside the
// program (a mixer) are not seen: the sink keeps its own volume and reports that.
class QtOutput : public playback::OutputDevice {
  public:
    QtOutput();
    ~QtOutput() override;

    playback::OutputError Open() override;
    void Write(const uint8_t* data, uint32_t bytes) override;
    uint64_t PlayedBytes() override;
    void Reset() override;
    void Close() override;
    uint16_t Volume() override;
    void SetVolume(uint16_t value) override;

  private:
    struct Chunk {
        const uint8_t* data = nullptr;
        uint32_t bytes = 0;
    };

    bool StartStream();
    void StopStream();
    // Copies queued bytes into the sink while it has room; runs the feed timer while bytes wait.
    void Feed();

    QAudioSink* sink_ = nullptr;
    QIODevice* io_ = nullptr; // the running stream; nullptr between Reset and the next Write
    QTimer feedTimer_;
    // Chunks written and not yet wholly handed to the sink, oldest first. The engine has at most
    // its two halves out at a time; the ring is fixed so nothing is allocated while playing.
    std::array<Chunk, 8> queue_{};
    int head_ = 0;
    int count_ = 0;
    uint32_t headDone_ = 0; // bytes of the oldest chunk already handed over
    uint64_t written_ = 0;  // bytes written since the last Reset
    uint64_t fed_ = 0;      // bytes handed to the running stream
};

} // namespace platform
