#include "base/WebAddress.h"

#include <QRegularExpression>

bool isWebAddress(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() &&
           (scheme == QLatin1String("https") || scheme == QLatin1String("http"));
}

std::optional<QUrl> webAddress(const QString& text) {
    const QUrl url(text, QUrl::StrictMode);
    if (!isWebAddress(url))
        return std::nullopt;
    return url;
}

QString addressForLog(const QString& text) {
    QString shown = text;
    const qsizetype end = shown.indexOf(QRegularExpression(QStringLiteral("[?#]")));
    if (end >= 0)
        shown.truncate(end);
    const qsizetype schemeEnd = shown.indexOf(QLatin1String("//"));
    const qsizetype authority = schemeEnd < 0 ? 0 : schemeEnd + 2;
    qsizetype authorityEnd = shown.indexOf(QLatin1Char('/'), authority);
    if (authorityEnd < 0)
        authorityEnd = shown.size();
    const qsizetype at = QStringView(shown).sliced(authority, authorityEnd - authority).lastIndexOf(u'@');
    if (at >= 0)
        shown.replace(authority, at, QStringLiteral("***"));
    return shown;
}
