#include "result/HTMLRenderer.h"
#include "result/StreamedPage.h"

#include "FuzzSupport.h"
#include "HtmlMarkupCheck.h"

#include <cstddef>
#include <cstdint>

// Input: answer, a NUL byte, original text. The answer arrives in pieces of 1 to 16 characters
// (the lengths taken from the answer's own characters); whatever has arrived shows as sound
// markup, and the finished page, split or not, is exactly the one rendered at once.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype cut = bytes.indexOf('\0');
    const QString answer = QString::fromUtf8(cut < 0 ? bytes : bytes.left(cut));
    const QString original = cut < 0 ? QString() : QString::fromUtf8(bytes.mid(cut + 1));
    const QString label = QStringLiteral("Qwen");
    for (const bool split : {false, true}) {
        StreamedPage page(original, split);
        for (qsizetype end = 1; end < answer.size(); end += 1 + answer[end].unicode() % 16) {
            page.update(answer.first(end));
            for (const QString& block : page.blocks())
                failIf(!markupProblem(block).isEmpty(), markupProblem(block), block);
        }
        page.update(answer + u'\n'); // the finished answer may come trimmed
        page.finish(answer);
        const bool splits = split && HTMLRenderer::canSplit(answer, original);
        const QString body = page.blocks().join(QString());
        const QString streamed = HTMLRenderer::shell(
            body, splits ? std::nullopt : std::optional(HTMLRenderer::originalBoxHTML(original)), false, 15,
            label);
        const QString whole = splits ? HTMLRenderer::renderSplit(answer, original, false, 15, label)
                                     : HTMLRenderer::renderPage(answer, original, false, 15, label);
        failIf(page.isSplit() != splits || streamed != whole, QStringLiteral("streamed page differs"), body);
    }
    return 0;
}
