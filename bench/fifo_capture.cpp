// SPDX-License-Identifier: GPL-3.0-or-later
// Copies what a pipe sink writes into its FIFO to a file, with the pipe's buffer made as large as
// the system allows: a pipe sink paced by the system clock drops what it cannot write, so a
// reader that the loaded machine leaves unscheduled for half a second (the default 64 KB pipe
// holds 0.37 s of sound) loses sound and the capture no longer matches what was played. With
// the largest buffer (1 MB by default, 5.9 s of sound) it takes a much longer stall. Ends on
// SIGTERM or when the writer closes the FIFO.
//   fifo_capture FIFO OUTPUT
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: fifo_capture FIFO OUTPUT\n");
        return 2;
    }
    const int in = open(argv[1], O_RDONLY);
    const int out = open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0) {
        std::perror(in < 0 ? argv[1] : argv[2]);
        return 2;
    }
    int largest = 1 << 20;
    std::ifstream("/proc/sys/fs/pipe-max-size") >> largest;
    if (fcntl(in, F_SETPIPE_SZ, largest) < 0) {
        std::perror("F_SETPIPE_SZ");
    }
    std::vector<char> buffer(1 << 16);
    for (;;) {
        const ssize_t got = read(in, buffer.data(), buffer.size());
        if (got == 0 || (got < 0 && errno != EINTR)) {
            return got == 0 ? 0 : 1;
        }
        for (ssize_t done = 0; got > 0 && done < got;) {
            const ssize_t put = write(out, buffer.data() + done, size_t(got - done));
            if (put < 0) {
                std::perror(argv[2]);
                return 1;
            }
            done += put;
        }
    }
}
