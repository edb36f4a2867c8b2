#include "result/HTMLRenderer.h"

#include "FuzzSupport.h"
#include "HtmlMarkupCheck.h"

#include <cstddef>
#include <cstdint>

// Whatever the answer, the fragment holds only the renderer's own, balanced markup,
// and every U+E000 of the answer comes out as itself.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString answer = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const QString& html :
         {HTMLRenderer::markdownBodyToHTML(answer), HTMLRenderer::inlineMarkdownToHTML(answer)}) {
        const QString problem = markupProblem(html, answer);
        failIf(!problem.isEmpty(), problem, html);
    }
    return 0;
}
