#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One row of the split view: English sentences beside the Chinese that translates them.
// Either side may be empty, never both.
struct SplitPair {
    QString original;
    QString translation;

    friend bool operator==(const SplitPair&, const SplitPair&) = default;
};

// Cuts an English original and its Chinese translation into sentences and aligns them by length.
// Lengths count user-perceived characters (grapheme clusters), not UTF-16 code units.
class SentenceSplitter {
public:
    SentenceSplitter() = delete;

    // Sentences of an English text. Book-reader attributions are dropped, lines of one paragraph
    // form one run of text and a blank line ("\n\n") always ends a sentence.
    static QStringList splitEnglish(const QString& text);

    // Sentences of a Chinese text; every line is split on its own.
    static QStringList splitChinese(const QString& text);

    // Aligned pairs of splitEnglish(original) and splitChinese(translation); as many pairs as the
    // smaller of the two sentence counts when both are non-zero.
    static QList<SplitPair> pair(const QString& original, const QString& translation);

    // The same alignment for sentences already split, so a caller that also needs the counts
    // splits only once.
    static QList<SplitPair> pairSentences(const QStringList& english, const QStringList& chinese);
};
