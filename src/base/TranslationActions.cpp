#include "base/TranslationActions.h"

#include "base/Logger.h"

#include <QString>

namespace {
std::function<void()>& screenshotHandler() {
    static std::function<void()> handler;
    return handler;
}

std::function<void()>& selectionHandler() {
    static std::function<void()> handler;
    return handler;
}

void run(const std::function<void()>& handler, const QString& unavailable) {
    if (handler)
        handler();
    else
        logi(unavailable);
}
} // namespace

namespace TranslationActions {

void setScreenshotHandler(std::function<void()> handler) {
    screenshotHandler() = std::move(handler);
}

void setSelectionHandler(std::function<void()> handler) {
    selectionHandler() = std::move(handler);
}

void startScreenshot() {
    run(screenshotHandler(), QStringLiteral("截图翻译尚不可用"));
}

void startSelection() {
    run(selectionHandler(), QStringLiteral("划词翻译尚不可用"));
}

} // namespace TranslationActions
