// Settings accessor reads and writes (each write replaces the file atomically).
#include "BenchStats.h"
#include "app/AppConstants.h"
#include "engine/SettingsManager.h"

#include <QTemporaryDir>

#include <chrono>

template <typename F> std::vector<double> sample(int n, F&& f, double scale) {
    std::vector<double> out;
    out.reserve(n);
    for (int i = 0; i < n; ++i) {
        const auto start = std::chrono::steady_clock::now();
        f(i);
        out.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() *
                      scale);
    }
    return out;
}

int main() {
    AppConstants::initialize();
    QTemporaryDir dir;
    SettingsManager settings(dir.path() + QStringLiteral("/preferences.json"));
    settings.setCustomPrompt(QStringLiteral("自定义模板"));
    volatile int sink = 0;
    BenchStats::print("popupFontSize read",
                      sample(
                          100000, [&](int) { sink = sink + settings.popupFontSize(); }, 1e6),
                      "us");
    BenchStats::print("hotkeyKeyCode read",
                      sample(
                          100000, [&](int) { sink = sink + settings.hotkeyKeyCode(); }, 1e6),
                      "us");
    BenchStats::print("effectivePrompt read",
                      sample(
                          100000, [&](int) { sink = sink + int(settings.effectivePrompt().size()); }, 1e6),
                      "us");
    BenchStats::print("setPopupFontSize write (atomic replace)",
                      sample(
                          2000, [&](int i) { settings.setPopupFontSize(12 + i % 11); }, 1e3),
                      "ms");
    BenchStats::print(
        "setWindowFrame write (atomic replace)",
        sample(
            2000, [&](int i) { settings.setWindowFrame(QStringLiteral("{{%1, 0}, {600, 400}}").arg(i)); },
            1e3),
        "ms");
    return 0;
}
