#pragma once

#include <QRegularExpression>
#include <QString>

// Re-flows hard-wrapped text for display: paragraphs separated by exactly one blank
// line, each paragraph on one line. Pure and safe on any thread.
namespace TextNormalizer {

// A line feed followed by indentation: such a line starts a new paragraph.
// Created once, compiled before first use, then only read.
const QRegularExpression& newlineIndentRegex();

QString normalizeLineBreaks(const QString& text);

} // namespace TextNormalizer
