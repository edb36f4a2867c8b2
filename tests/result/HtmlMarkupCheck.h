#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QStringView>

// Checks an HTML fragment made from an untrusted answer: only the renderer's own
// tags (no other attributes), properly nested, and no entity other than the four the
// renderer writes. Returns an empty text when the fragment is sound.
// `quotesAllowed`: the original-text box leaves double quotes as they are.
inline QString markupProblem(QStringView html, bool quotesAllowed = false) {
    static const QHash<QString, QString> openingTags = [] {
        QHash<QString, QString> tags;
        for (const char* tag : {"p", "h2", "strong", "code", "table", "thead", "tbody", "tr", "th", "td"})
            tags.insert(QString::fromLatin1(tag), QString::fromLatin1(tag));
        for (const char* cls :
             {"split-warning", "split-list", "split-pair", "split-original", "split-translation"})
            tags.insert(QStringLiteral("div class=\"%1\"").arg(QLatin1String(cls)), QStringLiteral("div"));
        return tags;
    }();
    QStringList open;
    for (qsizetype i = 0; i < html.size(); ++i) {
        const QChar c = html[i];
        if (c == u'>' || (c == u'"' && !quotesAllowed))
            return QStringLiteral("bare %1 at %2").arg(c).arg(i);
        const QStringView rest = html.sliced(i);
        if (c == u'&' && !rest.startsWith(u"&amp;") && !rest.startsWith(u"&lt;") &&
            !rest.startsWith(u"&gt;") && !rest.startsWith(u"&quot;"))
            return QStringLiteral("unknown entity at %1").arg(i);
        if (c != u'<')
            continue;
        const qsizetype end = html.indexOf(u'>', i);
        if (end < 0)
            return QStringLiteral("unterminated tag at %1").arg(i);
        const QString tag = html.sliced(i + 1, end - i - 1).toString();
        i = end;
        if (tag.startsWith(u'/')) {
            if (open.isEmpty() || open.takeLast() != tag.sliced(1))
                return QStringLiteral("misnested <%1>").arg(tag);
        } else if (openingTags.contains(tag)) {
            open.append(openingTags.value(tag));
        } else if (tag != u"br") {
            return QStringLiteral("foreign tag <%1>").arg(tag);
        }
    }
    return open.isEmpty() ? QString() : QStringLiteral("unclosed: %1").arg(open.join(u' '));
}

// The same, and the fragment has as many placeholder marks as `input` (so none stood in
// for a span the renderer did not make).
inline QString markupProblem(QStringView html, QStringView input, bool quotesAllowed = false) {
    if (html.count(QChar(0xE000)) != input.count(QChar(0xE000)))
        return QStringLiteral("placeholder marks changed");
    return markupProblem(html, quotesAllowed);
}

// The body fragment of a full page: between the content opening and the footer.
inline QString contentOf(const QString& page) {
    const QString open = QStringLiteral("<div class=\"content\">\n");
    const qsizetype begin = page.indexOf(open) + open.size();
    return page.mid(begin, page.lastIndexOf(QStringLiteral("\n<div class=\"footer\">")) - begin);
}
