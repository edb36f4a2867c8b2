#pragma once

#include <QList>
#include <QRect>
#include <QString>

// A text line as the recogniser laid it out, word by word, in the pixels of the
// image it was given. Free of any recogniser types so the rules below are testable.
struct RecognizedWord {
    QString text;
    QRect box;
    float confidence = 0;   // 0..100
    double inkCoverage = 0; // share of the box's pixels that are ink, 0..1
};

struct RecognizedLine {
    QRect box;
    QList<RecognizedWord> words;
};

struct LineSegment {
    QString text;
    QRect box;
};

namespace RecognizedLineRules {

// A gap between two words wider than this many line heights separates columns. The line
// height is the crop's median: a row with a descender or an icon has a taller box, and its
// column gaps are no wider for it.
inline constexpr double kColumnGapInLineHeights = 1.0;
// Below this mean word confidence a line is noise. Real screen text measured 85-97
// per word; what icons were read as scored from 60 up, so this only catches the
// worst and the shape rule below does the rest.
inline constexpr float kMinimumLineConfidence = 50;
// A "word" at least this square and this full of ink is a filled icon (a dot, a
// badge) read as a character; glyph runs leave more background.
inline constexpr double kSolidShapeMinimumAspect = 0.6;
inline constexpr double kSolidShapeMinimumCoverage = 0.7;

// The height that scales the column-gap rule: the median ink height of the lines, 0 for
// none. (Tesseract's own row height in single-block mode is a block-wide estimate, half
// again too large.)
double medianLineHeight(const QList<RecognizedLine>& lines);

// Cuts a line wherever two neighbouring words stand more than kColumnGapInLineHeights times
// `lineHeight` apart; each piece spans the line's full height. Words with no text are
// skipped. Decorations (see isDecoration) and doubtful marks (see isDoubtfulMark) measure
// no gap: inside a column gap they are dropped, and decorations at either end of a piece too.
QList<LineSegment> splitAtColumnGaps(const RecognizedLine& line, double lineHeight);

// True when the line holds nothing worth reporting: no letter or digit, or a mean
// word confidence below kMinimumLineConfidence.
bool isNoise(const RecognizedLine& line);

// Chinese models make Tesseract write "中 文": spaces between two CJK characters
// (ideographs, kana, CJK and full-width punctuation) are dropped, others are kept.
QString removeSpacesBetweenCJK(const QString& text);
bool isCJK(char32_t codePoint);

bool isSolidShape(const RecognizedWord& word);
// A "word" of punctuation or symbols only, read with less than this confidence, is what
// the recogniser made of an empty gap (a stray "。" between two table cells).
inline constexpr float kMinimumMarkConfidence = 60;
bool isStrayMark(const RecognizedWord& word);
// A mark read with less than this confidence is too doubtful to bridge a column gap (a
// "。" read at 60 from the space between two table cells); real glyphs measured 85-97.
inline constexpr float kMinimumGapMarkConfidence = 85;
bool isDoubtfulMark(const RecognizedWord& word);
// The line without its solid shapes and stray marks.
RecognizedLine withoutNoiseWords(RecognizedLine line);

// A word that is what icons, bullets and the sides of boxes read as ("@", "|",
// "[", "●"): no letter or digit, only bracket, bar and symbol characters.
bool isDecoration(const QString& word);

} // namespace RecognizedLineRules
