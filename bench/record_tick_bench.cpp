// SPDX-License-Identifier: GPL-3.0-or-later
// Cost of one recording tick: one block corrected, measured, averaged, plus its share of the
// two-second half written to the recording file. Usage: record_tick_bench <scratch dir> [blocks]
// Prints microseconds per block for the tick with and without DC correction and for a plain
// copy of the same bytes; the run script adds sox on the same block count as the reference.
#include "base/clock.h"
#include "base/event_pump.h"
#include "base/file_system.h"
#include "record/pipeline.h"
#include "tests/support/recorder_probe.h"

#include <QString>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Fills the queued slots from a prepared signal, in queue order, as a driver would.
class BenchCapture : public record::CaptureDevice {
  public:
    explicit BenchCapture(const std::vector<uint8_t>& signal) : signal_(signal) {}
    int DeviceCount() override { return 1; }
    QString FirstDeviceName() override { return QStringLiteral("Bench Input"); }
    record::CaptureError Open() override {
        count_ = 0;
        head_ = 0;
        return record::CaptureError::Ok;
    }
    void AddBuffer(record::SlotHeader* h) override {
        queue_[(head_ + count_++) % base::SlotCount] = h;
    }
    void Start() override {}
    void Reset() override { count_ = 0; }
    void Close() override { count_ = 0; }

    void DeliverBlock() {
        if (count_ == 0) {
            return;
        }
        record::SlotHeader* h = queue_[head_];
        std::memcpy(h->data, signal_.data() + offset_, base::BlockBytes);
        h->bytesRecorded = base::BlockBytes;
        head_ = (head_ + 1) % base::SlotCount;
        --count_;
        offset_ = (offset_ + base::BlockBytes) % signal_.size();
    }

  private:
    const std::vector<uint8_t>& signal_;
    record::SlotHeader* queue_[base::SlotCount] = {};
    int head_ = 0;
    int count_ = 0;
    size_t offset_ = 0;
};

double Seconds(std::chrono::steady_clock::time_point from) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

// Microseconds per block of a recording of `blocks` blocks.
double TimeRecording(const record::RecorderPorts& ports, BenchCapture& device,
                     const std::string& path, int blocks, int dcOffset) {
    record::Events silent;
    record::Recorder recorder(ports, silent, {path, 0});
    recorder.OpenDevice();
    record::State& state = record::RecorderProbe::Of(recorder);
    state.DcOffsetL = dcOffset;
    state.DcOffsetR = -dcOffset;
    recorder.StartRecording();
    const auto start = std::chrono::steady_clock::now();
    for (int b = 0; b < blocks; ++b) {
        device.DeliverBlock();
        recorder.RecordTimerTick();
    }
    const double seconds = Seconds(start);
    recorder.StopRecording();
    recorder.CloseDevice();
    if (recorder.TakeBlocks() != uint32_t(blocks)) {
        std::fprintf(stderr, "recorded %u blocks of %d\n", recorder.TakeBlocks(), blocks);
        std::exit(1);
    }
    recorder.ReleaseTake();
    return seconds * 1e6 / blocks;
}

// Plenty of room: the benchmark measures the tick, not the disk-space stop.
struct RoomyFileSystem : base::SystemFileSystem {
    int64_t FreeBytes(const std::string&) const override { return int64_t(1) << 40; }
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: record_tick_bench <scratch dir> [blocks]\n");
        return 2;
    }
    const std::string dir = argv[1];
    const int blocks = argc > 2 ? std::atoi(argv[2]) : 6000;
    // Ten seconds of a stereo signal with a little of everything: tone, offset, full scale.
    std::vector<uint8_t> signal(size_t(100) * base::BlockBytes);
    for (size_t f = 0; f < signal.size() / 4; ++f) {
        int16_t s[2] = {int16_t((f * 37) % 65536 - 32768), int16_t(500 + (f * 11) % 20000)};
        std::memcpy(signal.data() + 4 * f, s, 4);
    }
    BenchCapture device(signal);
    RoomyFileSystem files;
    base::IdleEventPump pump;
    base::SystemClock clock;
    const record::RecorderPorts ports{device, files, pump, clock};

    const std::string path = dir + "/Velmar.raw";
    TimeRecording(ports, device, path, 200, 0); // warm the page cache and the code
    const double plain = TimeRecording(ports, device, path, blocks, 0);
    const double corrected = TimeRecording(ports, device, path, blocks, 500);

    std::vector<uint8_t> target(size_t(base::SlotCount) * base::BlockBytes);
    const auto start = std::chrono::steady_clock::now();
    size_t offset = 0;
    for (int b = 0; b < blocks; ++b) {
        std::memcpy(target.data() + size_t(b % base::SlotCount) * base::BlockBytes,
                    signal.data() + offset, base::BlockBytes);
        offset = (offset + base::BlockBytes) % signal.size();
    }
    const double copy = Seconds(start) * 1e6 / blocks;
    volatile uint8_t sink = target[size_t(blocks % 7)];
    (void)sink;

    std::printf("tick_us_dc_off %.2f\ntick_us_dc_on %.2f\nmemcpy_us %.3f\nblocks %d\n", plain,
                corrected, copy, blocks);
    return 0;
}
