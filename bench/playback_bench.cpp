// SPDX-License-Identifier: GPL-3.0-or-later
// Plays a raw recording (44100 Hz, 2 channels, 16-bit) through the playback engine and the
// libpulse output to the default sink, driven by a 100 ms timer as the editor drives it, and
// prints the processor time the process spent while playing (every thread), in nanoseconds.
// Usage: playback_bench <recording.raw>
#include "base/errors.h"
#include "base/event_pump.h"
#include "base/file_system.h"
#include "base/raw_file.h"
#include "operations/editor.h"
#include "operations/sound_source.h"
#include "platform/pulse_output.h"
#include "playback/playback.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <ctime>

namespace {

// Processor time of every thread of the process so far, in nanoseconds.
long long CpuNanoseconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return (long long)t.tv_sec * 1000000000LL + t.tv_nsec;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: playback_bench <recording.raw>\n");
        return 2;
    }
    base::RawFile recording;
    recording.OpenExisting(argv[1]);
    const uint32_t blocks = recording.Blocks();
    // Played through an editor, as the program plays; its work files in a folder of their own.
    QTemporaryDir work;
    const base::SystemFileSystem files;
    base::IdleEventPump pump;
    const operations::Editor sound(
        {recording, {nullptr, nullptr, nullptr, nullptr}, blocks, blocks, false},
        {(work.path() + "/Edit.raw").toStdString(), (work.path() + "/Clp.raw").toStdString()},
        files, pump);

    platform::PulseOutput output;
    playback::Player player(output, sound, pump);
    try {
        player.Open();
    } catch (const base::UserError& error) {
        std::fprintf(stderr, "output: %s\n", error.what());
        return 1;
    }
    const long long cpuStart = CpuNanoseconds();
    QElapsedTimer wall;
    wall.start();
    player.PlayAll(1);

    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        player.Tick();
        if (!player.Playing()) {
            app.quit();
        }
    });
    tick.start(100);
    app.exec();

    std::printf("blocks %u\nplay_wall_s %.3f\nplay_cpu_ns %lld\n", blocks,
                double(wall.elapsed()) / 1000.0, CpuNanoseconds() - cpuStart);
    player.Close();
    return 0;
}
