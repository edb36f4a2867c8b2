#include "result/HTMLRenderer.h"
#include "text/TextNormalizer.h"

namespace {

const QString& pageHead() {
    static const QString head =
        QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><meta name=\"viewport\" "
                       "content=\"width=device-width,initial-scale=1.0\">\n<style>\n");
    return head;
}

const QString& rulesBeforeFontSize() { // followed by the html rule
    static const QString rules = QStringLiteral(":root{color-scheme:light dark}\n");
    return rules;
}

const QString& rulesAfterFontSize() {
    static const QString rules = QStringLiteral(
        "*{box-sizing:border-box;margin:0;padding:0}\n"
        "body{font-family:-apple-system,BlinkMacSystemFont,\"SF Pro Text\",\"PingFang SC\",\"Microsoft "
        "YaHei\",\"Noto Sans CJK SC\",sans-serif;font-size:1rem;line-height:1.7;padding:0}\n"
        "body.light{color:#1d1d1f;background:#fff}\n"
        "body.dark{color:#e5e5e7;background:#1c1c1e}\n"
        ".original-box{position:sticky;top:0;z-index:10;border-bottom:1px solid;padding:14px "
        "24px;font-size:1.07rem;font-style:italic;max-height:50vh;overflow-y:auto;overflow-wrap:break-word}\n"
        "body.light .original-box{background:#e8f0fe;border-bottom-color:#b8d4fe;color:#1a3a6b}\n"
        "body.dark .original-box{background:#1c1c1e;border-bottom-color:#3a3a3c;color:#e5e5e7}\n"
        ".content{padding:18px 24px 20px}\n"
        "h2{font-size:1.21rem;font-weight:600;margin:20px 0 12px;padding-bottom:8px;border-bottom:2px solid "
        "#0071e3}\n"
        "body.dark h2{color:#fff;border-bottom-color:#0a84ff}\n"
        "code{padding:2px 6px;border-radius:4px;font-family:\"SF Mono\",Menlo,\"DejaVu Sans Mono\",\"Noto "
        "Sans Mono CJK "
        "SC\",monospace;font-size:0.93rem}\n"
        "body.light code{background:#f0f0f2;color:#9b4d1c}\n"
        "body.dark code{background:#3a3a3c;color:#ff9f0a}\n"
        "body.light strong{color:#0071e3}\n"
        "body.dark strong{color:#5eafff}\n"
        "blockquote{border-left:4px solid;padding:10px 16px;margin:8px 0 12px;border-radius:0 8px 8px "
        "0;font-size:1.07rem}\n"
        "body.light blockquote{background:#f9f9fb;border-left-color:#0071e3;color:#3a3a3c}\n"
        "body.dark blockquote{background:#2c2c2e;border-left-color:#0a84ff;color:#c0c0c5}\n"
        ".split-list{display:flex;flex-direction:column;gap:10px;margin:8px 0 4px}\n"
        ".split-pair{border:1px solid;border-radius:8px;padding:10px 14px}\n"
        "body.light .split-pair{background:#f5f5f7;border-color:#e5e5e7}\n"
        "body.dark .split-pair{background:#2c2c2e;border-color:#3a3a3c}\n"
        ".split-original{font-style:italic;margin-bottom:4px;overflow-wrap:break-word}\n"
        "body.light .split-original{color:#1a3a6b}\n"
        "body.dark .split-original{color:#8ab4f8}\n"
        ".split-translation{overflow-wrap:break-word}\n"
        "body.light .split-translation{color:#1d1d1f}\n"
        "body.dark .split-translation{color:#e5e5e7}\n"
        ".split-warning{padding:10px 14px;margin:0 0 8px;border-radius:8px;font-size:0.93rem;border:1px "
        "solid}\n"
        "body.light .split-warning{background:#fff3cd;color:#8a6d3b;border-color:#ffe08a}\n"
        "body.dark .split-warning{background:#3a2f00;color:#ffd75e;border-color:#5c4a00}\n"
        "table{width:100%;border-collapse:collapse;margin:10px 0 16px;font-size:0.93rem}\n"
        "th{padding:10px 12px;text-align:left;font-weight:600}\n"
        "td{padding:8px 12px;border-bottom:1px solid;vertical-align:top}\n"
        "body.light th{background:#f5f5f7;color:#1d1d1f}\n"
        "body.light td{border-color:#e5e5e7;color:#1d1d1f}\n"
        "body.dark th{background:#2c2c2e;color:#fff}\n"
        "body.dark td{border-color:#3a3a3c;color:#e5e5e7}\n"
        "p{margin:6px 0}\n"
        "ul,ol{margin:8px 0;padding-left:20px}\n"
        "li{margin:4px 0}\n"
        ".footer{margin-top:20px;padding-top:12px;border-top:1px solid;font-size:0.79rem;text-align:center}\n"
        "body.light .footer{border-top-color:#e5e5e7;color:#86868b}\n"
        "body.dark .footer{border-top-color:#3a3a3c;color:#8e8e93}");
    return rules;
}

} // namespace

QString HTMLRenderer::originalBoxHTML(const QString& text) {
    QString html = TextNormalizer::normalizeLineBreaks(text);
    html.replace(u'&', QStringLiteral("&amp;"));
    html.replace(u'<', QStringLiteral("&lt;"));
    html.replace(u'>', QStringLiteral("&gt;"));
    html.replace(QStringLiteral("\n\n"), QStringLiteral("<br><br>"));
    return QStringLiteral("<strong>📝 原文：</strong><br>") + html;
}

QString HTMLRenderer::shell(const QString& body, const std::optional<QString>& originalBox, bool isDark,
                            int fontSize, const QString& providerLabel) {
    QString page;
    page.reserve(pageHead().size() + rulesAfterFontSize().size() + body.size() +
                 (originalBox ? originalBox->size() : 0) + 256);
    page += pageHead();
    page += rulesBeforeFontSize();
    page += QStringLiteral("html{font-size:%1px}\n").arg(fontSize);
    page += rulesAfterFontSize();
    page += QStringLiteral("\n</style>\n</head><body class=\"");
    page += isDark ? QStringLiteral("dark") : QStringLiteral("light");
    page += QStringLiteral("\">\n");
    if (originalBox) {
        page += QStringLiteral("<div class=\"original-box\">");
        page += *originalBox;
        page += QStringLiteral("</div>");
    }
    page += QStringLiteral("\n<div class=\"content\">\n");
    page += body;
    page += QStringLiteral("\n<div class=\"footer\">Powered by ");
    page += providerLabel.toHtmlEscaped();
    page += QStringLiteral(" AI · VYRN — 截图即译，精读利器</div>\n</div>\n</body></html>");
    return page;
}

QString HTMLRenderer::renderPage(const QString& markdown, const QString& originalText, bool isDark,
                                 int fontSize, const QString& providerLabel) {
    return shell(markdownBodyToHTML(markdown), originalBoxHTML(originalText), isDark, fontSize,
                 providerLabel);
}
