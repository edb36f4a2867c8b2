#include "result/SentenceSplitter.h"

#include "result/GraphemeText.h"

#include <QSet>

#include <cmath>
#include <vector>

namespace {

const QSet<QString>& abbreviations() {
    static const QSet<QString> set{
        QStringLiteral("Mr"),   QStringLiteral("Mrs"), QStringLiteral("Ms"),   QStringLiteral("Dr"),
        QStringLiteral("Prof"), QStringLiteral("St"),  QStringLiteral("Mt"),   QStringLiteral("vs"),
        QStringLiteral("etc"),  QStringLiteral("No"),  QStringLiteral("Inc"),  QStringLiteral("Ltd"),
        QStringLiteral("Jr"),   QStringLiteral("Sr"),  QStringLiteral("Co"),   QStringLiteral("Gen"),
        QStringLiteral("Rep"),  QStringLiteral("Sen"), QStringLiteral("Jan"),  QStringLiteral("Feb"),
        QStringLiteral("Mar"),  QStringLiteral("Apr"), QStringLiteral("Jun"),  QStringLiteral("Jul"),
        QStringLiteral("Aug"),  QStringLiteral("Sep"), QStringLiteral("Sept"), QStringLiteral("Oct"),
        QStringLiteral("Nov"),  QStringLiteral("Dec")};
    return set;
}

// Matched against exactly the three characters before a period, so only the three-character
// entries can match; the others are kept to show what the rule is about.
const QSet<QString>& multiDotAbbreviations() {
    static const QSet<QString> set{QStringLiteral("e.g"), QStringLiteral("i.e"),  QStringLiteral("U.S"),
                                   QStringLiteral("U.K"), QStringLiteral("Ph.D"), QStringLiteral("M.D"),
                                   QStringLiteral("B.C"), QStringLiteral("A.D"),  QStringLiteral("vs"),
                                   QStringLiteral("a.m"), QStringLiteral("p.m")};
    return set;
}

const QSet<QString>& multiWordAbbreviations() {
    static const QSet<QString> set{QStringLiteral("et al")};
    return set;
}

// Longest entry of any abbreviation set, in code units: longer words need no lookup.
constexpr qsizetype longestAbbreviation = 5;

bool contains(const QSet<QString>& set, QStringView word) {
    return word.size() <= longestAbbreviation && set.contains(word.toString());
}

bool isBlank(char16_t c) {
    return c == u' ' || c == u'\t';
}
bool isBreakWhitespace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n';
}
bool isEnglishTerminator(char16_t c) {
    return c == u'.' || c == u'!' || c == u'?';
}
bool isChineseTerminator(char16_t c) {
    return c == u'。' || c == u'！' || c == u'？' || c == u'…';
}

bool isClosingMark(char16_t c) {
    switch (c) {
    case u'"':
    case u'”':
    case u'’':
    case u')':
    case u']':
    case u'\'':
    case u'）':
    case u'】':
    case u'』':
    case u'」':
    case u'｣':
        return true;
    default:
        return false;
    }
}

bool isOpeningMark(char16_t c) {
    switch (c) {
    case u'"':
    case u'“':
    case u'‘':
    case u'\'':
    case u'(':
    case u'[':
    case u'{':
    case u'（':
    case u'【':
    case u'『':
    case u'「':
    case u'｢':
        return true;
    default:
        return false;
    }
}

struct Sentence {
    QString text;
    qsizetype length; // in user-perceived characters
};

// Collects the trimmed, non-empty pieces of a text walked cluster by cluster.
class SentenceSink {
public:
    SentenceSink(const GraphemeText& text, std::vector<Sentence>& out) : m_text(text), m_out(out) {}

    // Appends clusters [m_start, end) and makes end the new start.
    void cutAt(qsizetype end) {
        qsizetype from = m_start, to = end;
        m_start = end;
        while (from < to && isBlank(m_text.single(from)))
            ++from;
        while (to > from && isBlank(m_text.single(to - 1)))
            --to;
        if (from < to)
            m_out.push_back({m_text.slice(from, to).toString(), to - from});
    }

private:
    const GraphemeText& m_text;
    std::vector<Sentence>& m_out;
    qsizetype m_start = 0;
};

// Spaces and tabs off both ends. A leading blank that carries combining marks is a character of
// its own and stays.
QStringView trimmed(QStringView s) {
    while (!s.isEmpty() && isBlank(s.back().unicode()))
        s.chop(1);
    qsizetype from = 0;
    while (from < s.size() && isBlank(s[from].unicode())) {
        if (from + 1 < s.size() && s[from + 1].unicode() >= 0x300 && GraphemeText(s.mid(from, 2)).size() == 1)
            break;
        ++from;
    }
    return s.mid(from);
}

// Carriage returns would otherwise stay inside lines: they are not trimmed, do not separate
// paragraphs and are no break whitespace after a terminator.
QString withLineFeeds(const QString& text) {
    if (!text.contains(u'\r'))
        return text;
    QString result = text;
    result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    result.replace(u'\r', u'\n');
    return result;
}

// Drops the attribution a book reader appends to copied text: "摘录来自《title》" and the rest of
// its line, the title being one or more characters other than "》". Scanned by hand rather than with
// a regular expression, which would rescan the rest of the text for every unclosed "摘录来自《".
QString withoutCitations(const QString& text) {
    static const QString marker = QStringLiteral("摘录来自《");
    QString result;
    qsizetype copied = 0;
    qsizetype at = text.indexOf(marker);
    while (at >= 0) {
        const qsizetype titleStart = at + marker.size();
        const qsizetype titleEnd = text.indexOf(u'》', titleStart);
        if (titleEnd < 0)
            break; // no later marker can be closed either
        if (titleEnd == titleStart) {
            at = text.indexOf(marker, at + 1);
            continue;
        }
        qsizetype lineEnd = text.indexOf(u'\n', titleEnd);
        if (lineEnd < 0)
            lineEnd = text.size();
        result += QStringView(text).mid(copied, at - copied);
        copied = lineEnd;
        at = text.indexOf(marker, lineEnd);
    }
    if (copied == 0)
        return text;
    result += QStringView(text).mid(copied);
    return result;
}

// True when the period at cluster i belongs to an abbreviation or an initial.
bool isAbbreviationPeriod(const GraphemeText& t, qsizetype i) {
    if (i >= 3 && contains(multiDotAbbreviations(), t.slice(i - 3, i)))
        return true;
    qsizetype wordStart = i;
    while (wordStart > 0 && t.isLetter(wordStart - 1))
        --wordStart;
    const QStringView word = t.slice(wordStart, i);
    if (contains(abbreviations(), word))
        return true;
    if (word.isEmpty())
        return false;
    qsizetype spacesStart = wordStart;
    while (spacesStart > 0 && t.is(spacesStart - 1, u' '))
        --spacesStart;
    if (spacesStart < wordStart && spacesStart > 0) {
        qsizetype previousStart = spacesStart;
        while (previousStart > 0 && t.isLetter(previousStart - 1))
            --previousStart;
        const QStringView previous = t.slice(previousStart, spacesStart);
        if (previous.size() + 1 + word.size() <= longestAbbreviation &&
            multiWordAbbreviations().contains(previous.toString() + u' ' + word.toString()))
            return true;
    }
    return i - wordStart == 1 && t.isUpper(wordStart);
}

// One run of English text without line breaks.
void splitEnglishSentences(QStringView text, std::vector<Sentence>& out) {
    const GraphemeText t(text);
    const qsizetype n = t.size();
    SentenceSink sink(t, out);
    qsizetype i = 0;
    while (i < n) {
        const char16_t c = t.single(i);
        if (!isEnglishTerminator(c) || (c == u'.' && isAbbreviationPeriod(t, i))) {
            ++i;
            continue;
        }
        qsizetype j = i + 1;
        while (j < n && isClosingMark(t.single(j)))
            ++j;
        if (j == n)
            break;
        if (!isBreakWhitespace(t.single(j))) {
            ++i;
            continue;
        }
        qsizetype next = j;
        while (next < n && isBreakWhitespace(t.single(next)))
            ++next;
        if (next == n)
            break;
        qsizetype deciding = next;
        while (deciding < n && isOpeningMark(t.single(deciding)))
            ++deciding;
        if (deciding == n)
            deciding = next;
        if (t.isUpper(deciding) || t.isNumber(deciding)) {
            sink.cutAt(j);
            i = j;
        } else {
            ++i;
        }
    }
    sink.cutAt(n);
}

// One line of Chinese text.
void splitChineseSentences(QStringView text, std::vector<Sentence>& out) {
    const GraphemeText t(text);
    const qsizetype n = t.size();
    SentenceSink sink(t, out);
    qsizetype i = 0;
    while (i < n) {
        if (!isChineseTerminator(t.single(i))) {
            ++i;
            continue;
        }
        qsizetype j = i + 1;
        while (j < n && t.is(j, u'…'))
            ++j;
        while (j < n && isClosingMark(t.single(j)))
            ++j;
        sink.cutAt(j);
        i = j;
    }
    sink.cutAt(n);
}

std::vector<Sentence> englishSentences(const QString& text) {
    std::vector<Sentence> out;
    const QString cleaned = withoutCitations(withLineFeeds(text));
    for (QStringView paragraph : QStringView(cleaned).split(QStringLiteral("\n\n"))) {
        QString joined;
        for (QStringView line : paragraph.split(u'\n')) {
            line = trimmed(line);
            if (line.isEmpty())
                continue;
            if (!joined.isEmpty())
                joined += u' ';
            joined += line;
        }
        if (!joined.isEmpty())
            splitEnglishSentences(joined, out);
    }
    return out;
}

std::vector<Sentence> chineseSentences(const QString& text) {
    std::vector<Sentence> out;
    const QString cleaned = withLineFeeds(text);
    for (QStringView line : QStringView(cleaned).split(u'\n')) {
        line = trimmed(line);
        if (!line.isEmpty())
            splitChineseSentences(line, out);
    }
    return out;
}

QStringList texts(const std::vector<Sentence>& sentences) {
    QStringList list;
    list.reserve(qsizetype(sentences.size()));
    for (const Sentence& s : sentences)
        list.append(s.text);
    return list;
}

std::vector<Sentence> measured(const QStringList& sentences) {
    std::vector<Sentence> out;
    out.reserve(size_t(sentences.size()));
    for (const QString& s : sentences)
        out.push_back({s, GraphemeText::length(s)});
    return out;
}

double totalLength(const std::vector<Sentence>& sentences) {
    double total = 0;
    for (const Sentence& s : sentences)
        total += double(s.length);
    return total;
}

// How many of many[k…] go with one sentence of the other side whose expected length is target:
// grow the group while each added sentence brings its length strictly closer to the target.
qsizetype groupSize(const std::vector<Sentence>& many, size_t k, qsizetype available, double target) {
    const double first = double(many[k].length);
    if (available < 2 || !(std::abs(first + double(many[k + 1].length) - target) < std::abs(first - target)))
        return 1;
    double sum = first + double(many[k + 1].length);
    for (qsizetype n = 2; n < available; ++n) {
        const double before = std::abs(sum - target);
        sum += double(many[k + size_t(n)].length);
        if (!(std::abs(sum - target) < before))
            return n;
    }
    return available;
}

QString joined(const std::vector<Sentence>& sentences, size_t from, qsizetype count, QChar separator) {
    QString text = sentences[from].text;
    for (qsizetype n = 1; n < count; ++n)
        text += separator + sentences[from + size_t(n)].text;
    return text;
}

QList<SplitPair> align(const std::vector<Sentence>& english, const std::vector<Sentence>& chinese) {
    const qsizetype e = qsizetype(english.size()), z = qsizetype(chinese.size());
    QList<SplitPair> pairs;
    if (e == 0) {
        for (const Sentence& s : chinese)
            pairs.append({QString(), s.text});
        return pairs;
    }
    if (z == 0) {
        for (const Sentence& s : english)
            pairs.append({s.text, QString()});
        return pairs;
    }
    pairs.reserve(std::min(e, z));
    if (e == z) {
        for (qsizetype i = 0; i < e; ++i)
            pairs.append({english[size_t(i)].text, chinese[size_t(i)].text});
        return pairs;
    }
    const double en = totalLength(english), zh = totalLength(chinese);
    size_t k = 0;
    if (e > z) {
        const double ratio = zh > 0 ? zh / en : 1.0;
        for (qsizetype j = 0; j < z; ++j) {
            const qsizetype available = (e - qsizetype(k)) - (z - 1 - j);
            const double target = double(chinese[size_t(j)].length) / ratio;
            const qsizetype take = j == z - 1 ? available : groupSize(english, k, available, target);
            pairs.append({joined(english, k, take, u' '), chinese[size_t(j)].text});
            k += size_t(take);
        }
    } else {
        const double ratio = en > 0 ? zh / en : 1.0;
        for (qsizetype i = 0; i < e; ++i) {
            const qsizetype available = (z - qsizetype(k)) - (e - 1 - i);
            const double target = ratio * double(english[size_t(i)].length);
            const qsizetype take = i == e - 1 ? available : groupSize(chinese, k, available, target);
            pairs.append({english[size_t(i)].text, joined(chinese, k, take, u'\n')});
            k += size_t(take);
        }
    }
    return pairs;
}

} // namespace

QStringList SentenceSplitter::splitEnglish(const QString& text) {
    return texts(englishSentences(text));
}

QStringList SentenceSplitter::splitChinese(const QString& text) {
    return texts(chineseSentences(text));
}

QList<SplitPair> SentenceSplitter::pair(const QString& original, const QString& translation) {
    return align(englishSentences(original), chineseSentences(translation));
}

QList<SplitPair> SentenceSplitter::pairSentences(const QStringList& english, const QStringList& chinese) {
    return align(measured(english), measured(chinese));
}
