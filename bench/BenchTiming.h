#pragma once

#include <QList>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>

inline double threadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

// Runs `work` `runs` times (after a few warm-ups) and prints the wall-clock median, p90 and
// max, and the median CPU time of the thread, which a busy machine disturbs less.
template <typename Work> void reportTiming(const char* name, int runs, Work work) {
    for (int i = 0; i < 3; ++i)
        work();
    QList<double> wall, cpu;
    for (int i = 0; i < runs; ++i) {
        const double cpuStart = threadCpuMs();
        const auto start = std::chrono::steady_clock::now();
        work();
        wall.append(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        cpu.append(threadCpuMs() - cpuStart);
    }
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    std::fprintf(stderr, "%-42s median %.3f ms  p90 %.3f ms  max %.3f ms  cpu median %.3f ms  (%d runs)\n",
                 name, wall[runs / 2], wall[runs * 9 / 10], wall.last(), cpu[runs / 2], runs);
}
