#include "result/HTMLRenderer.h"

#include "FuzzSupport.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString line = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const QStringList cells = HTMLRenderer::parseTableCells(line);
    failIf(cells.size() > line.count(u'|') + 1, QStringLiteral("more cells than pipes allow"), line);
    for (const QString& cell : cells) {
        const bool padded = !cell.isEmpty() && (cell.front() == u' ' || cell.front() == u'\t' ||
                                                cell.back() == u' ' || cell.back() == u'\t');
        failIf(padded, QStringLiteral("untrimmed cell: ") + cell, line);
    }
    if (HTMLRenderer::isTableSeparatorLine(line))
        for (const QString& cell : cells)
            for (QChar c : cell)
                failIf(c != u'-' && c != u':', QStringLiteral("separator with a foreign cell"), line);
    return 0;
}
