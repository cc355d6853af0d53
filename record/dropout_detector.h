// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Tells when the sound input lost sound: the frames a recording received are held against the
// monotonic clock. Delivery is late now and then (a busy machine, a server that hands sound over
// in bursts), and a sound card's clock runs a few hundred ppm off the system's; neither is a loss.
// What is a loss is a lasting rise of the smallest delay between the clock and the frames: the
// frames that never came. Pure arithmetic over what the caller hands in, nothing allocated.
namespace record {

struct Dropout {
    // Frames received before the lost stretch (counted from the start, inserted silence not
    // counted): where silence of `frames` frames belongs.
    uint64_t at = 0;
    uint64_t frames = 0; // frames lost, at the nominal rate
};

// Where the recording lost sound and silence of the lost length stands in for it.
struct DropoutMark {
    uint32_t block = 0;     // recording-file block (ring position) where the silence begins
    uint32_t ms = 0;        // how long the lost stretch was
    uint64_t takeIndex = 0; // that block counted from the recording's first (for the ring)
};

// The dropout file: one line per dropout, "block length-in-ms". Reading skips lines that do not
// parse; a missing file is no dropouts.
void WriteDropoutFile(const std::string& path, const std::vector<DropoutMark>& marks);
std::vector<DropoutMark> ReadDropoutFile(const std::string& path);

class DropoutDetector {
  public:
    // Shortest loss told; delivery is counted to the byte, so what stays below this is chunking.
    static constexpr int64_t ThresholdFrames = 1764; // 40 ms
    // The smallest delay is taken over windows this long: longer than a late delivery lasts,
    // short enough that a card's drift moves it far less than the threshold within one.
    static constexpr std::chrono::nanoseconds Window = std::chrono::seconds(2);
    // A stream settles at its lasting delay within its first seconds (a server may hand over
    // sound captured before the start at once, then keep more in hand): until then the smallest
    // delay follows rises too, and a loss in that time goes untold.
    static constexpr std::chrono::nanoseconds Settling = std::chrono::seconds(6);
    // Ticks further apart than this mean the reader stood still (a stopped process, a suspend).
    static constexpr std::chrono::nanoseconds StallGap = std::chrono::seconds(1);

    // A recording starts now; its first frame is being captured.
    void Start(std::chrono::nanoseconds now);
    // The recorder's tick: `received` frames have come since Start. Returns the loss found now,
    // once the delay has settled at its new level (two windows after the sound came back).
    std::optional<Dropout> Tick(std::chrono::nanoseconds now, uint64_t received);
    // The card's rate against the clock, in ppm, from how the smallest delay moved since the
    // first window (0 until two windows have passed).
    double DriftPpm() const;

  private:
    // Frames the clock says should have come by `now`, at the nominal rate.
    int64_t Expected(std::chrono::nanoseconds now) const;

    std::chrono::nanoseconds start_{0};
    std::chrono::nanoseconds windowStart_{0};
    int64_t windowMin_ = INT64_MAX; // smallest delay (frames) within the current window
    bool haveBaseline_ = false;
    int64_t baseline_ = 0; // smallest delay while nothing is lost
    std::chrono::nanoseconds baselineAt_{0};
    int64_t firstBaseline_ = 0;
    std::chrono::nanoseconds firstBaselineAt_{0};
    int64_t lostFrames_ = 0; // told so far, so the drift leaves them out
    bool pending_ = false;   // the previous window's minimum rose; waiting for it to settle
    int64_t pendingMin_ = 0;
    // The first tick of the present run of ticks whose delay stayed risen: the sound came back
    // then, so what the clock expected at that moment, less the settled delay, is where the
    // loss sits.
    bool risen_ = false;
    std::chrono::nanoseconds riseAt_{0};
    bool riseAfterStall_ = false;
    std::chrono::nanoseconds lastTickAt_{0};
    uint64_t receivedBeforeRise_ = 0;
    uint64_t lastReceived_ = 0;
};

} // namespace record
