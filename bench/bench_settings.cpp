// Settings accessor reads and writes (each write replaces the file atomically).
#include "BenchTiming.h"
#include "base/AppConstants.h"
#include "settings/SettingsManager.h"

#include <QTemporaryDir>

int main() {
    AppConstants::initialize();
    QTemporaryDir dir;
    SettingsManager settings(dir.path() + QStringLiteral("/preferences.json"));
    settings.setCustomPrompt(QStringLiteral("自定义模板"));
    volatile int sink = 0;
    // 1,000 reads per run, so the figures in ms read as µs per call.
    reportTiming("popupFontSize read (us per call)", 200, [&] {
        for (int i = 0; i < 1000; ++i)
            sink = sink + settings.popupFontSize();
    });
    reportTiming("effectivePrompt read (us per call)", 200, [&] {
        for (int i = 0; i < 1000; ++i)
            sink = sink + int(settings.effectivePrompt().size());
    });
    int i = 0;
    reportTiming("setPopupFontSize write + atomic replace", 1000,
                 [&] { settings.setPopupFontSize(12 + ++i % 11); });
    reportTiming("setWindowFrame write + atomic replace", 1000,
                 [&] { settings.setWindowFrame(QStringLiteral("{{%1, 0}, {600, 400}}").arg(++i)); });
    return 0;
}
