#include "result/SentenceSplitter.h"

#include "result/GraphemeText.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <string_view>
#include <vector>

namespace {

// Words that never end a sentence when a period follows them; case-sensitive.
constexpr std::u16string_view abbreviations[] = {
    u"Mr",  u"Mrs", u"Ms",  u"Dr",  u"Prof", u"St",  u"Mt",   u"vs",  u"etc", u"No",
    u"Inc", u"Ltd", u"Jr",  u"Sr",  u"Co",   u"Gen", u"Rep",  u"Sen", u"Jan", u"Feb",
    u"Mar", u"Apr", u"Jun", u"Jul", u"Aug",  u"Sep", u"Sept", u"Oct", u"Nov", u"Dec"};

// Matched against exactly the three characters before a period, so only the three-character
// entries can match; the others are kept to show what the rule is about.
constexpr std::u16string_view multiDotAbbreviations[] = {u"e.g", u"i.e", u"U.S", u"U.K", u"Ph.D", u"M.D",
                                                         u"B.C", u"A.D", u"vs",  u"a.m", u"p.m"};

constexpr std::u16string_view multiWordAbbreviations[] = {u"et al"};

bool sameText(std::u16string_view a, QStringView b) {
    return qsizetype(a.size()) == b.size() && std::equal(a.begin(), a.end(), b.utf16());
}

template <size_t N> bool contains(const std::u16string_view (&words)[N], QStringView word) {
    return std::any_of(std::begin(words), std::end(words),
                       [word](std::u16string_view w) { return sameText(w, word); });
}

// True when one of the entries is the two words joined by one space.
template <size_t N>
bool contains(const std::u16string_view (&entries)[N], QStringView first, QStringView second) {
    const size_t split = size_t(first.size());
    return std::any_of(std::begin(entries), std::end(entries), [&](std::u16string_view entry) {
        return entry.size() == split + 1 + size_t(second.size()) && sameText(entry.substr(0, split), first) &&
               entry[split] == u' ' && sameText(entry.substr(split + 1), second);
    });
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

struct Sentences {
    QStringList texts;
    std::vector<qsizetype> lengths; // in user-perceived characters

    qsizetype size() const { return texts.size(); }
    double length(qsizetype i) const { return double(lengths[size_t(i)]); }
};

// Collects the trimmed, non-empty pieces of a text walked cluster by cluster.
class SentenceSink {
public:
    SentenceSink(const GraphemeText& text, Sentences& out) : m_text(text), m_out(out) {}

    // Appends clusters [m_start, end) and makes end the new start.
    void cutAt(qsizetype end) {
        qsizetype from = m_start, to = end;
        m_start = end;
        while (from < to && isBlank(m_text.single(from)))
            ++from;
        while (to > from && isBlank(m_text.single(to - 1)))
            --to;
        if (from < to) {
            // Counted alone, as pairSentences() counts the same text: a piece can split into
            // other clusters than it had inside the whole (a mark after a cut-off blank).
            const QString piece = m_text.slice(from, to).toString();
            m_out.lengths.push_back(GraphemeText::length(piece));
            m_out.texts.append(piece);
        }
    }

private:
    const GraphemeText& m_text;
    Sentences& m_out;
    qsizetype m_start = 0;
};

// True when the last code unit of `s` is a user-perceived character of its own. A blank after
// a prefix mark such as U+0600 belongs to the mark's character.
bool endsInOwnCluster(QStringView s) {
    const GraphemeText tail(s.last(std::min<qsizetype>(s.size(), 3)));
    return tail.at(tail.size() - 1).size() == 1;
}

// Spaces and tabs off both ends, only where they are characters of their own: a leading blank
// that carries combining marks, or a trailing one joined to what precedes it, stays.
QStringView trimmed(QStringView s) {
    while (!s.isEmpty() && isBlank(s.back().unicode()) && endsInOwnCluster(s))
        s.chop(1);
    qsizetype from = 0;
    while (from < s.size() && isBlank(s[from].unicode())) {
        if (from + 1 < s.size() && s[from + 1].unicode() >= 0x300 &&
            GraphemeText(s.mid(from, 3)).at(0).size() > 1)
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
    if (i >= 3 && contains(multiDotAbbreviations, t.slice(i - 3, i)))
        return true;
    qsizetype wordStart = i;
    while (wordStart > 0 && t.isLetter(wordStart - 1))
        --wordStart;
    const QStringView word = t.slice(wordStart, i);
    if (contains(abbreviations, word))
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
        if (contains(multiWordAbbreviations, t.slice(previousStart, spacesStart), word))
            return true;
    }
    return i - wordStart == 1 && t.isUpper(wordStart);
}

// One run of English text without line breaks.
void splitEnglishSentences(QStringView text, Sentences& out) {
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
void splitChineseSentences(QStringView text, Sentences& out) {
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

Sentences englishSentences(const QString& text) {
    Sentences out;
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

Sentences chineseSentences(const QString& text) {
    Sentences out;
    const QString cleaned = withLineFeeds(text);
    for (QStringView line : QStringView(cleaned).split(u'\n')) {
        line = trimmed(line);
        if (!line.isEmpty())
            splitChineseSentences(line, out);
    }
    return out;
}

Sentences measured(const QStringList& texts) {
    Sentences out{texts, {}};
    out.lengths.reserve(size_t(texts.size()));
    for (const QString& s : texts)
        out.lengths.push_back(GraphemeText::length(s));
    return out;
}

double totalLength(const Sentences& sentences) {
    return double(std::accumulate(sentences.lengths.begin(), sentences.lengths.end(), qsizetype(0)));
}

// How many of many[k…] go with one sentence of the other side whose expected length is target:
// grow the group while each added sentence brings its length strictly closer to the target.
qsizetype groupSize(const Sentences& many, qsizetype k, qsizetype available, double target) {
    const double first = many.length(k);
    if (available < 2 || !(std::abs(first + many.length(k + 1) - target) < std::abs(first - target)))
        return 1;
    double sum = first + many.length(k + 1);
    for (qsizetype n = 2; n < available; ++n) {
        const double before = std::abs(sum - target);
        sum += many.length(k + n);
        if (!(std::abs(sum - target) < before))
            return n;
    }
    return available;
}

QString joined(const Sentences& sentences, qsizetype from, qsizetype count, QChar separator) {
    return count == 1 ? sentences.texts[from] : sentences.texts.mid(from, count).join(separator);
}

QList<SplitPair> align(const Sentences& english, const Sentences& chinese) {
    const qsizetype e = english.size(), z = chinese.size();
    QList<SplitPair> pairs;
    pairs.reserve(e == 0 || z == 0 ? e + z : std::min(e, z));
    if (e == 0 || z == 0 || e == z) {
        for (qsizetype i = 0; i < std::max(e, z); ++i)
            pairs.append({i < e ? english.texts[i] : QString(), i < z ? chinese.texts[i] : QString()});
        return pairs;
    }
    const double en = totalLength(english), zh = totalLength(chinese);
    qsizetype k = 0;
    if (e > z) {
        const double ratio = zh > 0 ? zh / en : 1.0;
        for (qsizetype j = 0; j < z; ++j) {
            const qsizetype available = (e - k) - (z - 1 - j);
            const double target = chinese.length(j) / ratio;
            const qsizetype take = j == z - 1 ? available : groupSize(english, k, available, target);
            pairs.append({joined(english, k, take, u' '), chinese.texts[j]});
            k += take;
        }
    } else {
        const double ratio = en > 0 ? zh / en : 1.0;
        for (qsizetype i = 0; i < e; ++i) {
            const qsizetype available = (z - k) - (e - 1 - i);
            const double target = ratio * english.length(i);
            const qsizetype take = i == e - 1 ? available : groupSize(chinese, k, available, target);
            pairs.append({english.texts[i], joined(chinese, k, take, u'\n')});
            k += take;
        }
    }
    return pairs;
}

} // namespace

QStringList SentenceSplitter::splitEnglish(const QString& text) {
    return englishSentences(text).texts;
}

QStringList SentenceSplitter::splitChinese(const QString& text) {
    return chineseSentences(text).texts;
}

QList<SplitPair> SentenceSplitter::pair(const QString& original, const QString& translation) {
    return align(englishSentences(original), chineseSentences(translation));
}

QList<SplitPair> SentenceSplitter::pairSentences(const QStringList& english, const QStringList& chinese) {
    return align(measured(english), measured(chinese));
}
