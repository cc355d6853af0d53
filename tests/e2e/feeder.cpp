// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the end-to-end test signal into the FIFO of a PulseAudio pipe source, paced in real
// time with a small lead so the source never runs dry. If the source module goes away (the
// reader closes) it waits for the FIFO to come back and carries on counting.
//
// usage: e2e_feeder FIFO [--lead-ms N] [--seconds S] [--burst]
#include "test_signal.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int Rate = 44100;
constexpr int ChunkFrames = 441; // 10 ms

int OpenFifo(const char* path) {
    // Non-blocking open fails with ENXIO while nobody reads, so a FIFO left without its
    // source never hangs the feeder.
    for (;;) {
        struct stat st {};
        if (stat(path, &st) == 0 && S_ISFIFO(st.st_mode)) {
            int fd = open(path, O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
                return fd;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FIFO [--lead-ms N] [--seconds S] [--burst]\n", argv[0]);
        return 2;
    }
    const char* path = argv[1];
    int leadMs = 200;
    double seconds = 0; // 0: until killed
    bool burst = false;
    for (int i = 2; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--lead-ms" && i + 1 < argc)
            leadMs = std::atoi(argv[++i]);
        else if (a == "--seconds" && i + 1 < argc)
            seconds = std::atof(argv[++i]);
        else if (a == "--burst")
            burst = true;
        else {
            std::fprintf(stderr, "unknown argument %s\n", a.c_str());
            return 2;
        }
    }
    std::signal(SIGPIPE, SIG_IGN);

    std::vector<int16_t> tone(65536);
    for (uint32_t c = 0; c < 65536; ++c)
        tone[c] = e2e::ToneSample(static_cast<uint16_t>(c));
    std::vector<int16_t> chunk(2 * ChunkFrames);

    const int64_t totalFrames = seconds > 0 ? static_cast<int64_t>(seconds * Rate) : INT64_MAX;
    const int64_t leadFrames = static_cast<int64_t>(leadMs) * Rate / 1000;
    uint32_t k = 0;    // next frame's counter
    int64_t sent = 0;  // frames written since the pacing clock started
    int64_t total = 0; // frames written in all
    int fd = OpenFifo(path);
    Clock::time_point start = Clock::now();
    while (total < totalFrames) {
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        const int64_t due = burst ? INT64_MAX : static_cast<int64_t>(elapsed * Rate) + leadFrames;
        if (sent + ChunkFrames > due) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        const int64_t frames = std::min<int64_t>(ChunkFrames, totalFrames - total);
        for (int64_t f = 0; f < frames; ++f) {
            chunk[2 * f] = e2e::CounterSample(k + static_cast<uint32_t>(f));
            chunk[2 * f + 1] = tone[static_cast<uint16_t>(k + f)];
        }
        if (!WriteAll(fd, reinterpret_cast<const char*>(chunk.data()),
                      static_cast<size_t>(frames) * 4)) {
            // The source went away: wait for it and restart the pacing clock.
            close(fd);
            std::fprintf(stderr, "feeder: reader gone after %lld frames, waiting\n",
                         static_cast<long long>(total));
            fd = OpenFifo(path);
            std::fprintf(stderr, "feeder: reader back\n");
            sent = 0;
            start = Clock::now();
            continue;
        }
        k += static_cast<uint32_t>(frames);
        sent += frames;
        total += frames;
    }
    close(fd);
    return 0;
}
