// SPDX-License-Identifier: GPL-3.0-or-later
#include "gauges/gauge_widgets.h"
#include "gauges/gauges.h"
#include "support/paint_log.h"

#include <QApplication>
#include <QScreen>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

// One step of a chart's life in the main window.
struct Step {
    enum Kind {
        Tick,    // push `n` points, then the window shows the history
        Burst,   // as Tick, but the next step comes before anything is painted
        Push,    // push `n` points only: the window's tick has not come yet
        Expose,  // the window system asks for columns x .. x + n - 1 to be painted again
        Clear,   // the history is emptied and the chart shown empty
        Emptied, // the history is emptied while the chart stays shown
        Resize,  // the view becomes `n` columns wide
    } kind;
    int n = 0;
    int x = 0;
};

std::vector<Step> Ticks(int points, int count) {
    return std::vector<Step>(count, Step{Step::Tick, points});
}

std::vector<Step> operator+(std::vector<Step> a, const std::vector<Step>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct ChartCase {
    const char* name;
    std::vector<Step> steps;
};

std::ostream& operator<<(std::ostream& os, const ChartCase& c) {
    return os << c.name;
}

// The history of a view 60 columns wide and 40 high.
constexpr int Width = 60;
constexpr int Height = 40;

// Levels with steep jumps, flat runs, creeping runs of one-pixel steps (where the rasteriser's
// handling of one line meeting the next matters most), and values far past the chart's top and
// bottom.
class Levels {
  public:
    explicit Levels(unsigned seed) : random_(seed) {}
    void PushInto(gauges::State& state) {
        if (run_ == 0) {
            run_ = Pick(1, 8);
            mode_ = Pick(0, 5);
            left_ = Pick(-3, Height + 3);
            right_ = Pick(-3, Height + 3);
        }
        --run_;
        switch (mode_) {
        case 0: // past the top, around a mean at the bottom
            return gauges::PushChartPoint(state, 32767, -32768, 32767, -30000);
        case 1: // past the bottom
            return gauges::PushChartPoint(state, -32768, 32767, -30000, 32000);
        case 2: // flat
            break;
        case 3: // creeping
            left_ += Pick(-1, 1);
            right_ += Pick(-1, 1);
            break;
        default: // jumping
            left_ = Pick(-3, Height + 3);
            right_ = Pick(-3, Height + 3);
        }
        // A mean off zero, as the input's DC offset makes it.
        const int mean = Pick(-300, 300);
        gauges::PushChartPoint(state, Sample(left_, mean), mean, Sample(right_, mean), mean);
    }

  private:
    int Pick(int low, int high) { return std::uniform_int_distribution(low, high)(random_); }
    // The block maximum that comes out at `level` pixels over the mean.
    static int16_t Sample(int level, int mean) {
        return static_cast<int16_t>(std::clamp(mean + level * 32767 / Height, -32768, 32767));
    }
    std::mt19937 random_;
    int run_ = 0;
    int mode_ = 0;
    int left_ = 0;
    int right_ = 0;
};

// How many pixels on screen differ from a whole fresh paint, and the first of them.
std::string Difference(const QImage& screen, const QImage& fresh) {
    int count = 0;
    std::ostringstream first;
    for (int y = 0; y < fresh.height(); ++y) {
        for (int x = 0; x < fresh.width(); ++x) {
            if (screen.pixel(x, y) != fresh.pixel(x, y) && count++ == 0) {
                first << " first at (" << x << ", " << y << "): screen " << std::hex
                      << screen.pixel(x, y) << ", fresh " << fresh.pixel(x, y);
            }
        }
    }
    return count == 0 ? "" : std::to_string(count) + " pixels differ," + first.str();
}

class ChartViewScreen : public ::testing::TestWithParam<ChartCase> {};

// Whatever the chart goes through, the pixels left on screen by its scrolls and partial repaints
// are those of a whole fresh paint; a tick of a few points repaints only a few columns.
TEST_P(ChartViewScreen, MatchesAWholePaintAfterEveryStep) {
    gauges::State state;
    gauges::LayoutGauges(state, Width + 39, 228, 134, Height); // chart Width columns wide
    ASSERT_EQ(state.ChartColumns, Width);
    QWidget window;
    window.resize(Width + 20, Height + 10);
    auto* view = new gauges::ChartView(state, &window);
    view->setGeometry(8, 5, Width, Height);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    testsupport::PaintLog log(&window);
    // The backing store's own pixels: the offscreen platform grabs a window from them.
    QScreen* screen = window.windowHandle()->screen();
    ASSERT_NE(screen, nullptr);

    Levels levels(7);
    view->ShowHistory(state.ChartColumns);
    log.Settle();
    const std::vector<Step>& steps = GetParam().steps;
    bool unshown = false; // points pushed that the window has not asked to show yet
    for (size_t k = 0; k < steps.size(); ++k) {
        const Step& step = steps[k];
        SCOPED_TRACE("step " + std::to_string(k));
        switch (step.kind) {
        case Step::Tick:
        case Step::Burst:
        case Step::Push:
            for (int i = 0; i < step.n; ++i) {
                levels.PushInto(state);
            }
            unshown = step.kind == Step::Push;
            if (!unshown) {
                view->ShowHistory(state.ChartColumns);
            }
            break;
        case Step::Expose:
            view->update(QRect(step.x, 0, step.n, view->height()));
            break;
        case Step::Clear:
            gauges::ClearChartHistory(state);
            view->ShowHistory(0);
            unshown = false;
            break;
        case Step::Emptied:
            gauges::ClearChartHistory(state);
            unshown = true;
            break;
        case Step::Resize:
            window.resize(step.n + 20, Height + 10);
            view->resize(step.n, Height);
            break;
        }
        if (step.kind == Step::Burst) {
            continue;
        }
        const bool narrowTick = step.kind == Step::Tick && k > 0 &&
                                steps[k - 1].kind == Step::Tick && 4 * (step.n + 3) < view->width();
        log.paints.clear();
        QApplication::processEvents();
        QRegion painted;
        for (const auto& [widget, region] : log.paints) {
            if (widget == view) {
                painted += region;
            }
        }
        if (narrowTick) {
            // The new points and the last column: no more than two narrow strips.
            int columns = 0;
            for (const QRect& r : painted) {
                columns += r.width();
            }
            EXPECT_LE(columns, 2 * (step.n + 3)) << "columns repainted for " << step.n;
        }
        if (unshown) {
            continue; // the screen rightly shows the history of the last tick, not today's
        }
        const QRect where(view->mapTo(&window, QPoint(0, 0)), view->size());
        const QImage onScreen = screen->grabWindow(window.winId())
                                    .toImage()
                                    .copy(where)
                                    .convertToFormat(QImage::Format_RGB32);
        const QImage fresh = view->grab().toImage().convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(onScreen.size(), fresh.size());
        ASSERT_EQ(Difference(onScreen, fresh), "");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Steps, ChartViewScreen,
    ::testing::Values(
        // Past the width, so points pile up in the last column.
        ChartCase{"OneAtATime", Ticks(1, 20 * Width)},
        ChartCase{"TwoAtATime", Ticks(2, 10 * Width)},
        ChartCase{"ThreeAtATime", Ticks(3, 7 * Width)},
        ChartCase{"SeveralAtATime", Ticks(1, 3) +
                                        std::vector<Step>{{Step::Tick, 5},
                                                          {Step::Tick, 9},
                                                          {Step::Tick, 2},
                                                          {Step::Tick, 17},
                                                          {Step::Tick, Width - 1},
                                                          {Step::Tick, 4},
                                                          {Step::Tick, Width},
                                                          {Step::Tick, 1},
                                                          {Step::Tick, Width + 7},
                                                          {Step::Tick, 0}} +
                                        Ticks(3, 5)},
        ChartCase{"ClearedAndFilledAgain",
                  Ticks(2, 40) + std::vector<Step>{{Step::Clear}} + Ticks(1, 12) +
                      std::vector<Step>{{Step::Clear}, {Step::Clear}} + Ticks(3, 4) +
                      std::vector<Step>{{Step::Emptied}} + Ticks(1, 5)},
        // Wider than the history: the lines end short of the last column.
        ChartCase{"Widened", Ticks(1, 20) + std::vector<Step>{{Step::Resize, Width + 25}} +
                                 Ticks(1, 30) + Ticks(3, 10) + Ticks(1, 30)},
        // Narrower than the history: a third of the points share the last column.
        ChartCase{"Narrowed", Ticks(2, 35) + std::vector<Step>{{Step::Resize, Width - 20}} +
                                  Ticks(1, 10) + Ticks(2, 10)},
        ChartCase{"TicksBeforeAPaint", Ticks(1, 5) +
                                           std::vector<Step>{{Step::Burst, 2},
                                                             {Step::Burst, 3},
                                                             {Step::Tick, 1},
                                                             {Step::Burst, 1},
                                                             {Step::Expose, 6, 30},
                                                             {Step::Burst, 4},
                                                             {Step::Tick, 2}} +
                                           Ticks(1, 5)},
        // The window system repaints part of the chart after a block came but before the tick
        // that shows it.
        ChartCase{"ExposedBeforeTheTick", Ticks(2, Width / 2) +
                                              std::vector<Step>{{Step::Push, 2},
                                                                {Step::Expose, 10, 20},
                                                                {Step::Tick, 1},
                                                                {Step::Push, 3},
                                                                {Step::Expose, 1, Width - 1},
                                                                {Step::Tick, 0}} +
                                              Ticks(1, 5)},
        // Strips of every width at every place, painted from the current history.
        ChartCase{"ExposedStrips", Ticks(3, 25) +
                                       std::vector<Step>{{Step::Expose, 1, 0},
                                                         {Step::Expose, 1, 1},
                                                         {Step::Expose, 1, 2},
                                                         {Step::Expose, 2, 17},
                                                         {Step::Expose, 3, 30},
                                                         {Step::Expose, 1, Width - 2},
                                                         {Step::Expose, 1, Width - 1},
                                                         {Step::Expose, 2, Width - 2},
                                                         {Step::Expose, 5, Width - 5},
                                                         {Step::Expose, 20, 20}} +
                                       Ticks(1, 3)}),
    [](const ::testing::TestParamInfo<ChartCase>& info) { return std::string(info.param.name); });

} // namespace
