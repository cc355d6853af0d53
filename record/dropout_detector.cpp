// SPDX-License-Identifier: GPL-3.0-or-later
#include "record/dropout_detector.h"

#include "base/blocks.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <utility>

namespace record {

void DropoutDetector::Start(std::chrono::nanoseconds now) {
    *this = DropoutDetector();
    start_ = now;
    windowStart_ = now;
    lastTickAt_ = now;
}

int64_t DropoutDetector::Expected(std::chrono::nanoseconds now) const {
    // Microseconds keep the product in range for months of recording.
    const int64_t us = std::chrono::duration_cast<std::chrono::microseconds>(now - start_).count();
    return us * base::SampleRate / 1000000;
}

std::optional<Dropout> DropoutDetector::Tick(std::chrono::nanoseconds now, uint64_t received) {
    const int64_t delay = Expected(now) - int64_t(received);
    if (haveBaseline_ && delay > baseline_ + ThresholdFrames) {
        if (!risen_) {
            risen_ = true;
            riseAt_ = now;
            riseAfterStall_ = now - lastTickAt_ > StallGap;
            receivedBeforeRise_ = lastReceived_;
        }
    } else {
        risen_ = false;
    }
    lastReceived_ = received;
    lastTickAt_ = now;
    windowMin_ = std::min(windowMin_, delay);
    if (now - windowStart_ < Window) {
        return std::nullopt;
    }
    const int64_t least = std::exchange(windowMin_, INT64_MAX);
    windowStart_ = now;
    if (!haveBaseline_ || now - start_ < Settling) {
        haveBaseline_ = true;
        baseline_ = firstBaseline_ = least;
        baselineAt_ = firstBaselineAt_ = now;
        return std::nullopt;
    }
    if (least <= baseline_ + ThresholdFrames) {
        // Nothing lost: the smallest delay follows the card's drift, and a delay that shrank
        // (a late start catching up) lowers it.
        baseline_ = least;
        baselineAt_ = now;
        pending_ = false;
        return std::nullopt;
    }
    if (!pending_ || std::abs(least - pendingMin_) > ThresholdFrames || !risen_) {
        // Risen, but still falling while a burst of held-back sound comes in.
        pending_ = true;
        pendingMin_ = least;
        return std::nullopt;
    }
    const int64_t settled = std::min(least, pendingMin_);
    Dropout dropout;
    dropout.frames = uint64_t(settled - baseline_);
    if (riseAfterStall_) {
        // The reader itself stood still: the server kept what it could hold and discarded the
        // rest until the reader came back, so the sound that follows was captured from the
        // moment of the rise. The clock's count then, less the settled delay, is where the lost
        // stretch begins; it cannot lie before what had come before, nor after what has come.
        const int64_t at = Expected(riseAt_) - settled;
        dropout.at =
            uint64_t(std::clamp<int64_t>(at, int64_t(receivedBeforeRise_), int64_t(received)));
    } else {
        // Read on time, and still short: the sound broke off after what had come before.
        dropout.at = receivedBeforeRise_;
    }
    lostFrames_ += settled - baseline_;
    baseline_ = settled;
    baselineAt_ = now;
    pending_ = false;
    risen_ = false;
    return dropout;
}

double DropoutDetector::DriftPpm() const {
    const double seconds = std::chrono::duration<double>(baselineAt_ - firstBaselineAt_).count();
    if (!haveBaseline_ || seconds <= 0) {
        return 0;
    }
    const double moved = double(baseline_ - lostFrames_ - firstBaseline_);
    return -moved / (seconds * base::SampleRate) * 1e6;
}

void WriteDropoutFile(const std::string& path, const std::vector<DropoutMark>& marks) {
    // Written whole each time: it is a few lines, and a reader never sees a half line.
    const std::string temporary = path + ".tmp";
    std::FILE* file = std::fopen(temporary.c_str(), "w");
    if (!file) {
        return; // the list is a help for the editor; the recording itself goes on
    }
    for (const DropoutMark& mark : marks) {
        std::fprintf(file, "%u %u\n", mark.block, mark.ms);
    }
    if (std::fclose(file) != 0) {
        ::unlink(temporary.c_str());
        return;
    }
    std::rename(temporary.c_str(), path.c_str());
}

std::vector<DropoutMark> ReadDropoutFile(const std::string& path) {
    std::vector<DropoutMark> marks;
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (!file) {
        return marks;
    }
    char line[128];
    while (std::fgets(line, sizeof line, file)) {
        unsigned block = 0, ms = 0;
        if (std::sscanf(line, "%u %u", &block, &ms) == 2 && block >= 1) {
            DropoutMark mark;
            mark.block = block;
            mark.ms = ms;
            mark.takeIndex = block;
            marks.push_back(mark);
        }
    }
    std::fclose(file);
    return marks;
}

} // namespace record
