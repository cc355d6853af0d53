// SPDX-License-Identifier: GPL-3.0-or-later
// Opening the editor window on a one-hour take: from TFormEdit's show to the first paint of its
// wave view, with the time spent opening the sound output (the libpulse output on the
// running sound server) measured inside it. Beside it, in the same process, a plain dialog of
// the same size shown to its first paint: the toolkit's own floor.
//
// Prints "name median_ms min_ms" lines; editor_open adds the first opening (the window's native
// resources made then). usage: editor_open_bench WORKDIR [runs]
#include "base/clock.h"
#include "base/event_pump.h"
#include "base/file_system.h"
#include "editor/form_edit.h"
#include "editor/wave_widget.h"
#include "operations/editor.h"
#include "platform/dialogs.h"
#include "platform/pulse_capture.h"
#include "platform/pulse_output.h"
#include "platform/shell.h"
#include "playback/playback.h"
#include "record/pipeline.h"
#include "setup/settings.h"
#include "setup/startup.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QEvent>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <vector>

namespace {

// Nothing is asked while the editor opens; a box would stop the timing, so none is shown.
class SilentDialogs final : public platform::Dialogs {
  public:
    void ShowMessage(const QString&) override {}
    void ShowError(const QString&) override {}
    bool Confirm(const QString&) override { return false; }
    QString InputBox(const QString&, const QString&, const QString& defaultText) override {
        return defaultText;
    }
};

constexpr uint32_t HourBlocks = 36000;

// Times every Open of the real output.
class TimedOutput : public platform::PulseOutput {
  public:
    playback::OutputError Open() override {
        QElapsedTimer t;
        t.start();
        const playback::OutputError code = PulseOutput::Open();
        lastOpenMs = t.nsecsElapsed() / 1e6;
        return code;
    }
    double lastOpenMs = 0;
};

// Notes the first paint of a widget.
class PaintWatch : public QObject {
  public:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && !painted) {
            painted = true;
            ms = clock.nsecsElapsed() / 1e6;
        }
        return false;
    }
    QElapsedTimer clock;
    bool painted = false;
    double ms = 0;
};

// Shows `window` and runs the event loop until `watched` has been painted; returns the time.
double ShowUntilPainted(QWidget& window, QWidget& watched) {
    PaintWatch watch;
    watched.installEventFilter(&watch);
    watch.clock.start();
    window.show();
    while (!watch.painted && watch.clock.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    watched.removeEventFilter(&watch);
    return watch.ms;
}

// A one-hour take: a sparse recording file (opening reads no sound) and peaks of a swelling tone.
void PrepareTake(record::Recorder& recorder, const std::string& path) {
    if (::truncate(path.c_str(), int64_t(HourBlocks) * base::BlockBytes) != 0) {
        std::perror("truncate");
        std::exit(1);
    }
    base::RawFile file;
    file.OpenExisting(path);
    const base::PeakTableRefs r = recorder.RecordingPeaks();
    for (uint32_t k = 1; k <= HourBlocks; ++k) {
        const int16_t peak = int16_t(2000 + (k * 37) % 28000);
        r.maxL[k] = r.maxR[k] = peak;
        r.minL[k] = r.minR[k] = int16_t(-peak);
    }
    recorder.AdoptRecording(std::move(file), HourBlocks);
}

struct Stats {
    double median, min;
};
Stats Summary(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return {v[v.size() / 2], v.front()};
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s WORKDIR [runs]\n", argv[0]);
        return 2;
    }
    const QString work = QString::fromLocal8Bit(argv[1]);
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 15;
    setup::Environment environment;
    environment.WorkFolder = work;
    environment.paths = setup::WorkPathsFor(work);
    const std::string take = environment.paths.RecordingFilePath.toStdString();
    platform::PulseCapture capture; // never opened: the editor only reads the take
    base::SystemFileSystem files;
    base::QtEventPump pump;
    base::SystemClock clock;
    record::Events silent;
    record::Recorder recorder({capture, files, pump, clock}, silent, {take, 0});
    recorder.DiscardRecording(); // the take's file, empty
    TimedOutput output;

    setup::SettingsStore settings;
    SilentDialogs dialogs;
    platform::SystemLauncher launcher;
    // Created once, as the program creates its windows.
    TFormEdit form(output, files, pump, environment, settings, dialogs, launcher, recorder);
    QDialog plain;
    plain.resize(872, 575);
    auto* child = new QWidget(&plain);
    auto* layout = new QVBoxLayout(&plain);
    layout->addWidget(child);

    std::vector<double> open, outputOpen, reference;
    for (int i = 0; i < runs; ++i) {
        PrepareTake(recorder, take);
        open.push_back(ShowUntilPainted(form, *form.Wave));
        outputOpen.push_back(output.lastOpenMs);
        if (!form.Editing() || form.Editing()->Blocks() != HourBlocks ||
            !form.Playback().OutputOpen()) {
            std::fprintf(stderr, "the editor did not open the take with sound\n");
            return 1;
        }
        form.close();
        QCoreApplication::processEvents();

        reference.push_back(ShowUntilPainted(plain, *child));
        plain.hide();
        QCoreApplication::processEvents();
    }
    const Stats o = Summary(open), p = Summary(outputOpen), r = Summary(reference);
    std::printf("editor_open %.3f %.3f %.3f\n", o.median, o.min, open.front());
    std::printf("output_open %.3f %.3f\n", p.median, p.min);
    std::printf("plain_dialog %.3f %.3f\n", r.median, r.min);
    return 0;
}
