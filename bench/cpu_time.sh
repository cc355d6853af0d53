# SPDX-License-Identifier: GPL-3.0-or-later
# Processor time in nanoseconds for the benchmark scripts (sourced, not run). The kernel counts
# each thread's time on a processor in ns in /proc/PID/task/TID/schedstat; /proc/PID/stat and the
# shell's `times` only give 10 ms clock ticks or whole milliseconds, too coarse for a process that
# uses a few milliseconds a second. Threads that end between two readings take their time with
# them, so measure long-lived processes, or run short ones to completion under bench/cpu_run.

# Nanoseconds on a processor of every live thread of process $1 so far.
cpu_ns() {
    local total=0 ns
    for stat in /proc/"$1"/task/*/schedstat; do
        read -r ns _ <"$stat" 2>/dev/null || continue
        total=$((total + ns))
    done
    echo "$total"
}

# Nanoseconds on a processor so far of the live threads of process $1 named $2 (the kernel's
# thread name, e.g. threaded-ml for libpulse's thread).
cpu_ns_named() {
    local total=0 ns name task
    for task in /proc/"$1"/task/*; do
        read -r name <"$task/comm" 2>/dev/null || continue
        [ "$name" = "$2" ] || continue
        read -r ns _ <"$task/schedstat" 2>/dev/null || continue
        total=$((total + ns))
    done
    echo "$total"
}

# Monotonic nanoseconds.
mono_ns() { date +%s%N; }

# Measures the processes given over $1 seconds; prints the percent of one core each used, in
# order, on one line. A process that ends during the interval makes it fail.
cpu_percent_over() {
    local seconds=$1
    shift
    local pids=("$@") before=() after=() t0 t1 i
    for i in "${!pids[@]}"; do before[i]=$(cpu_ns "${pids[i]}"); done
    t0=$(mono_ns)
    sleep "$seconds"
    for i in "${!pids[@]}"; do
        kill -0 "${pids[i]}" 2>/dev/null || { echo "process ${pids[i]} ended while measured" >&2; return 1; }
        after[i]=$(cpu_ns "${pids[i]}")
    done
    t1=$(mono_ns)
    local out=()
    for i in "${!pids[@]}"; do
        out+=("$(awk -v c=$((after[i] - before[i])) -v w=$((t1 - t0)) \
            'BEGIN { printf "%.4f", 100 * c / w }')")
    done
    echo "${out[*]}"
}

# The median of the numbers given.
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END {
    if (NR == 0) exit 1
    if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
