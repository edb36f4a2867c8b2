#include "text/RegexReplace.h"

namespace {

// Null when `text` is well-formed UTF-16, so the common case makes no copy.
QString withLoneSurrogatesReplaced(const QString& text) {
    QString copy;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (!c.isSurrogate())
            continue;
        if (c.isHighSurrogate() && i + 1 < n && text.at(i + 1).isLowSurrogate()) {
            ++i;
            continue;
        }
        if (copy.isNull())
            copy = text;
        copy[i] = QChar(QChar::ReplacementCharacter);
    }
    return copy;
}

} // namespace

QString
replaceEachMatch(const QString& text, const QRegularExpression& regex,
                 const std::function<QString(const QString&, const QRegularExpressionMatch&)>& replacement) {
    if (!regex.isValid())
        return text;
    const QString cleaned = withLoneSurrogatesReplaced(text);
    const QString& subject = cleaned.isNull() ? text : cleaned;

    QString result;
    qsizetype copied = 0;
    bool matched = false;
    QRegularExpressionMatchIterator it = regex.globalMatch(subject);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        if (!matched)
            result.reserve(text.size());
        matched = true;
        result.append(QStringView(text).sliced(copied, match.capturedStart() - copied));
        result.append(replacement(text, match));
        copied = match.capturedEnd();
    }
    if (!matched)
        return text;
    result.append(QStringView(text).sliced(copied));
    return result;
}

QString capturedFrom(const QString& text, const QRegularExpressionMatch& match, int group) {
    const qsizetype start = match.capturedStart(group);
    if (start < 0)
        return QString();
    return text.sliced(start, match.capturedLength(group));
}
