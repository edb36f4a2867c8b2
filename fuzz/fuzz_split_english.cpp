// Splits arbitrary text as English, its two halves as original and Chinese translation, and checks
// that no text is lost or invented and that every pair holds something.
#include "result/SentenceSplitter.h"

#include <QString>
#include <QTextBoundaryFinder>

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

// Where the last user-perceived character of `s` starts.
qsizetype lastCharacterStart(const QString& s) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, s);
    finder.toEnd();
    return finder.toPreviousBoundary();
}

// Sentences are non-empty, on one line, and trimmed: trimming takes whole user-perceived
// characters, so a leading blank may carry combining marks and a trailing one may follow
// a prepended mark such as U+06DD.
void checkSentences(const QStringList& sentences) {
    for (const QString& s : sentences) {
        check(!s.isEmpty());
        check(!s.contains(u'\n') && !s.contains(u'\r'));
        check(!isBlank(s.back()) || lastCharacterStart(s) < s.size() - 1);
        check(!isBlank(s.front()) || (s.size() > 1 && s[1].unicode() >= 0x300));
    }
}

QString withoutWhitespace(QString text) {
    text.remove(u' ');
    text.remove(u'\t');
    text.remove(u'\n');
    text.remove(u'\r');
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));

    const QStringList sentences = SentenceSplitter::splitEnglish(text);
    checkSentences(sentences);
    if (!text.contains(QStringLiteral("摘录来自《")))
        check(withoutWhitespace(sentences.join(QString())) == withoutWhitespace(text));

    // Cutting in the middle may leave half a surrogate pair on each side, which must be survived too.
    const QString original = text.left(text.size() / 2);
    const QString translation = text.mid(text.size() / 2);
    const QStringList english = SentenceSplitter::splitEnglish(original);
    const QStringList chinese = SentenceSplitter::splitChinese(translation);
    checkSentences(chinese);
    check(withoutWhitespace(chinese.join(QString())) == withoutWhitespace(translation));

    const QList<SplitPair> pairs = SentenceSplitter::pair(original, translation);
    const qsizetype e = english.size(), z = chinese.size();
    check(pairs.size() == (e == 0 || z == 0 ? e + z : std::min(e, z)));
    QStringList originals, translations;
    for (const SplitPair& p : pairs) {
        check(!p.original.isEmpty() || !p.translation.isEmpty());
        if (!p.original.isEmpty())
            originals << p.original;
        if (!p.translation.isEmpty())
            translations << p.translation;
    }
    check(originals.join(u' ') == english.join(u' '));
    check(translations.join(u'\n') == chinese.join(u'\n'));
    check(SentenceSplitter::pairSentences(english, chinese) == pairs);
    return 0;
}
