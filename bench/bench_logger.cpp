// Caller-side cost of logi() while four threads each write 100,000 lines, then a
// check that every line reached the file in per-thread order.
#include "BenchTiming.h"
#include "base/AppConstants.h"
#include "base/Logger.h"

#include <QFile>
#include <QRegularExpression>

#include <chrono>
#include <cstdio>
#include <thread>

int main() {
    AppConstants::initialize();
    const int threads = 4, perThread = 100000;
    QFile::remove(LOG_PATH);
    std::vector<std::vector<double>> costs(threads);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([t, &costs] {
            auto& mine = costs[t];
            mine.reserve(perThread);
            for (int i = 0; i < perThread; ++i) {
                const auto start = std::chrono::steady_clock::now();
                logi(QStringLiteral("bench %1 %2 调用 DeepSeek API...").arg(t).arg(i));
                mine.push_back(
                    std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                        .count());
            }
        });
    for (auto& w : workers)
        w.join();
    const auto drainStart = std::chrono::steady_clock::now();
    Logger::shared().flush();
    const double drainMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - drainStart).count();

    std::vector<double> all;
    for (auto& c : costs)
        all.insert(all.end(), c.begin(), c.end());
    reportSamples("logi caller cost, 4 threads x 100000", all, "us");
    std::fprintf(stderr, "%-44s %.1f ms\n", "drain after last call", drainMs);

    QFile file(LOG_PATH);
    file.open(QIODevice::ReadOnly);
    std::vector<int> next(threads, 0);
    long lines = 0, outOfOrder = 0;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        const int at = line.indexOf("bench ");
        if (at < 0)
            continue;
        const QList<QByteArray> parts = line.mid(at + 6).split(' ');
        const int t = parts.value(0).toInt(), i = parts.value(1).toInt();
        if (i != next[t])
            ++outOfOrder;
        next[t] = i + 1;
        ++lines;
    }
    std::fprintf(stderr, "%-44s %ld of %d, out of order: %ld\n", "lines in file", lines, threads * perThread,
                 outOfOrder);
    return lines == threads * perThread && outOfOrder == 0 ? 0 : 1;
}
