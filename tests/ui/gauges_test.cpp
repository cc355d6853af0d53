// SPDX-License-Identifier: GPL-3.0-or-later
#include "gauges/gauges.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <ostream>

namespace {

using gauges::BackBrush;
using gauges::BackPen;

std::string Rgb(QRgb c) {
    return "(" + std::to_string(qRed(c)) + "," + std::to_string(qGreen(c)) + "," +
           std::to_string(qBlue(c)) + ")";
}
std::string Rgb(const QColor& c) {
    return Rgb(c.rgb());
}

#define EXPECT_PIXEL(image, x, y, colour)                                                          \
    EXPECT_EQ(Rgb((image).pixel((x), (y))), Rgb(colour)) << "at (" << (x) << ", " << (y) << ")"

// The main window's client area: 464 wide, time bar at 228, chart at 134, 75 high.
gauges::State LaidOut() {
    gauges::State state;
    gauges::LayoutGauges(state, 464, 228, 134, 75);
    return state;
}

QColor Shade(int x) {
    return QColor(x - 170, 255 - (x - 300) / 2, 0);
}

TEST(GaugeLayout, FixedGeometryScalesAndBitmapSizes) {
    gauges::State s = LaidOut();
    EXPECT_EQ(s.geometry.level.right, 442);
    EXPECT_EQ(s.LevelBitmap.size(), QSize(425, 16));
    EXPECT_EQ(s.DcBitmap.size(), QSize(95, 16));
    EXPECT_EQ(s.TimePicture.size(), QSize(425, 17));
    EXPECT_EQ(s.ChartColumns, 425);
    EXPECT_EQ(s.geometry.chartLeft, 18);
    EXPECT_EQ(s.geometry.chartWidth, 425);
    EXPECT_FLOAT_EQ(s.PixelsPerSecond, 0.0f);
    EXPECT_FLOAT_EQ(gauges::PixelsPerSecondFor(s.geometry, 3), 422.0f / 180.0f);
}

TEST(LevelGauge, FullScaleLeftBlockDraws422PixelsShadingToOrange) {
    gauges::State s = LaidOut();
    gauges::LevelReading reading;
    reading.maxL = 32767;
    gauges::DrawLevelGauge(s.LevelBitmap, s.LevelScale, reading);
    const QImage& img = s.LevelBitmap;
    for (int y = 1; y <= 6; ++y) {
        for (int x = 1; x <= 422; ++x) {
            QColor expected = (x % 3 == 0 && x <= 417) ? BackBrush
                              : x < 300                ? gauges::LevelGreen
                                                       : Shade(x);
            EXPECT_PIXEL(img, x, y, expected);
        }
        EXPECT_PIXEL(img, 423, y, BackBrush); // the bar ends at 422
        EXPECT_PIXEL(img, 424, y, BackPen);
    }
    EXPECT_PIXEL(img, 422, 3, QColor(252, 194, 0));
    EXPECT_PIXEL(img, 301, 3, QColor(131, 255, 0));
    EXPECT_EQ(Shade(300), QColor(130, 255, 0));
    // The band ends at row 6, and the right channel shows nothing.
    EXPECT_PIXEL(img, 100, 7, BackBrush);
    EXPECT_PIXEL(img, 100, 0, BackPen);
    EXPECT_PIXEL(img, 1, 9, BackBrush);
    EXPECT_PIXEL(img, 100, 12, BackBrush);
}

TEST(LevelGauge, BarLengthSubtractsTheRoundedMean) {
    gauges::State s = LaidOut();
    gauges::LevelReading reading;
    reading.maxL = 10000;
    reading.meanL = 2000.4; // 8000 units: round(103.03) = 103, the bar covers 1..102
    reading.maxR = 10000;
    reading.meanR = -1999.6; // 12000 units: round(154.54) = 155, covers 1..154
    gauges::DrawLevelGauge(s.LevelBitmap, s.LevelScale, reading);
    EXPECT_PIXEL(s.LevelBitmap, 101, 4, gauges::LevelGreen);
    EXPECT_PIXEL(s.LevelBitmap, 103, 4, BackBrush);
    EXPECT_PIXEL(s.LevelBitmap, 104, 4, BackBrush);
    EXPECT_PIXEL(s.LevelBitmap, 154, 12, gauges::LevelGreen);
    EXPECT_PIXEL(s.LevelBitmap, 155, 12, BackBrush);
}

TEST(LevelGauge, ClipMarksDarkenAsTheHoldRunsOutAndOnlyTheLeftIsCrossedByTheGrid) {
    struct Case {
        int holdL, holdR;
    };
    for (Case c : {Case{30, 1}, Case{1, 30}, Case{0, 15}, Case{15, 0}}) {
        gauges::State s = LaidOut();
        gauges::LevelReading reading;
        reading.clipHoldL = c.holdL;
        reading.clipHoldR = c.holdR;
        gauges::DrawLevelGauge(s.LevelBitmap, s.LevelScale, reading);
        for (int x = 420; x <= 424; ++x) {
            EXPECT_PIXEL(s.LevelBitmap, x, 1,
                         c.holdL > 0 ? QColor(2 * c.holdL + 195, 0, 0)
                                     : (x == 424 ? BackPen : BackBrush));
            EXPECT_PIXEL(s.LevelBitmap, x, 14,
                         c.holdR > 0 ? QColor(2 * c.holdR + 195, 0, 0)
                                     : (x == 424 ? BackPen : BackBrush));
        }
        EXPECT_PIXEL(s.LevelBitmap, 419, 3, BackBrush);
        EXPECT_PIXEL(s.LevelBitmap, 424, 7, BackPen);
    }
}

TEST(LevelGauge, GridEveryThirdColumnUpTo417) {
    gauges::State s = LaidOut();
    gauges::LevelReading reading;
    reading.maxL = 32767;
    reading.maxR = 32767;
    gauges::DrawLevelGauge(s.LevelBitmap, s.LevelScale, reading);
    for (int k = 1; k <= 139; ++k) {
        for (int y = 0; y < 16; ++y) {
            EXPECT_PIXEL(s.LevelBitmap, 3 * k, y, BackBrush);
        }
    }
    EXPECT_PIXEL(s.LevelBitmap, 420, 3, Shade(420));
    EXPECT_PIXEL(s.LevelBitmap, 420, 12, Shade(420));
}

TEST(DcGauge, MeanOfMinus500Draws14PixelsWhateverTheSign) {
    for (double value : {-500.0, 500.0}) {
        gauges::State s = LaidOut();
        gauges::DrawDcGauge(s.DcBitmap, s.DcScale, value, 0);
        for (int x = 0; x <= 13; ++x) {
            EXPECT_PIXEL(s.DcBitmap, x, 3, x % 3 == 0 && x > 0 ? BackBrush : gauges::DcOrange);
        }
        EXPECT_PIXEL(s.DcBitmap, 14, 3, BackBrush);
        EXPECT_PIXEL(s.DcBitmap, 0, 12, BackPen); // right bar empty: the outline shows
        EXPECT_PIXEL(s.DcBitmap, 1, 12, BackBrush);
    }
}

TEST(DcGauge, BarStopsAtTheBitmapWidth) {
    gauges::State s = LaidOut();
    gauges::DrawDcGauge(s.DcBitmap, s.DcScale, 0, 30000);
    EXPECT_PIXEL(s.DcBitmap, 94, 12, gauges::DcOrange);
    EXPECT_PIXEL(s.DcBitmap, 93, 12, BackBrush); // grid line 31
    EXPECT_PIXEL(s.DcBitmap, 94, 3, BackPen);
}

struct TimeBarCase {
    uint32_t newestBlock;
    bool wrapped;
    int halvesPerLoop;
    int minutes;
};

std::ostream& operator<<(std::ostream& os, const TimeBarCase& c) {
    return os << "block " << c.newestBlock << (c.wrapped ? " wrapped" : "") << ", "
              << c.halvesPerLoop << " halves, " << c.minutes << " min";
}

class TimeBar : public ::testing::TestWithParam<TimeBarCase> {};

TEST_P(TimeBar, NeverPaintsAMultipleOfThreeAndFillsUpToTheNewestBlock) {
    const TimeBarCase c = GetParam();
    gauges::State s = LaidOut();
    const float pps = gauges::PixelsPerSecondFor(s.geometry, c.minutes);
    gauges::DrawTimeBar(s.TimePicture, c.newestBlock, c.wrapped, c.halvesPerLoop, pps);
    // Then every block after the newest, one mark at a time, as the recording tick does.
    for (uint32_t b = c.newestBlock + 1; b <= c.newestBlock + 50; ++b) {
        gauges::DrawTimeMark(s.TimePicture, b, pps);
    }
    const int last = gauges::Round((c.newestBlock + 50) * static_cast<double>(pps) / 10);
    const QImage& img = s.TimePicture;
    for (int x = 1; x < img.width() - 1; ++x) {
        QColor expected = x % 3 == 0  ? BackBrush
                          : x <= last ? gauges::PassGreen
                          : c.wrapped ? gauges::LoopGreen
                                      : BackBrush;
        for (int y = 1; y <= 15; ++y) {
            ASSERT_EQ(Rgb(img.pixel(x, y)), Rgb(expected)) << "column " << x << " row " << y;
        }
        EXPECT_EQ(Rgb(img.pixel(x, 16)), Rgb(BackPen));
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, TimeBar,
                         ::testing::Values(TimeBarCase{0, false, 0, 3}, TimeBarCase{1, false, 0, 3},
                                           TimeBarCase{600, false, 0, 3},
                                           TimeBarCase{1799, false, 0, 3},
                                           TimeBarCase{600, true, 90, 3},
                                           TimeBarCase{1, true, 150, 5},
                                           TimeBarCase{17000, false, 0, 600}));

TEST(TimeBar, EmptyUntilTheFirstBlock) {
    gauges::State s = LaidOut();
    gauges::DrawTimeBar(s.TimePicture, 0, true, 90, gauges::PixelsPerSecondFor(s.geometry, 3));
    EXPECT_PIXEL(s.TimePicture, 1, 5, BackBrush);
    EXPECT_PIXEL(s.TimePicture, 200, 5, BackBrush);
}

TEST(TimeGauge, LabelsAndTitlesOfTheScales) {
    gauges::State s = LaidOut();
    auto texts = [&](int minutes) {
        std::vector<std::string> out;
        for (const gauges::TimeLabel& l : gauges::TimeGaugeLabels(s.geometry, minutes)) {
            out.push_back(l.text.toStdString() + "@" + std::to_string(l.x));
        }
        return out;
    };
    EXPECT_EQ(texts(5), (std::vector<std::string>{"0min@11", "1min@96", "2min@181", "3min@265",
                                                  "4min@350", "5@435"}));
    EXPECT_EQ(texts(240),
              (std::vector<std::string>{"0 hr@12", "1 hr@118", "2 hr@224", "3 hr@330", "4@436"}));
    EXPECT_EQ(texts(120).back(), "120@436");
    EXPECT_EQ(texts(60)[1], "10min@80");
    EXPECT_TRUE(texts(7).empty());
    EXPECT_EQ(gauges::TimeGaugeTitle(240, "Continuous"), "Time Recorded, hour");
    EXPECT_EQ(gauges::TimeGaugeTitle(600, "Continuous"), "Time Recorded, hour");
    EXPECT_EQ(gauges::TimeGaugeTitle(5, "Loop 5 min"), "Recording Mode - Loop 5 min");
    EXPECT_EQ(gauges::TimeGaugeTitle(120, "Continuous"), "Recording Mode - Continuous");
}

TEST(TimeGauge, TickPositionsRoundHalvesToEven) {
    gauges::State s = LaidOut();
    // 424 * 3 / 48 = 26.5 and 424 * 9 / 48 = 79.5
    EXPECT_EQ(gauges::TimeTickX(s.geometry, 3, 48), 18 + 26);
    EXPECT_EQ(gauges::TimeTickX(s.geometry, 9, 48), 18 + 80);
    EXPECT_EQ(gauges::TimeTickX(s.geometry, 48, 48), 442);

    QImage window(464, 323, QImage::Format_RGB32);
    window.fill(QColor(224, 224, 224));
    QPainter p(&window);
    float pps = gauges::DrawTimeGauge(p, s.geometry, 240, "Continuous");
    p.end();
    EXPECT_FLOAT_EQ(pps, 422.0f / 14400.0f);
    // Minor tick at x = 44 over the frame's second bottom ring (y = 245, grey 160).
    EXPECT_PIXEL(window, 44, 245, gauges::TextColour);
    EXPECT_PIXEL(window, 45, 245, QColor(160, 160, 160));
    EXPECT_PIXEL(window, 44, 247, QColor(170, 170, 170)); // minor ticks are 3 pixels long
    EXPECT_PIXEL(window, 124, 250, gauges::TextColour);   // major tick 1 of 4: 7 pixels
    // Frame rings: top ring 14 and the further bottom lines of rings 15..18.
    EXPECT_PIXEL(window, 100, 228 - 14, QColor(234, 234, 234));
    EXPECT_PIXEL(window, 18 - 15 + 3, 244 + 14, QColor(225, 225, 225));
    EXPECT_PIXEL(window, 18 - 15 + 2, 244 + 14, QColor(224, 224, 224));
}

// Frames, captions and scales painted for part of the window (a repaint of a label or a gauge)
// come out there exactly as the whole window's paint has them: text left out lies wholly
// outside the part.
TEST(GaugeFrames, APartialPaintMatchesTheWholePaintWithinIt) {
    gauges::State s = LaidOut();
    const auto paint = [&](const QRegion& dirty) {
        QImage window(464, 323, QImage::Format_RGB32);
        window.fill(QColor(224, 224, 224));
        QPainter p(&window);
        p.setClipRegion(dirty.isEmpty() ? QRegion(window.rect()) : dirty);
        gauges::DrawGaugeFrames(p, s.geometry, dirty);
        gauges::DrawTimeGauge(p, s.geometry, 10, "Loop", dirty);
        return window;
    };
    const QImage whole = paint({});
    const QRegion parts[] = {
        QRect(150, 10, 40, 8),                         // inside the level caption
        QRect(40, 46, 30, 14),                         // level scale labels
        QRect(250, 95, 100, 12),                       // DC scale labels
        QRegion(QRect(100, 250, 3, 12)) + QRect(400, 210, 20, 20), // time labels and title, apart
        QRect(0, 0, 464, 323),                         // all of it
    };
    for (const QRegion& dirty : parts) {
        const QImage part = paint(dirty);
        for (const QRect& r : dirty) {
            for (int y = r.top(); y <= r.bottom(); ++y) {
                for (int x = r.left(); x <= r.right(); ++x) {
                    ASSERT_EQ(part.pixel(x, y), whole.pixel(x, y))
                        << "at " << x << "," << y << " of a paint of " << dirty.boundingRect().x()
                        << "," << dirty.boundingRect().y();
                }
            }
        }
    }
}

TEST(GaugeFrames, RingsAndScaleTicks) {
    gauges::State s = LaidOut();
    QImage window(464, 323, QImage::Format_RGB32);
    window.fill(QColor(224, 224, 224));
    QPainter p(&window);
    gauges::DrawGaugeFrames(p, s.geometry);
    p.end();
    EXPECT_PIXEL(window, 17, 29, QColor(156, 156, 156));
    EXPECT_PIXEL(window, 4, 16, QColor(234, 234, 234));
    EXPECT_PIXEL(window, 456, 16 + 31, QColor(234, 234, 234)); // right side of ring 14
    // Level ticks: black, three pixels from the gauge's bottom.
    for (int x : {18, 60, 102, 442}) {
        EXPECT_PIXEL(window, x, 46, QColor(Qt::black));
    }
    EXPECT_PIXEL(window, 250 + 18, 96, QColor(Qt::black)); // DC tick 1
    // The chart's sides run from its top to its bottom - 3 only.
    EXPECT_PIXEL(window, 17, 134, QColor(156, 156, 156));
    EXPECT_PIXEL(window, 17, 206, QColor(156, 156, 156));
    EXPECT_PIXEL(window, 17, 207, QColor(224, 224, 224));
    // The captions lie on the rings, never darker than 156; the text is darker (antialiased,
    // so not everywhere exactly the text colour).
    auto hasText = [&](QRect box) {
        for (int y = box.top(); y <= box.bottom(); ++y)
            for (int x = box.left(); x <= box.right(); ++x)
                if (qGray(window.pixel(x, y)) < 100)
                    return true;
        return false;
    };
    EXPECT_FALSE(hasText(QRect(100, 17, 70, 12)));
    EXPECT_TRUE(hasText(QRect(178, 17, 100, 12))); // "Input Signal Level, %"
    EXPECT_TRUE(hasText(QRect(270, 67, 60, 12)));  // "DC Offset, %"
}

TEST(Chart, HistoryShiftsRightWithTheNewestAtOne) {
    gauges::State s = LaidOut();
    gauges::PushChartPoint(s, 32767, 0, 0, 0);
    gauges::PushChartPoint(s, 16384, 0.0, 32767, 32767);
    gauges::PushChartPoint(s, 1000, 563.0, -5, -5);
    EXPECT_EQ(s.ChartHistoryL[1], gauges::Round(437 * 75 / 32767.0));
    EXPECT_EQ(s.ChartHistoryL[2], 38);
    EXPECT_EQ(s.ChartHistoryL[3], 75);
    EXPECT_EQ(s.ChartHistoryR[2], 0);
    EXPECT_EQ(s.ChartHistoryL[4], 0);
    for (int i = 0; i < 500; ++i) {
        gauges::PushChartPoint(s, 32767, 0, 0, 0);
    }
    EXPECT_EQ(s.ChartHistoryL[425], 75);
    EXPECT_EQ(s.ChartHistoryL[426], 0); // beyond the chart's columns nothing moves
    gauges::ClearChartHistory(s);
    EXPECT_EQ(s.ChartHistoryL[1], 0);
    EXPECT_EQ(s.ChartHistoryL[425], 0);
}

TEST(Chart, PaintsTheNewestPointAtTheLeft) {
    gauges::State s = LaidOut();
    gauges::PushChartPoint(s, 32767, 0, 16384, 0);
    QImage chart(425, 75, QImage::Format_RGB32);
    chart.fill(Qt::white);
    QPainter p(&chart);
    gauges::PaintChart(p, 425, 75, s, QColor(0, 0, 150), QColor(180, 0, 0));
    p.end();
    EXPECT_PIXEL(chart, 1, 0, QColor(0, 0, 150));    // y = 75 is the top row
    EXPECT_PIXEL(chart, 1, 36, QColor(180, 0, 0));   // y = 38
    EXPECT_PIXEL(chart, 300, 74, QColor(180, 0, 0)); // older columns at 0, right drawn last
    EXPECT_PIXEL(chart, 0, 74, QColor(Qt::white));
}

TEST(LevelIcons, FillGrowsWithTheIndexAndTheLastIsTheApplicationIcon) {
    int previous = -1;
    for (int i = 0; i <= 16; ++i) {
        QImage icon = gauges::LevelIconImage(i);
        ASSERT_EQ(icon.size(), QSize(16, 16));
        int lit = 0;
        for (int y = 0; y < 16; ++y) {
            if (icon.pixelColor(8, y) != BackBrush && qAlpha(icon.pixel(8, y)) == 255 &&
                icon.pixelColor(8, y) != QColor(64, 64, 64)) {
                ++lit;
            }
        }
        EXPECT_GE(lit, previous) << "icon " << i;
        previous = lit;
    }
    EXPECT_EQ(previous, 14);
    EXPECT_NE(gauges::LevelIconImage(17), gauges::LevelIconImage(16));
}

} // namespace
