// SPDX-License-Identifier: GPL-3.0-or-later
// Times ExportMp3 on six minutes of a test signal against the lame command line encoding the
// same raw bytes with the same settings, and prints one table of ratios.
// Usage: export_mp3_bench <scratch folder> <lame_enc.so> [runs]
// The folder must exist and hold about 70 MB; everything made there is removed at the end.

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
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <tuple>
#include <vector>

extern char** environ;

namespace {

using bench::CpuSeconds;
using bench::Median;
using bench::Seconds;

constexpr uint32_t SixMinutes = 3600; // blocks

// Processor time this process spends in `work` (user + system).
double OwnCpuSeconds(const std::function<void()>& work) {
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    work();
    getrusage(RUSAGE_SELF, &after);
    return CpuSeconds(after) - CpuSeconds(before);
}

void Check(bool ok, const std::string& what) {
    if (!ok) {
        std::fprintf(stderr, "export_mp3_bench: %s\n", what.c_str());
        std::exit(1);
    }
}

// Tones that glide and swell over a bed of noise, different on each channel, so that the
// encoder meets changing spectra rather than one steady sine.
void MakeSignal(base::RawFile& file, const std::string& path) {
    file.Create(path);
    std::vector<int16_t> block(2 * base::BlockFrames);
    uint32_t seed = 2463534242u;
    double phaseL = 0, phaseR = 0;
    for (uint32_t k = 1; k <= SixMinutes; ++k) {
        for (int j = 0; j < base::BlockFrames; ++j) {
            const double t = ((k - 1) * base::BlockFrames + j) / double(base::SampleRate);
            phaseL += 2 * M_PI * (300 + 200 * std::sin(0.05 * t)) / base::SampleRate;
            phaseR += 2 * M_PI * (2000 + 1500 * std::sin(0.031 * t)) / base::SampleRate;
            seed ^= seed << 13, seed ^= seed >> 17, seed ^= seed << 5;
            const double noise = int(seed % 4001) - 2000;
            const double swell = 0.6 + 0.4 * std::sin(0.7 * t);
            block[2 * j] = int16_t(12000 * swell * std::sin(phaseL) + noise);
            block[2 * j + 1] =
                int16_t(9000 * std::sin(phaseR) + 4000 * std::sin(3 * phaseL) + noise);
        }
        file.WriteBlock(k, block.data());
    }
}

std::vector<unsigned char> Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Bytes of the MPEG-1 Layer III frame whose header starts `data`; 0 when it is none.
size_t FrameLength(const std::vector<unsigned char>& data) {
    static const int kbps[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    static const int rates[] = {44100, 48000, 32000, 0};
    if (data.size() < 4 || data[0] != 0xFF || (data[1] & 0xFE) != 0xFA) {
        return 0;
    }
    const int rate = rates[(data[2] >> 2) & 3], rateKbps = kbps[(data[2] >> 4) % 15];
    return rate ? size_t(144000 * rateKbps / rate + ((data[2] >> 1) & 1)) : 0;
}

// Whether the two files carry the same audio frames: everything after the first (tag) frame.
const char* SameAudio(const std::string& ours, const std::string& lame) {
    const std::vector<unsigned char> a = Bytes(ours), b = Bytes(lame);
    const size_t skipA = FrameLength(a), skipB = FrameLength(b);
    if (!skipA || !skipB) {
        return "no frame";
    }
    return std::equal(a.begin() + long(skipA), a.end(), b.begin() + long(skipB), b.end()) ? "yes"
                                                                                          : "no";
}

struct Case {
    const char* name;
    setup::Settings settings;
    std::vector<std::string> lameOptions;
    double target; // largest ratio allowed; 0: only reported
    std::vector<double> ours, lame, oursCpu, lameCpu;
    const char* sameAudio = "";
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <scratch folder> <lame_enc.so> [runs]\n", argv[0]);
        return 2;
    }
    QCoreApplication app(argc, argv);
    const std::string dir = argv[1];
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    const exporting::PathEncoderLoader encoders(QString::fromLocal8Bit(argv[2]));
    // The program lets pending messages run before every chunk; so does the timed export.
    base::QtEventPump pump;
    const base::SystemFileSystem files;

    const std::string raw = dir + "/Velmar.raw", ours = dir + "/ours.mp3",
                      reference = dir + "/lame.mp3";
    base::RawFile recording;
    MakeSignal(recording, raw);
    // Exported through an editor, as the program exports.
    const operations::Editor sound(
        {recording, {nullptr, nullptr, nullptr, nullptr}, SixMinutes, SixMinutes, false},
        {dir + "/Edit.raw", dir + "/Clp.raw"}, files, pump);
    exporting::Exporter exporter(sound, encoders, files, pump);

    // The exporter's record: stereo, no bit reservoir, quality 2, copyright, original and
    // private bits clear; lame's own defaults differ in the last three, so they are named.
    const std::vector<std::string> common = {
        "-r", "-s", "44.1",    "--signed", "--little-endian", "-m",      "s",
        "-q", "2",  "--nores", "-o",       "--noreplaygain",  "--silent"};
    setup::Settings cbr;
    cbr.BitRate = 128;
    setup::Settings vbr = cbr;
    vbr.VBR = true;
    vbr.VBRQuality = 2;
    std::vector<Case> cases = {
        {"MP3 128 kbps CBR", cbr, {"-b", "128"}, 1.02, {}, {}, {}, {}},
        {"MP3 VBR quality 2 (32-320)",
         vbr,
         {"-V", "2", "-b", "32", "-B", "320"},
         0,
         {},
         {},
         {},
         {}},
    };
    for (Case& c : cases) {
        std::vector<std::string> args = {"lame"};
        args.insert(args.end(), common.begin(), common.end());
        args.insert(args.end(), c.lameOptions.begin(), c.lameOptions.end());
        args.insert(args.end(), {raw, reference});
        for (int r = 0; r < runs; ++r) {
            std::remove(ours.c_str());
            exporting::Outcome result = exporting::Outcome::Cancelled;
            std::string error = "cancelled";
            double cpu = 0;
            c.ours.push_back(Seconds([&] {
                cpu = OwnCpuSeconds([&] {
                    try {
                        result = exporter.ExportMp3(QString::fromStdString(ours), c.settings, 1,
                                                    SixMinutes);
                    } catch (const base::UserError& e) {
                        error = e.what();
                    }
                });
            }));
            c.oursCpu.push_back(cpu);
            Check(result == exporting::Outcome::Done, error);
            std::remove(reference.c_str());
            c.lame.push_back(Seconds([&] { cpu = bench::RunQuiet(args); }));
            c.lameCpu.push_back(cpu);
        }
        c.sameAudio = SameAudio(ours, reference);
        std::remove(ours.c_str());
        std::remove(reference.c_str());
    }
    recording.Release();
    std::remove(raw.c_str());

    std::printf("ExportMp3 of %u blocks (6 min of gliding tones over noise, %.1f MB) against\n"
                "lame on the same raw file, same settings; median of %d alternating runs\n"
                "(Ratio, judged) and fastest run against fastest run (Fastest).\n"
                "Elapsed time as a user waits; processor time (user + system) does not count\n"
                "waiting for a core, so it holds when other work shares the machine.\n\n",
                SixMinutes, SixMinutes * double(base::BlockBytes) / 1e6, runs);
    std::printf("%-38s %9s %9s %6s %8s %-8s %-6s %s\n", "Measure", "Ours", "lame", "Ratio",
                "Fastest", "Target", "Result", "Same audio frames");
    for (const Case& c : cases) {
        for (const auto& [kind, ours, lame] :
             {std::tuple{"elapsed", &c.ours, &c.lame}, std::tuple{"CPU", &c.oursCpu, &c.lameCpu}}) {
            const double ratio = Median(*ours) / Median(*lame);
            char target[16] = "-";
            const char* verdict = "-";
            if (c.target > 0) {
                std::snprintf(target, sizeof target, "<= %.2f", c.target);
                verdict = ratio <= c.target ? "PASS" : "MISS";
            }
            const std::string name = std::string(c.name) + ", " + kind;
            const double fastest = *std::min_element(ours->begin(), ours->end()) /
                                   *std::min_element(lame->begin(), lame->end());
            std::printf("%-38s %7.3f s %7.3f s %6.3f %8.3f %-8s %-6s %s\n", name.c_str(),
                        Median(*ours), Median(*lame), ratio, fastest, target, verdict, c.sameAudio);
        }
    }
    std::printf("\nlame: lame ");
    for (const std::string& a : common) {
        std::printf("%s ", a.c_str());
    }
    std::printf("{-b 128 | -V 2 -b 32 -B 320} in out\n");
    return 0;
}
