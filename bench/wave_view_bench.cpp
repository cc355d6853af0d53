// SPDX-License-Identifier: GPL-3.0-or-later
// Times a full redraw of the editor's waveform view (wave area with its ruler, overview bar and
// its ruler, markers, the copy onto the form) at 1920 x 1080 for a ten-hour sound laid out as a
// 100-segment edit list, at zoom levels 1 and 10, beside one QImage::fill of the same area in
// the same process. Prints "name median_ms min_ms" lines. Usage: wave_view_bench [runs]

#include "base/blocks.h"
#include "base/event_pump.h"
#include "base/file_system.h"
#include "editor/view_state.h"
#include "editor/wave_drawing.h"
#include "operations/editor.h"
#include "tests/support/editor_probe.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

namespace {

constexpr int Width = 1920;
constexpr int Height = 1080;
constexpr uint32_t Blocks = 360000; // ten hours
constexpr int Segments = 100;

std::vector<int16_t> maxL, minL, maxR, minR;

// An editor over the take's peak tables (its file is never read), its work files in `folder`.
// Segments alternate between the recording file and the edit file and take their recording
// blocks in reverse order, so that every column's lookup walks a real list.
std::unique_ptr<operations::Editor> BuildSound(const base::RawFile& take, const QString& folder,
                                               const base::FileSystem& files,
                                               base::EventPump& pump) {
    for (auto* table : {&maxL, &minL, &maxR, &minR}) {
        table->assign(size_t(base::PeakArrayLength) + 1, 0);
    }
    auto editor = std::make_unique<operations::Editor>(
        operations::TakeView{
            take, {maxL.data(), minL.data(), maxR.data(), minR.data()}, Blocks, Blocks, false},
        operations::WorkPaths{(folder + "/Edit.raw").toStdString(),
                              (folder + "/Clp.raw").toStdString()},
        files, pump);
    operations::State& s = operations::EditorProbe::Of(*editor);
    for (auto* table : {&s.EditPeakMaxL, &s.EditPeakMinL, &s.EditPeakMaxR, &s.EditPeakMinR}) {
        table->assign(size_t(Blocks) + 1, 0);
    }
    for (uint32_t b = 1; b <= Blocks; ++b) {
        const int16_t level = int16_t(1000 + (b * 37) % 30000);
        maxL[b] = level, minL[b] = int16_t(-level), maxR[b] = int16_t(level / 2);
        minR[b] = int16_t(-level / 3);
        s.EditPeakMaxL[b] = int16_t(level / 4), s.EditPeakMinL[b] = int16_t(-level / 4);
        s.EditPeakMaxR[b] = int16_t(level / 5), s.EditPeakMinR[b] = int16_t(-level / 5);
    }
    operations::Level& level = s.Levels[0];
    const uint32_t length = Blocks / Segments;
    for (int i = 0; i < Segments; ++i) {
        level.Segments[i] = {uint32_t(i) * length + 1, length,
                             uint32_t(Segments - 1 - i) * length + 1, uint8_t(i % 2 == 0)};
    }
    level.SegmentCount = Segments;
    level.FileBlocks = s.FileBlocks = Blocks;
    return editor;
}

struct Timing {
    double median;
    double min;
};

Timing Time(int runs, const std::function<void()>& work) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        const auto end = std::chrono::steady_clock::now();
        ms.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms.front()};
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;

    QTemporaryDir folder;
    const base::RawFile take;
    const base::SystemFileSystem files;
    base::IdleEventPump pump;
    const std::unique_ptr<operations::Editor> sound = BuildSound(take, folder.path(), files, pump);
    editor::ViewState v;
    QImage form(Width, Height, QImage::Format_RGB32);
    auto redraw = [&] {
        const editor::SoundShown shown{*sound, sound->CurrentSelection()};
        editor::DrawWave(v, shown);
        QPainter painter(&form);
        editor::PaintForm(painter, v, shown, QRegion(form.rect()));
    };

    std::printf("%-28s %10s %10s\n", "measure", "median_ms", "min_ms");
    for (int zoom : {1, 10}) {
        v.ZoomLevel = zoom;
        editor::LayoutView(v, Width, 0, Height, Blocks);
        // Scrolled into the middle at zoom 1; the whole sound fits from block 0 at zoom 10.
        v.ScrollBlock = zoom == 1 ? Blocks / 2 : 0;
        const uint32_t selStart = v.ScrollBlock + editor::ZoomFactor(v) * 300;
        sound->Select({selStart, v.ScrollBlock + editor::ZoomFactor(v) * 600, selStart});
        redraw(); // warm-up: fonts and glyph caches
        const Timing t = Time(runs, redraw);
        std::printf("redraw_zoom%-17d %10.3f %10.3f\n", zoom, t.median, t.min);
    }
    QImage plain(Width, Height, QImage::Format_RGB32);
    const Timing fill = Time(runs, [&] { plain.fill(QColor(224, 224, 224)); });
    std::printf("%-28s %10.3f %10.3f\n", "qimage_fill", fill.median, fill.min);
    return 0;
}
