#pragma once

#include <algorithm>
#include <cstdio>
#include <vector>

// Median and tail of a set of samples, printed to standard error.
struct BenchStats {
    static double percentile(std::vector<double> samples, double p) {
        if (samples.empty())
            return 0;
        std::sort(samples.begin(), samples.end());
        const size_t index = std::min(samples.size() - 1, size_t(p * double(samples.size() - 1) + 0.5));
        return samples[index];
    }
    static void print(const char* name, const std::vector<double>& samples, const char* unit) {
        std::fprintf(stderr, "%-44s n=%-7zu median=%10.3f %s  p90=%10.3f %s  p99=%10.3f %s\n", name,
                     samples.size(), percentile(samples, 0.5), unit, percentile(samples, 0.9), unit,
                     percentile(samples, 0.99), unit);
    }
};
