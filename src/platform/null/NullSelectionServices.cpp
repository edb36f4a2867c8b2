#include "platform/null/NullSelectionServices.h"

#include "base/Logger.h"

#include <QTimer>

namespace {

template <typename Done, typename Value> void answerLater(Done done, Value value) {
    QTimer::singleShot(0, [done = std::move(done), value] { done(value); });
}

} // namespace

void NullAccessibilityReader::read(qint64, std::chrono::milliseconds, Done done) {
    logi(QStringLiteral("Accessibility：") + m_reason + QStringLiteral("，跳过"));
    answerLater(std::move(done), std::optional<QString>());
}

void NullPrimarySelection::readText(TextDone done) {
    answerLater(std::move(done), std::optional<QString>());
}

void NullClipboard::capture(SnapshotDone done) {
    answerLater(std::move(done), std::optional<ClipboardSnapshot>());
}

void NullClipboard::readText(TextDone done) {
    answerLater(std::move(done), std::optional<QString>());
}

void NullClipboard::restore(const ClipboardSnapshot&, RestoreDone done) {
    answerLater(std::move(done), false);
}

void NullSyntheticKeyboard::waitUntilNoKeyDown(std::chrono::milliseconds, Done done) {
    answerLater(std::move(done), false);
}

void NullSyntheticKeyboard::sendCopyShortcut(Done done) {
    answerLater(std::move(done), false);
}
