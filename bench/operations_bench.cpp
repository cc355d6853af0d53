// SPDX-License-Identifier: GPL-3.0-or-later
// Times the editing engine on a one-hour sound against cp and sox run on the same bytes in the
// same process, and prints one table of ratios. Usage: operations_bench <scratch folder> [runs]
// The folder must exist and hold about 2.6 GB; everything made there is removed at the end.

#include "base/blocks.h"
#include "base/event_pump.h"
#include "base/file_system.h"
#include "base/raw_file.h"
#include "bench/bench_tools.h"
#include "operations/editor.h"

#include <QCoreApplication>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <new>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

// Every allocation of the process goes through here, so an operation's allocations can be
// counted as the difference of the counter around it.
namespace {

using bench::Median;
using bench::Seconds;
std::atomic<uint64_t> allocationCount{0};
} // namespace

void* operator new(std::size_t bytes) {
    allocationCount.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(bytes ? bytes : 1)) {
        return p;
    }
    throw std::bad_alloc();
}
void* operator new[](std::size_t bytes) {
    return operator new(bytes);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t HourBlocks = 36000;

struct Paths {
    std::string recording, edit, clip, out;
};

// Flushes what earlier runs left dirty so that every timed run starts from the same writeback
// state; the timings themselves contain no sync, for ours and the tools alike.
void Settle() {
    ::sync();
}

// Reads a file once so that ours and the tool both start from a warm page cache.
void WarmUp(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    static std::vector<char> buffer(1 << 20);
    while (fd >= 0 && ::read(fd, buffer.data(), buffer.size()) > 0) {
    }
    if (fd >= 0) {
        ::close(fd);
    }
}

// The recording: white noise within +-16000 on both channels (vol 2 does not clip), so every block
// differs, the effects cannot short-cut, and Normalize has a real factor. Peaks go to the tables as
// the recorder would store them.
struct Recording {
    base::RawFile file;
    std::vector<int16_t> maxL, minL, maxR, minR;

    void Make(const std::string& path, uint32_t blocks) {
        for (auto* t : {&maxL, &minL, &maxR, &minR}) {
            t->assign(base::PeakArrayLength + 1, 0);
        }
        file.Create(path);
        std::vector<int16_t> half(size_t(base::HalfBlocks) * base::BlockFrames * 2);
        uint32_t seed = 2463534242u;
        for (uint32_t first = 1; first <= blocks; first += base::HalfBlocks) {
            const uint32_t count = std::min<uint32_t>(base::HalfBlocks, blocks - first + 1);
            for (uint32_t b = 0; b < count; ++b) {
                int16_t* s = half.data() + size_t(b) * base::BlockFrames * 2;
                int16_t hiL = -32768, loL = 32767, hiR = -32768, loR = 32767;
                for (int j = 0; j < base::BlockFrames * 2; ++j) {
                    seed ^= seed << 13;
                    seed ^= seed >> 17;
                    seed ^= seed << 5;
                    s[j] = int16_t(int(seed % 32001) - 16000);
                }
                for (int j = 0; j < base::BlockFrames; ++j) {
                    hiL = std::max(hiL, s[2 * j]);
                    loL = std::min(loL, s[2 * j]);
                    hiR = std::max(hiR, s[2 * j + 1]);
                    loR = std::min(loR, s[2 * j + 1]);
                }
                maxL[first + b] = hiL;
                minL[first + b] = loL;
                maxR[first + b] = hiR;
                minR[first + b] = loR;
            }
            file.WriteBlocks(first, half.data(), count);
        }
    }
    base::PeakTableRefs Peaks() { return {maxL.data(), minL.data(), maxR.data(), minR.data()}; }
};

// The pump the editor lets pending messages run through: the hook when one is set.
struct BenchPump final : base::EventPump {
    void ProcessMessages() override {
        if (hook) {
            hook();
        }
    }
    std::function<void()> hook;
};

// A new editor at level 0 over the recording, with empty edit and clip files; with `keepClip`
// its clip is then filled by an untimed Copy of the whole sound, as the Paste runs need it.
std::unique_ptr<operations::Editor> ResetSession(std::unique_ptr<operations::Editor> editor,
                                                 Recording& rec, const Paths& paths, bool keepClip,
                                                 const base::FileSystem& files,
                                                 base::EventPump& pump) {
    editor.reset(); // its work files go first
    editor = std::make_unique<operations::Editor>(
        operations::TakeView{rec.file, rec.Peaks(), rec.file.Blocks(), rec.file.Blocks(), false},
        operations::WorkPaths{paths.edit, paths.clip}, files, pump);
    if (keepClip) {
        editor->SelectAll();
        editor->Copy();
        editor->Select({});
    }
    return editor;
}

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "operations_bench: %s went wrong\n", what);
        std::exit(1);
    }
}

// One timed run of ours, with the allocations it made.
struct Run {
    double seconds;
    uint64_t allocations;
};

Run TimeOurs(const std::function<void()>& op) {
    Settle();
    const uint64_t before = allocationCount.load();
    const double s = Seconds(op);
    return {s, allocationCount.load() - before};
}

double TimeTool(const std::string& out, const std::vector<std::string>& args) {
    std::remove(out.c_str());
    Settle();
    const double s = Seconds([&] { bench::RunQuiet(args); });
    std::remove(out.c_str());
    return s;
}

std::vector<std::string> SoxVol2(const std::string& in, const std::string& out) {
    return {"sox", "-t", "raw",   "-r", "44100",  "-e", "signed", "-b", "16", "-c", "2",   in, "-t",
            "raw", "-r", "44100", "-e", "signed", "-b", "16",     "-c", "2",  out,  "vol", "2"};
}

// One line of the table; ratio < 0 prints none.
void Row(const std::string& name, const std::string& ours, const std::string& reference,
         double ratio, const std::string& target, const char* result) {
    char ratioText[16] = "-";
    if (ratio >= 0) {
        std::snprintf(ratioText, sizeof ratioText, "%.2f", ratio);
    }
    std::printf("%-36s %11s  %-26s %6s  %-8s %s\n", name.c_str(), ours.c_str(), reference.c_str(),
                ratioText, target.c_str(), result);
}

std::string Format(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// Ours against a tool: the medians, their ratio and the verdict against the largest ratio allowed.
void RatioRow(const std::string& name, const std::vector<double>& ours, const std::string& tool,
              const std::vector<double>& reference, double target) {
    const double ratio = Median(ours) / Median(reference);
    Row(name, Format("%.3f s", Median(ours)), tool + Format(" %.3f s", Median(reference)), ratio,
        Format("<= %.2f", target), ratio <= target ? "PASS" : "MISS");
}

void PrintRuns(const std::string& name, const std::vector<double>& v) {
    std::printf("  %-34s", name.c_str());
    for (double x : v) {
        std::printf(" %.3f", x);
    }
    std::printf("\n");
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <scratch folder> [runs]\n", argv[0]);
        return 2;
    }
    QCoreApplication app(argc, argv);
    const std::string dir = argv[1];
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const Paths paths{dir + "/Velmar.raw", dir + "/Edit.raw", dir + "/Clp.raw", dir + "/out.raw"};

    Recording rec;
    rec.Make(paths.recording, HourBlocks);
    WarmUp(paths.recording);
    const uint32_t n = rec.file.Blocks();
    const double mb = double(rec.file.SizeBytes()) / 1e6;

    auto processEvents = [] { QCoreApplication::processEvents(); };
    base::SystemFileSystem files;
    BenchPump pump;
    std::unique_ptr<operations::Editor> editor;
    auto reset = [&](bool keepClip) {
        editor = ResetSession(std::move(editor), rec, paths, keepClip, files, pump);
    };

    // Effects, each interleaved with sox on the same raw data so load changes hit both alike.
    struct EffectCase {
        const char* name;
        std::function<void()> op;
        std::vector<double> ours, sox, oursWithEvents;
        uint64_t allocations = 0, allocationsWithEvents = 0;
        bool withEvents = false;
    };
    std::vector<EffectCase> effects;
    for (const char* name : {"Amplify 200 %", "Normalize", "Fade Out"}) {
        effects.emplace_back().name = name;
    }
    effects[0].op = [&] { editor->Amplify(200); };
    effects[0].withEvents = true;
    effects[1].op = [&] { editor->Normalize(); };
    effects[2].op = [&] { editor->FadeOut(); };
    for (EffectCase& e : effects) {
        for (int r = 0; r < runs; ++r) {
            reset(false);
            editor->SelectAll();
            const Run ours = TimeOurs(e.op);
            Check(editor->UndoLevel() == 1 && editor->EditFileBlocks() == n, e.name);
            e.ours.push_back(ours.seconds);
            e.allocations = std::max(e.allocations, ours.allocations);
            if (e.withEvents) {
                reset(false);
                editor->SelectAll();
                pump.hook = processEvents;
                const Run with = TimeOurs(e.op);
                pump.hook = nullptr;
                e.oursWithEvents.push_back(with.seconds);
                e.allocationsWithEvents = std::max(e.allocationsWithEvents, with.allocations);
            }
            e.sox.push_back(TimeTool(paths.out, SoxVol2(paths.recording, paths.out)));
        }
    }

    // Copy of the whole sound into the clip file vs cp of the recording, then Paste of that clip
    // into the edit file vs cp of the clip file. Both sides read a warm file and write a new one
    // on the same file system (ours: the clip or edit file emptied, cp: its output removed).
    // They are quick and cp varies a lot from run to run, so they run more often.
    const int copyRuns = 3 * runs;
    std::vector<double> copyOurs, copyCp, pasteOurs, pasteCp, copyWithEvents;
    uint64_t copyAllocations = 0, pasteAllocations = 0;
    for (int r = 0; r < copyRuns; ++r) {
        reset(false);
        editor->SelectAll();
        const Run copy = TimeOurs([&] { editor->Copy(); });
        copyOurs.push_back(copy.seconds);
        copyAllocations = std::max(copyAllocations, copy.allocations);
        Check(editor->ClipBlocks() == n, "Copy filled the clip");
        copyCp.push_back(TimeTool(paths.out, {"cp", paths.recording, paths.out}));
        reset(false);
        editor->SelectAll();
        pump.hook = processEvents;
        copyWithEvents.push_back(TimeOurs([&] { editor->Copy(); }).seconds);
        pump.hook = nullptr;
    }
    WarmUp(paths.clip);
    for (int r = 0; r < copyRuns; ++r) {
        reset(true);
        editor->PlaceCursor(n);
        const Run paste = TimeOurs([&] { editor->Paste(); });
        pasteOurs.push_back(paste.seconds);
        pasteAllocations = std::max(pasteAllocations, paste.allocations);
        Check(editor->Blocks() == 2 * n && editor->EditFileBlocks() == n,
              "Paste inserted the clip");
        pasteCp.push_back(TimeTool(paths.out, {"cp", paths.clip, paths.out}));
    }

    // Undo and Redo on the pasted two-hour sound, every call timed on its own. The slowest call
    // mostly shows the machine taking the processor away, so the verdict uses the 99.9th
    // percentile and the maximum is only shown.
    constexpr int UndoCalls = 100000;
    std::vector<double> undoTimes(UndoCalls), redoTimes(UndoCalls);
    const uint64_t undoAllocationsBefore = allocationCount.load();
    for (int i = 0; i < UndoCalls; ++i) {
        undoTimes[i] = Seconds([&] { Check(editor->Undo(), "Undo"); });
        redoTimes[i] = Seconds([&] { Check(editor->Redo(), "Redo"); });
    }
    const uint64_t undoAllocations = allocationCount.load() - undoAllocationsBefore;

    // The pending-message call alone: one call per block through the program's pump with
    // nothing pending, against the same calls through a pump that does nothing.
    std::vector<double> callWith, callWithout;
    base::QtEventPump qtPump;
    base::IdleEventPump idlePump;
    for (int r = 0; r < 5; ++r) {
        callWith.push_back(Seconds([&] {
            for (uint32_t i = 0; i < n; ++i) {
                static_cast<base::EventPump&>(qtPump).ProcessMessages();
            }
        }));
        callWithout.push_back(Seconds([&] {
            for (uint32_t i = 0; i < n; ++i) {
                static_cast<base::EventPump&>(idlePump).ProcessMessages();
            }
        }));
    }

    editor.reset();
    rec.file.Release();
    std::remove(paths.recording.c_str());

    // The table.
    std::printf(
        "Editing operations on %u blocks (%.1f MB, one hour of noise), median of %d "
        "runs\n(Copy and Paste: %d).\n"
        "Ours and the tool alternate on the same input; warm page cache; every output is\n"
        "written afresh to the same file system; sync before, never inside, each timing.\n"
        "cp copies in the kernel (copy_file_range); ours reads through the edit list and\n"
        "writes with pread/pwrite, with no pending-message handler unless a row says so.\n\n",
        unsigned(n), mb, runs, copyRuns);
    std::printf("%-36s %11s  %-26s %6s  %-8s %s\n", "Measure", "Ours", "Reference (same input)",
                "Ratio", "Target", "Result");
    for (const EffectCase& e : effects) {
        RatioRow(e.name + std::string(" (whole sound)"), e.ours, "sox vol 2", e.sox, 0.5);
    }
    // The effects do a multiply per sample and a pass for the peaks on top of what Copy does.
    for (const EffectCase& e : effects) {
        RatioRow(e.name + std::string(" / our Copy"), e.ours, "our Copy", copyOurs, 2.0);
    }
    RatioRow("Copy (whole sound)", copyOurs, "cp", copyCp, 1.3);
    RatioRow("Paste (one-hour clip)", pasteOurs, "cp of the clip", pasteCp, 1.3);
    for (auto [name, times] : {std::pair{"Undo", &undoTimes}, std::pair{"Redo", &redoTimes}}) {
        std::sort(times->begin(), times->end());
        const double median = (*times)[times->size() / 2];
        const double p999 = (*times)[times->size() * 999 / 1000];
        Row(name + std::string(" per call, median"), Format("%.3f us", median * 1e6), "-", -1,
            "< 1 ms", median < 1e-3 ? "PASS" : "MISS");
        Row(name + std::string(" per call, 99.9 %"), Format("%.3f us", p999 * 1e6),
            Format("slowest %.1f us", times->back() * 1e6), -1, "< 1 ms",
            p999 < 1e-3 ? "PASS" : "MISS");
    }

    // Pending messages: the call alone (exact), and Amplify with and without it (the difference
    // is within the noise of a shared machine).
    const double perCall = (Median(callWith) - Median(callWithout)) / n;
    const double ampWithout = Median(effects[0].ours);
    const double ampWith = Median(effects[0].oursWithEvents);
    const double share = perCall * n / ampWithout;
    const double copyWithout = Median(copyOurs);
    const double copyWith = Median(copyWithEvents);
    const double copyShare = perCall * n / copyWithout;
    Row("processEvents per block", Format("%.3f us", perCall * 1e6),
        Format("%.1f %% of Amplify", share * 100), -1, "-", "");
    // Copy does the least per block, so there the call weighs most; "not dominant" is read as
    // under half of the operation.
    Row("  as a share of Copy", Format("%.1f %%", copyShare * 100), "-", -1, "< 50 %",
        copyShare < 0.5 ? "PASS" : "MISS");
    Row("Amplify with processEvents", Format("%.3f s", ampWith),
        Format("without: %.3f s", ampWithout), ampWith / ampWithout, "-", "");
    Row("  difference per block", Format("%.3f us", (ampWith - ampWithout) / n * 1e6), "-", -1, "-",
        "");
    Row("Copy with processEvents", Format("%.3f s", copyWith),
        Format("without: %.3f s", copyWithout), copyWith / copyWithout, "-", "");
    Row("  difference per block", Format("%.3f us", (copyWith - copyWithout) / n * 1e6), "-", -1,
        "-", "");

    // Nothing per block: an operation may grow the four edit-file peak tables once, so fewer
    // than one allocation per hundred blocks passes.
    auto allocationRow = [&](const std::string& name, uint64_t count) {
        const double perBlock = double(count) / double(n);
        Row("Allocations per block, " + name, Format("%.4f", perBlock),
            Format("%.0f in the whole run", double(count)), -1, "< 0.01",
            perBlock < 0.01 ? "PASS" : "MISS");
    };
    for (const EffectCase& e : effects) {
        allocationRow(e.name, e.allocations);
    }
    allocationRow("Amplify+events", effects[0].allocationsWithEvents);
    allocationRow("Copy", copyAllocations);
    allocationRow("Paste", pasteAllocations);
    Row("Allocations, 200000 Undo+Redo", Format("%.0f", double(undoAllocations)), "-", -1, "0",
        undoAllocations == 0 ? "PASS" : "MISS");

    std::printf("\nEvery run (s):\n");
    for (const EffectCase& e : effects) {
        PrintRuns(e.name, e.ours);
        PrintRuns(std::string(e.name) + ", sox", e.sox);
    }
    PrintRuns("Amplify with processEvents", effects[0].oursWithEvents);
    PrintRuns("Copy", copyOurs);
    PrintRuns("Copy with processEvents", copyWithEvents);
    PrintRuns("Copy, cp", copyCp);
    PrintRuns("Paste", pasteOurs);
    PrintRuns("Paste, cp", pasteCp);
    // The fastest runs are the least disturbed by the rest of the machine; their ratios show
    // how far the medians may be flattered or hurt by noise.
    auto best = [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); };
    std::printf("Fastest run against fastest run: Amplify/sox %.2f, Normalize/sox %.2f, "
                "Fade Out/sox %.2f, Copy/cp %.2f, Paste/cp %.2f\n",
                best(effects[0].ours) / best(effects[0].sox),
                best(effects[1].ours) / best(effects[1].sox),
                best(effects[2].ours) / best(effects[2].sox), best(copyOurs) / best(copyCp),
                best(pasteOurs) / best(pasteCp));
    return 0;
}
