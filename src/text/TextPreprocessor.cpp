#include "text/TextPreprocessor.h"

#include "text/RegexReplace.h"

namespace TextPreprocessor {

QString condenseCitation(const QString& text) {
    // The footer with title and author goes first, so that the one-line form below only
    // sees footers with a single line between lead-in and notice.
    const QRegularExpression withAuthor(
        QStringLiteral("摘录来自\\n([^\\n]+)\\n([^\\n]+)\\n此材料受版权保护。"));
    const QString once = replaceEachMatch(text, withAuthor, [](const QString& source, const auto& match) {
        return QStringLiteral("摘录来自《") + capturedFrom(source, match, 1) + QStringLiteral("》") +
               capturedFrom(source, match, 2);
    });

    const QRegularExpression titleOnly(QStringLiteral("摘录来自\\n([^\\n]+)\\n此材料受版权保护。"));
    return replaceEachMatch(once, titleOnly, [](const QString& source, const auto& match) {
        return QStringLiteral("摘录来自《") + capturedFrom(source, match, 1) + QStringLiteral("》");
    });
}

} // namespace TextPreprocessor
