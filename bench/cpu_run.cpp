// SPDX-License-Identifier: GPL-3.0-or-later
// Runs a command to its end and writes the processor time it used, every thread of it counted
// (ended ones too), in nanoseconds from the kernel's own accounting, with the wall time:
//   cpu_run REPORT_FILE COMMAND [ARGS...]
// The report holds "cpu_ns N" and "wall_ns N"; cpu_run exits with the command's status, so a
// failing reference tool fails the benchmark script.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

namespace {

long long Nanoseconds(const timespec& t) {
    return (long long)t.tv_sec * 1000000000LL + t.tv_nsec;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: cpu_run REPORT_FILE COMMAND [ARGS...]\n");
        return 2;
    }
    timespec start{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    const pid_t pid = fork();
    if (pid < 0) {
        std::perror("fork");
        return 2;
    }
    if (pid == 0) {
        execvp(argv[2], argv + 2);
        std::fprintf(stderr, "cannot start %s\n", argv[2]);
        _exit(127);
    }
    // The child's time is read from its own process clock just before it is reaped: waitid with
    // WNOWAIT leaves it a zombie whose clock still holds the total of all its threads in ns
    // (getrusage of children is rounded to microseconds).
    siginfo_t info{};
    while (waitid(P_PID, id_t(pid), &info, WEXITED | WNOWAIT) < 0) {
        if (errno != EINTR) {
            std::perror("waitid");
            return 2;
        }
    }
    clockid_t clock{};
    timespec cpu{};
    long long cpuNs = -1;
    if (clock_getcpuclockid(pid, &clock) == 0 && clock_gettime(clock, &cpu) == 0) {
        cpuNs = Nanoseconds(cpu);
    }
    timespec end{};
    clock_gettime(CLOCK_MONOTONIC, &end);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    if (cpuNs < 0) { // the zombie's clock could not be read: microseconds will have to do
        cpuNs = ((long long)usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000000LL +
                ((long long)usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1000LL;
    }
    if (FILE* report = std::fopen(argv[1], "w")) {
        std::fprintf(report, "cpu_ns %lld\nwall_ns %lld\n", cpuNs,
                     Nanoseconds(end) - Nanoseconds(start));
        std::fclose(report);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
