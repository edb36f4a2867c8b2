#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

// Checks an HTML fragment made from an untrusted answer: only the renderer's own
// tags (no other attributes), properly nested, and no entity other than the four
// the renderer writes. Returns an empty text when the fragment is sound.
// `quotesAllowed`: the original-text box leaves double quotes as they are.
inline QString markupProblem(QStringView html, bool quotesAllowed = false) {
    static const QStringList pairedTags{
        QStringLiteral("p"),     QStringLiteral("h2"),    QStringLiteral("strong"), QStringLiteral("code"),
        QStringLiteral("table"), QStringLiteral("thead"), QStringLiteral("tbody"),  QStringLiteral("tr"),
        QStringLiteral("th"),    QStringLiteral("td")};
    static const QStringList divClasses{QStringLiteral("split-warning"), QStringLiteral("split-list"),
                                        QStringLiteral("split-pair"), QStringLiteral("split-original"),
                                        QStringLiteral("split-translation")};
    static const QStringList entities{QStringLiteral("&amp;"), QStringLiteral("&lt;"), QStringLiteral("&gt;"),
                                      QStringLiteral("&quot;")};
    QStringList open;
    qsizetype i = 0;
    while (i < html.size()) {
        const QChar c = html[i];
        if (c == u'>' || (c == u'"' && !quotesAllowed))
            return QStringLiteral("bare %1 at %2").arg(c).arg(i);
        if (c == u'&') {
            bool known = false;
            for (const QString& e : entities)
                known = known || html.sliced(i).startsWith(e);
            if (!known)
                return QStringLiteral("unknown entity at %1").arg(i);
            ++i;
            continue;
        }
        if (c != u'<') {
            ++i;
            continue;
        }
        const qsizetype end = html.indexOf(u'>', i);
        if (end < 0)
            return QStringLiteral("unterminated tag at %1").arg(i);
        const QString tag = html.sliced(i + 1, end - i - 1).toString();
        i = end + 1;
        if (tag == u"br")
            continue;
        if (tag.startsWith(u"div")) {
            bool known = false;
            for (const QString& cls : divClasses)
                known = known || tag == QStringLiteral("div class=\"%1\"").arg(cls);
            if (!known)
                return QStringLiteral("foreign tag <%1>").arg(tag);
            open.append(QStringLiteral("div"));
        } else if (tag.startsWith(u'/')) {
            if (open.isEmpty() || open.last() != tag.sliced(1))
                return QStringLiteral("misnested </%1> (open: %2)").arg(tag.sliced(1), open.join(u' '));
            open.removeLast();
        } else if (pairedTags.contains(tag)) {
            open.append(tag);
        } else {
            return QStringLiteral("foreign tag <%1>").arg(tag);
        }
    }
    if (!open.isEmpty())
        return QStringLiteral("unclosed: %1").arg(open.join(u' '));
    return {};
}

// The body fragment of a full page: between the content opening and the footer.
inline QString contentOf(const QString& page) {
    const QString open = QStringLiteral("<div class=\"content\">\n");
    const qsizetype begin = page.indexOf(open) + open.size();
    const qsizetype end = page.lastIndexOf(QStringLiteral("\n<div class=\"footer\">"));
    return page.mid(begin, end - begin);
}
