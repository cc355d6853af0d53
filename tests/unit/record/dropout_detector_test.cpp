// SPDX-License-Identifier: GPL-3.0-or-later
// The dropout detector against a simulated sound card and server: the card runs off the clock by
// some ppm, the server holds what the reader has not taken (up to 24 s, then discards), and the
// reader comes every 100 ms unless it stalls. Only sound that never arrives is a dropout.
#include "record/dropout_detector.h"

#include "base/blocks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <ostream>
#include <vector>

namespace {

using namespace std::chrono_literals;
using record::Dropout;
using record::DropoutDetector;

struct Scenario {
    const char* name;
    double ppm;
    std::chrono::seconds length;
    std::chrono::seconds eventAt{0};
    // At eventAt: the card loses this much sound outright, ...
    std::chrono::milliseconds gap{0};
    // ... or the reader stalls this long, ...
    std::chrono::seconds stall{0};
    // ... or, every 10 s from eventAt on, a delivery comes this late and the next catches up.
    std::chrono::milliseconds lateBy{0};
    int dropouts = 0;
    std::chrono::milliseconds lost{0}; // expected length of the one dropout
    // From eventAt on, the server keeps this much more sound in hand before it delivers (a
    // stream whose latency settles after its start): later, but nothing lost.
    std::chrono::milliseconds holdsMore{0};
};

void PrintTo(const Scenario& s, std::ostream* os) {
    *os << s.name;
}

constexpr int64_t QueueFrames = 24 * base::SampleRate; // what the server holds for a reader
constexpr int64_t TickFrames = base::SampleRate / 10;

struct Outcome {
    std::vector<Dropout> found;
    std::vector<int64_t> trueAt; // where the simulated losses sit in the delivered stream
    double drift = 0;
};

Outcome Simulate(const Scenario& s) {
    Outcome out;
    DropoutDetector detector;
    std::chrono::nanoseconds now = 5s; // the clock's origin means nothing
    detector.Start(now);
    int64_t captured = 0, delivered = 0, lost = 0;
    const double rate = base::SampleRate * (1 + s.ppm * 1e-6);
    const auto step = 100ms;
    const int64_t ticks = std::chrono::duration_cast<std::chrono::milliseconds>(s.length) / step;
    const int64_t eventTick =
        std::chrono::duration_cast<std::chrono::milliseconds>(s.eventAt) / step;
    const int64_t stallTicks =
        std::chrono::duration_cast<std::chrono::milliseconds>(s.stall) / step;
    bool discarding = false;
    for (int64_t k = 1; k <= ticks; ++k) {
        now += step;
        const int64_t card = int64_t(std::floor(double(k) * 0.1 * rate));
        int64_t fresh = card - captured;
        captured = card;
        if (k == eventTick && s.gap > 0ms) {
            const int64_t gone = s.gap.count() * base::SampleRate / 1000;
            out.trueAt.push_back(delivered + (captured - fresh - delivered - lost));
            lost += gone;
            fresh -= gone;
        }
        // The server's queue: what was captured and neither delivered nor discarded.
        int64_t queued = captured - delivered - lost;
        if (queued > QueueFrames) {
            if (!discarding) {
                out.trueAt.push_back(delivered + QueueFrames);
                discarding = true;
            }
            lost += queued - QueueFrames;
            queued = QueueFrames;
        }
        const bool stalled = stallTicks > 0 && k >= eventTick && k < eventTick + stallTicks;
        if (stalled) {
            continue;
        }
        discarding = false;
        const int64_t held =
            k >= eventTick ? s.holdsMore.count() * base::SampleRate / 1000 : int64_t(0);
        int64_t take = std::clamp<int64_t>(queued - held, 0, 40 * TickFrames); // 40 slots a tick
        if (s.lateBy > 0ms && k >= eventTick && (k - eventTick) % 100 < s.lateBy / step) {
            take = 0;
        }
        delivered += take;
        if (auto dropout = detector.Tick(now, uint64_t(delivered))) {
            out.found.push_back(*dropout);
        }
    }
    out.drift = detector.DriftPpm();
    return out;
}

class DropoutDetection : public ::testing::TestWithParam<Scenario> {};

TEST_P(DropoutDetection, FindsOnlySoundThatNeverCame) {
    const Scenario& s = GetParam();
    const Outcome out = Simulate(s);
    ASSERT_EQ(int(out.found.size()), s.dropouts);
    if (s.dropouts == 1) {
        const double ms = double(out.found[0].frames) * 1000 / base::SampleRate;
        EXPECT_NEAR(ms, double(s.lost.count()), 10);
        ASSERT_EQ(out.trueAt.size(), 1u);
        EXPECT_NEAR(double(out.found[0].at), double(out.trueAt[0]), base::BlockFrames)
            << "the silence belongs where the delivered sound broke off";
    }
    if (s.dropouts == 0 && s.ppm != 0) {
        EXPECT_NEAR(out.drift, s.ppm, 20) << "the card's drift is followed";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cards, DropoutDetection,
    ::testing::Values(
        Scenario{"TwoHoursFast", 300, 7200s}, Scenario{"TwoHoursSlow", -300, 7200s},
        Scenario{"LateDeliveries", 0, 600s, 60s, 0ms, 0s, 400ms},
        Scenario{"StallShorterThanTheQueue", 0, 300s, 60s, 0ms, 20s},
        Scenario{"LatencySettlesAfterTheStart", 0, 120s, 2s, 0ms, 0s, 0ms, 0, 0ms, 60ms},
        Scenario{"GapAt37Minutes", 300, 2400s, 2220s, 80ms, 0s, 0ms, 1, 80ms},
        // 30 s without a read between two reads 100 ms apart: 30.1 s queued, 24 s kept.
        Scenario{"StallLongerThanTheQueue", -300, 300s, 60s, 0ms, 30s, 0ms, 1, 6100ms}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
