#pragma once

#include "ocr/OCRBlock.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// Rebuilds the layout of recognised lines: a Markdown pipe table when the blocks form one,
// otherwise text in reading order with blank lines between paragraphs. Stateless; every
// operation is safe on any thread.
class TableExtractor {
public:
    TableExtractor() = delete;

    // Nothing when the blocks are not taken as a table: at least two columns, at least two
    // rows and half of all rows with two filled cells, no cell of more than three lines.
    static std::optional<QString> tableMarkdown(const QList<OCRBlock>& blocks);
    static QString flatText(const QList<OCRBlock>& blocks);

    // Rows of cell texts, first row the header.
    static QString formatMarkdownTable(const QList<QStringList>& grid);
    static std::optional<double> median(QList<double> values);
    // The texts of one visual line, left to right, joined with one space.
    static QString lineText(const QList<OCRBlock>& blocks);

    // Tab-separated text (as copied from a spreadsheet) as a Markdown pipe table; any text
    // that is not taken as tab-separated is returned unaltered.
    static QString detectAndConvertTabSeparated(const QString& text);
};
