#include "result/HTMLRenderer.h"

#include "FuzzSupport.h"
#include "HtmlMarkupCheck.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    useScratchSettings();
    return 0;
}

// Input: answer, a NUL byte, original text.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype cut = bytes.indexOf('\0');
    const QString answer = QString::fromUtf8(cut < 0 ? bytes : bytes.left(cut));
    const QString original = cut < 0 ? QString() : QString::fromUtf8(bytes.mid(cut + 1));
    const bool splits = HTMLRenderer::canSplit(answer, original);
    const QString page = HTMLRenderer::renderSplit(answer, original, size % 2, 15);
    const QString content = contentOf(page);
    failIf(splits != content.contains(QStringLiteral("<div class=\"split-list\">")),
           QStringLiteral("split decision and page disagree"), content);
    const QString problem = markupProblem(content);
    failIf(!problem.isEmpty(), problem, content);
    return 0;
}
