// SPDX-License-Identifier: GPL-3.0-or-later
// Times the WAV exporter on a one-hour sound (36000 blocks) against sox converting the same raw
// bytes, in the same process, and prints ours, sox's and the ratio per format.
// Usage: export_wav_bench <scratch folder> [runs]. The folder must hold about 2 GB; everything
// made there is removed at the end.

#include "base/blocks.h"
#include "base/errors.h"
#include "base/event_pump.h"
#include "base/file_system.h"
#include "base/raw_file.h"
#include "bench/bench_tools.h"
#include "export/encoder_library.h"
#include "export/exporter.h"
#include "operations/editor.h"
#include "operations/sound_source.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using bench::Median;
using bench::Seconds;

using Clock = std::chrono::steady_clock;
constexpr uint32_t HourBlocks = 36000;

// Forces a file's data to disk, as our export's commit does before its rename.
void SyncFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Reads a file once so that ours and sox both start from a warm page cache.
void WarmUp(const std::string& path) {
    static std::vector<char> buffer(1 << 20);
    const int fd = ::open(path.c_str(), O_RDONLY);
    while (fd >= 0 && ::read(fd, buffer.data(), buffer.size()) > 0) {
    }
    if (fd >= 0) {
        ::close(fd);
    }
}

// True when `path` holds exactly the bytes of `raw` from byte `offset` on, and nothing after.
bool HoldsFrom(const std::string& path, long offset, const std::string& raw) {
    FILE* a = std::fopen(path.c_str(), "rb");
    FILE* b = std::fopen(raw.c_str(), "rb");
    bool same = a && b && std::fseek(a, offset, SEEK_SET) == 0;
    std::vector<char> x(1 << 20), y(1 << 20);
    while (same) {
        const size_t n = std::fread(x.data(), 1, x.size(), a);
        const size_t m = std::fread(y.data(), 1, y.size(), b);
        same = n == m && std::memcmp(x.data(), y.data(), n) == 0;
        if (n == 0 || n < x.size()) {
            break;
        }
    }
    if (a) {
        std::fclose(a);
    }
    if (b) {
        std::fclose(b);
    }
    return same;
}

// A stereo sweep-like signal, so that no conversion sees only zeros.
void WriteHour(base::RawFile& file) {
    std::vector<int16_t> run(size_t(60) * base::BlockFrames * 2);
    uint64_t n = 0;
    for (uint32_t b = 1; b <= HourBlocks; b += 60) {
        for (size_t i = 0; i < run.size(); i += 2, ++n) {
            run[i] = int16_t(12000 * std::sin(double(n) * 0.031));
            run[i + 1] = int16_t((n * 37) & 0x7FFF) - 16384;
        }
        file.WriteBlocks(b, run.data(), 60);
    }
}

struct Case {
    const char* name;
    int rate, channels, bits;
    const char* note;
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <scratch folder> [runs]\n", argv[0]);
        return 2;
    }
    QCoreApplication app(argc, argv);
    const std::string dir = argv[1];
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const std::string raw = dir + "/hour.raw";
    const std::string ours = dir + "/ours.wav";
    const std::string theirs = dir + "/sox.wav";

    base::RawFile recording;
    recording.Create(raw);
    WriteHour(recording);
    // Nothing to let run: the bench has no windows.
    base::IdleEventPump pump;
    const base::SystemFileSystem files;
    const exporting::SystemEncoderLoader encoders;
    // Exported through an editor, as the program exports.
    const operations::Editor sound(
        {recording, {nullptr, nullptr, nullptr, nullptr}, HourBlocks, HourBlocks, false},
        {dir + "/Edit.raw", dir + "/Clp.raw"}, files, pump);
    exporting::Exporter exporter(sound, encoders, files, pump);

    const Case cases[] = {
        {"44100 Hz 16 bit stereo", 44100, 2, 16, "same bytes, kernel copy"},
        {"22050 Hz 8 bit mono", 22050, 1, 8, "ours decimates, sox filters"},
    };
    std::printf("WAV export of one hour (36000 blocks), median of %d runs\n", runs);
    // Ours ends with the file on disk (fsync before the rename); sox leaves it in the page
    // cache, so sox is also timed with an fsync of its file.
    // The target: the stereo 16-bit export, which holds the blocks' own bytes, in at most half
    // the time of sox and a sync.
    std::printf("%-24s %8s %8s %8s %7s %7s  %s\n", "format", "ours s", "sox s", "sox+sync", "ratio",
                "ratio2", "note");
    bool exact = true;
    for (const Case& c : cases) {
        setup::Settings settings;
        settings.Wav = true;
        settings.SamplePerSecond = c.rate;
        settings.Channels = int16_t(c.channels);
        settings.BitPerSample = int16_t(c.bits);
        const std::vector<std::string> sox = {"sox",    "-t",
                                              "raw",    "-r",
                                              "44100",  "-e",
                                              "signed", "-b",
                                              "16",     "-c",
                                              "2",      raw,
                                              "-r",     std::to_string(c.rate),
                                              "-c",     std::to_string(c.channels),
                                              "-b",     std::to_string(c.bits),
                                              theirs};
        std::vector<double> oursTimes, soxTimes, soxSyncTimes;
        for (int i = 0; i < runs; ++i) {
            WarmUp(raw);
            ::sync();
            oursTimes.push_back(Seconds([&] {
                try {
                    if (exporter.ExportWav(QString::fromStdString(ours), settings, 1, HourBlocks) !=
                        exporting::Outcome::Done) {
                        std::fprintf(stderr, "export cancelled\n");
                        std::exit(2);
                    }
                } catch (const base::UserError& e) {
                    std::fprintf(stderr, "export failed: %s\n", e.what());
                    std::exit(2);
                }
            }));
            if (c.rate == 44100 && c.channels == 2 && c.bits == 16 && !HoldsFrom(ours, 44, raw)) {
                std::fprintf(stderr, "BYTES DIFFER: the %s export is not the recording's bytes\n",
                             c.name);
                exact = false;
            }
            std::remove(ours.c_str());
            WarmUp(raw);
            ::sync();
            soxTimes.push_back(Seconds([&] { bench::RunQuiet(sox); }));
            std::remove(theirs.c_str());
            WarmUp(raw);
            ::sync();
            soxSyncTimes.push_back(Seconds([&] {
                bench::RunQuiet(sox);
                SyncFile(theirs);
            }));
            std::remove(theirs.c_str());
        }
        const double o = Median(oursTimes), s = Median(soxTimes), ss = Median(soxSyncTimes);
        std::printf("%-24s %8.3f %8.3f %8.3f %7.2f %7.2f  %s\n", c.name, o, s, ss, o / s, o / ss,
                    c.note);
        if (c.rate == 44100 && c.channels == 2 && c.bits == 16) {
            std::printf("%-24s target ratio2 <= 0.50: %s\n", "", o / ss <= 0.5 ? "ok" : "OVER");
        }
    }
    recording.Release();
    std::remove(raw.c_str());
    if (!exact) {
        return 1;
    }
    std::printf("every stereo 16-bit export held the recording's bytes exactly\n");
    return 0;
}
