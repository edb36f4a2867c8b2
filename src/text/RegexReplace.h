#pragma once

#include <QRegularExpression>
#include <QString>

#include <functional>

// Replaces every non-overlapping match of `regex` in `text`, left to right.
// QRegularExpression refuses to match anywhere in a text that holds an unpaired UTF-16
// surrogate, so one stray unit in copied or recognised text would leave the whole text
// uncleaned. Matching runs on a copy where each one stands in as U+FFFD (same length, so
// every offset carries over) and the replacement is assembled from the original.
// `replacement` receives the original text and the match found in the copy.
QString
replaceEachMatch(const QString& text, const QRegularExpression& regex,
                 const std::function<QString(const QString&, const QRegularExpressionMatch&)>& replacement);

// The capture `group` of `match` taken from `text` (the text the match offsets refer to).
QString capturedFrom(const QString& text, const QRegularExpressionMatch& match, int group);
