#include "result/HTMLRenderer.h"

#include "FuzzSupport.h"
#include "HtmlMarkupCheck.h"

#include <cstddef>
#include <cstdint>

// Input: answer, a NUL byte, original text.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype cut = bytes.indexOf('\0');
    const QString answer = QString::fromUtf8(cut < 0 ? bytes : bytes.left(cut));
    const QString original = cut < 0 ? QString() : QString::fromUtf8(bytes.mid(cut + 1));
    const bool splits = HTMLRenderer::canSplit(answer, original);
    const QString page =
        HTMLRenderer::renderSplit(answer, original, size % 2, 15, QStringLiteral("DeepSeek"));
    const QString content = contentOf(page);
    failIf(splits != content.contains(QStringLiteral("<div class=\"split-list\">")),
           QStringLiteral("split decision and page disagree"), content);
    // The content shows the original only when split, and never a book reader's attribution:
    // count the marks only where every one of them must come out.
    const QString problem = !splits ? markupProblem(content, answer)
                            : original.contains(QStringLiteral("摘录来自"))
                                ? markupProblem(content)
                                : markupProblem(content, answer + original);
    failIf(!problem.isEmpty(), problem, content);
    return 0;
}
