#include "engine/SettingsManager.h"
#include "result/HTMLRenderer.h"
#include "support/TestEnvironment.h"

#include "HtmlMarkupCheck.h"

#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

using Cells = QStringList;

namespace {

// "[heading] body" per section; "[-]" marks a section without heading.
QStringList describe(const QList<MarkdownSection>& sections) {
    QStringList out;
    for (const MarkdownSection& s : sections)
        out.append(QStringLiteral("[%1] %2").arg(s.heading ? *s.heading : QStringLiteral("-"), s.body));
    return out;
}

QString readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

// The literal regular expressions and replace-from-the-end order the renderer's
// linear scanners must agree with, for answers without tables, headings or escapes.
QString referenceBody(QString text) {
    static const QRegularExpression code(QStringLiteral("`([^`]+)`"));
    static const QRegularExpression bold(QStringLiteral("\\*\\*([^\\n]+?)\\*\\*"));
    QList<QRegularExpressionMatch> matches;
    for (auto it = code.globalMatch(text); it.hasNext();)
        matches.append(it.next());
    QStringList codes(matches.size());
    for (qsizetype i = matches.size() - 1; i >= 0; --i) {
        codes[i] = QStringLiteral("<code>") + matches[i].captured(1) + QStringLiteral("</code>");
        text.replace(matches[i].capturedStart(), matches[i].capturedLength(),
                     QChar(0xE000) + QString::number(i) + QChar(0xE000));
    }
    text.replace(bold, QStringLiteral("<strong>\\1</strong>"));
    text.replace(QStringLiteral("\n\n"), QStringLiteral("</p><p>"));
    text.replace(QStringLiteral("\n"), QStringLiteral("<br>"));
    text = QStringLiteral("<p>") + text + QStringLiteral("</p>");
    text.remove(QStringLiteral("<p></p>"));
    text.remove(QStringLiteral("<p><br></p>"));
    for (qsizetype i = 0; i < codes.size(); ++i)
        text.replace(QChar(0xE000) + QString::number(i) + QChar(0xE000), codes[i]);
    return text;
}

QString randomText(QRandomGenerator& rng, const QStringList& tokens, int maxTokens) {
    QString text;
    const int count = rng.bounded(maxTokens + 1);
    for (int i = 0; i < count; ++i)
        text += tokens[rng.bounded(int(tokens.size()))];
    return text;
}

const QString kPlaceholder0 = QStringLiteral("\uE0000\uE000");

} // namespace

class TestHTMLRenderer : public QObject {
    Q_OBJECT
    TestEnvironment env;

private Q_SLOTS:
    void initTestCase() { SettingsManager::resetSharedForTesting(env.newPreferencesPath()); }

    void parseSections_data() {
        QTest::addColumn<QString>("markdown");
        QTest::addColumn<QStringList>("sections");
        QTest::newRow("empty") << QString() << QStringList();
        QTest::newRow("no heading") << QStringLiteral("  只有正文\n\n")
                                    << QStringList{QStringLiteral("[-] 只有正文")};
        QTest::newRow("preamble and sections")
            << QStringLiteral("前言\n## 中文翻译\n你好。\n\n## 重要词汇\n\n| a |\n")
            << QStringList{QStringLiteral("[-] 前言"), QStringLiteral("[中文翻译] 你好。"),
                           QStringLiteral("[重要词汇] | a |")};
        QTest::newRow("heading directly followed by heading")
            << QStringLiteral("## A\n## B\ntext") << QStringList{QStringLiteral("[B] text")};
        QTest::newRow("blank-only bodies") << QStringLiteral("## A\n\n \t\n## B\n") << QStringList();
        QTest::newRow("three hashes is body")
            << QStringLiteral("### x\ny") << QStringList{QStringLiteral("[-] ### x\ny")};
        QTest::newRow("indented hashes is body")
            << QStringLiteral("x\n ## 核查\ny") << QStringList{QStringLiteral("[-] x\n ## 核查\ny")};
        QTest::newRow("tab after hashes is body")
            << QStringLiteral("##\t核查\ny") << QStringList{QStringLiteral("[-] ##\t核查\ny")};
        QTest::newRow("bare heading has an empty name")
            << QStringLiteral("## A\nx\n## \ny")
            << QStringList{QStringLiteral("[A] x"), QStringLiteral("[] y")};
        QTest::newRow("heading trimmed of blanks only") << QStringLiteral("## \t核查 \u3000\t\n 正文 ")
                                                        << QStringList{QStringLiteral("[核查 \u3000] 正文")};
        QTest::newRow("body keeps inner blank lines")
            << QStringLiteral("## 核查\n\na\n\n\nb\n\n") << QStringList{QStringLiteral("[核查] a\n\n\nb")};
    }
    void parseSections() {
        QFETCH(QString, markdown);
        QFETCH(QStringList, sections);
        QCOMPARE(describe(HTMLRenderer::parseSections(markdown)), sections);
    }

    void isTableSeparatorLine_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("separator");
        QTest::newRow("plain") << QStringLiteral("|---|---|") << true;
        QTest::newRow("aligned, spaced") << QStringLiteral("  | :-- | :-: | --: |\t") << true;
        QTest::newRow("empty pieces dropped") << QStringLiteral("|-||-|") << true;
        QTest::newRow("single pipe") << QStringLiteral("|") << false;
        QTest::newRow("no cell") << QStringLiteral("||") << false;
        QTest::newRow("blank cell") << QStringLiteral("|-| |") << false;
        QTest::newRow("other character") << QStringLiteral("|-a-|") << false;
        QTest::newRow("space inside cell") << QStringLiteral("|- -|") << false;
        QTest::newRow("no closing pipe") << QStringLiteral("|---") << false;
        QTest::newRow("no pipes") << QStringLiteral("---") << false;
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("trailing newline is not trimmed") << QStringLiteral("|-|\r") << false;
    }
    void isTableSeparatorLine() {
        QFETCH(QString, line);
        QFETCH(bool, separator);
        QCOMPARE(HTMLRenderer::isTableSeparatorLine(line), separator);
    }

    void isTableBody_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("table");
        QTest::newRow("separator inside") << QStringLiteral("a\n  |---|  \nb") << true;
        QTest::newRow("rows only") << QStringLiteral("| a |\n| b |") << false;
        QTest::newRow("prose") << QStringLiteral("你好。世界。") << false;
        QTest::newRow("empty") << QString() << false;
    }
    void isTableBody() {
        QFETCH(QString, text);
        QFETCH(bool, table);
        QCOMPARE(HTMLRenderer::isTableBody(text), table);
    }

    void parseTableCells_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<Cells>("cells");
        QTest::newRow("outer pipes") << QStringLiteral("\t| a | b |  ") << Cells{"a", "b"};
        QTest::newRow("no outer pipes") << QStringLiteral("a | b") << Cells{"a", "b"};
        QTest::newRow("escaped pipe") << QStringLiteral("|a\\|b|c|") << Cells{"a|b", "c"};
        QTest::newRow("two backslashes split") << QStringLiteral("|a\\\\|b|") << Cells{"a\\", "b"};
        QTest::newRow("three backslashes keep") << QStringLiteral("|a\\\\\\|b|") << Cells{"a\\|b"};
        QTest::newRow("backslash elsewhere") << QStringLiteral("|a\\b|") << Cells{"a\\b"};
        QTest::newRow("trailing backslashes") << QStringLiteral("|a\\\\") << Cells{"a\\"};
        QTest::newRow("inner empty cell kept") << QStringLiteral("| |a||") << Cells{"", "a", ""};
        QTest::newRow("two pipes") << QStringLiteral("||") << Cells{""};
        QTest::newRow("one pipe") << QStringLiteral("|") << Cells{};
        QTest::newRow("empty") << QString() << Cells{};
    }
    void parseTableCells() {
        QFETCH(QString, line);
        QFETCH(Cells, cells);
        QCOMPARE(HTMLRenderer::parseTableCells(line), cells);
    }

    void convertMarkdownTables_data() {
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        QTest::newRow("padded and cut rows")
            << QStringLiteral("|a|b|\n|-|-|\n|1|\n|1|2|3|")
            << QStringLiteral(
                   "<table><thead><tr><th>a</th><th>b</th></tr></thead><tbody><tr><td>1</td><td></td>"
                   "</tr><tr><td>1</td><td>2</td></tr></tbody></table>");
        QTest::newRow("text around, header only")
            << QStringLiteral("x\n | a | \n|:-:|\ny")
            << QStringLiteral("x\n<table><thead><tr><th>a</th></tr></thead><tbody></tbody></table>\ny");
        QTest::newRow("separator-like row after the separator is data")
            << QStringLiteral("|a|\n|-|\n|-|")
            << QStringLiteral(
                   "<table><thead><tr><th>a</th></tr></thead><tbody><tr><td>-</td></tr></tbody></table>");
        QTest::newRow("no separator") << QStringLiteral("|a|\n|b|") << QStringLiteral("|a|\n|b|");
        QTest::newRow("last line") << QStringLiteral("x\n|a|") << QStringLiteral("x\n|a|");
        QTest::newRow("two tables")
            << QStringLiteral("|a|\n|-|\n\n|b|\n|-|\n|c|")
            << QStringLiteral(
                   "<table><thead><tr><th>a</th></tr></thead><tbody></tbody></table>\n\n"
                   "<table><thead><tr><th>b</th></tr></thead><tbody><tr><td>c</td></tr></tbody></table>");
    }
    void convertMarkdownTables() {
        QFETCH(QString, in);
        QFETCH(QString, out);
        QCOMPARE(HTMLRenderer::convertMarkdownTables(in), out);
    }

    void protectInlineCode_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("protectedText");
        QTest::addColumn<QStringList>("codes");
        QTest::newRow("none") << QStringLiteral("a ` b") << QStringLiteral("a ` b") << QStringList();
        QTest::newRow("two spans") << QStringLiteral("a `b` c `d|e`")
                                   << QStringLiteral("a \uE0000\uE000 c \uE0001\uE000")
                                   << QStringList{"<code>b</code>", "<code>d|e</code>"};
        QTest::newRow("empty span is no span")
            << QStringLiteral("``") << QStringLiteral("``") << QStringList();
        QTest::newRow("triple backticks") << QStringLiteral("```a```") << QStringLiteral("``\uE0000\uE000``")
                                          << QStringList{"<code>a</code>"};
        QTest::newRow("spans lines") << QStringLiteral("`a\n\nb`") << kPlaceholder0
                                     << QStringList{"<code>a\n\nb</code>"};
    }
    void protectInlineCode() {
        QFETCH(QString, text);
        QFETCH(QString, protectedText);
        QFETCH(QStringList, codes);
        const ProtectedInlineCode result = HTMLRenderer::protectInlineCode(text);
        QCOMPARE(result.text, protectedText);
        QCOMPARE(result.codes, codes);
    }

    void markdownBodyToHTML_data() {
        QTest::addColumn<QString>("markdown");
        QTest::addColumn<QString>("html");
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("blank lines only") << QStringLiteral("\n\n\n\n\n") << QString();
        QTest::newRow("line breaks and paragraphs")
            << QStringLiteral("a\nb\n\nc\n\n\nd\n")
            << QStringLiteral("<p>a<br>b</p><p>c</p><p><br>d<br></p>");
        QTest::newRow("known heading")
            << QStringLiteral("## 中文翻译\n你好") << QStringLiteral("<p><h2>中文翻译</h2><br>你好</p>");
        QTest::newRow("known heading with trailing text")
            << QStringLiteral("## 常用短语与习语（3 条）")
            << QStringLiteral("<p><h2>常用短语与习语</h2>（3 条）</p>");
        QTest::newRow("unknown heading stays text")
            << QStringLiteral("## Notes\nx") << QStringLiteral("<p>## Notes<br>x</p>");
        QTest::newRow("bold") << QStringLiteral("**a** and **b c**")
                              << QStringLiteral("<p><strong>a</strong> and <strong>b c</strong></p>");
        QTest::newRow("bold across a line break")
            << QStringLiteral("**a\nb**") << QStringLiteral("<p>**a<br>b**</p>");
        QTest::newRow("unpaired bold") << QStringLiteral("**a") << QStringLiteral("<p>**a</p>");
        QTest::newRow("four asterisks") << QStringLiteral("****") << QStringLiteral("<p>****</p>");
        QTest::newRow("five asterisks")
            << QStringLiteral("*****") << QStringLiteral("<p><strong>*</strong></p>");
        QTest::newRow("code is verbatim")
            << QStringLiteral("`**x** ## 中文翻译 | <b>`")
            << QStringLiteral("<p><code>**x** ## 中文翻译 | &lt;b&gt;</code></p>");
        QTest::newRow("lone backtick") << QStringLiteral("a ` b") << QStringLiteral("<p>a ` b</p>");
        QTest::newRow("escaping") << QStringLiteral("Tom & \"Jerry\" &amp; <i>")
                                  << QStringLiteral("<p>Tom &amp; &quot;Jerry&quot; &amp;amp; &lt;i&gt;</p>");
        QTest::newRow("table then line break")
            << QStringLiteral("| 词 | 释义 |\n|---|---|\n| **apple** | 苹果 |\n下一行")
            << QStringLiteral(
                   "<p><table><thead><tr><th>词</th><th>释义</th></tr></thead><tbody><tr><td><strong>apple"
                   "</strong></td><td>苹果</td></tr></tbody></table><br>下一行</p>");
        QTest::newRow("header without separator")
            << QStringLiteral("| a | b |\n| c | d |") << QStringLiteral("<p>| a | b |<br>| c | d |</p>");
        QTest::newRow("pipe in code does not split a cell")
            << QStringLiteral("|a|b|\n|-|-|\n|`x|y`|z|")
            << QStringLiteral(
                   "<p><table><thead><tr><th>a</th><th>b</th></tr></thead><tbody><tr><td><code>x|y</code>"
                   "</td><td>z</td></tr></tbody></table></p>");
        QTest::newRow("bold pair across cells stays literal")
            << QStringLiteral("|h|i|\n|-|-|\n|**a|b**|")
            << QStringLiteral("<p><table><thead><tr><th>h</th><th>i</th></tr></thead><tbody><tr><td>**a</td>"
                              "<td>b**</td></tr></tbody></table></p>");
        QTest::newRow("bold across cells next to whole bold")
            << QStringLiteral("|h|i|\n|-|-|\n|**x** **a|b** **y**|")
            << QStringLiteral("<p><table><thead><tr><th>h</th><th>i</th></tr></thead><tbody><tr><td><strong>x"
                              "</strong> **a</td><td>b** <strong>y</strong></td></tr></tbody></table></p>");
        QTest::newRow("literal placeholder stays text")
            << QStringLiteral("`x` \uE0000\uE000 \uE0001\uE000")
            << QStringLiteral("<p><code>x</code> \uE0000\uE000 \uE0001\uE000</p>");
        QTest::newRow("literal placeholder inside code")
            << QStringLiteral("`\uE0000\uE000`") << QStringLiteral("<p><code>\uE0000\uE000</code></p>");
    }
    void markdownBodyToHTML() {
        QFETCH(QString, markdown);
        QFETCH(QString, html);
        QCOMPARE(HTMLRenderer::markdownBodyToHTML(markdown), html);
    }

    void inlineMarkdownToHTML_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("html");
        QTest::newRow("bold and code") << QStringLiteral("你好**世界**，`x<y`")
                                       << QStringLiteral("你好<strong>世界</strong>，<code>x&lt;y</code>");
        QTest::newRow("line breaks, bold across them")
            << QStringLiteral("**a\nb**\n\nc") << QStringLiteral("<strong>a<br>b</strong><br><br>c");
        QTest::newRow("no headings or tables")
            << QStringLiteral("## 中文翻译\n|a|\n|-|") << QStringLiteral("## 中文翻译<br>|a|<br>|-|");
        QTest::newRow("literal placeholder")
            << QStringLiteral("`a`\uE0000\uE000") << QStringLiteral("<code>a</code>\uE0000\uE000");
        QTest::newRow("empty") << QString() << QString();
    }
    void inlineMarkdownToHTML() {
        QFETCH(QString, text);
        QFETCH(QString, html);
        QCOMPARE(HTMLRenderer::inlineMarkdownToHTML(text), html);
    }

    void originalBoxHTML_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("html");
        const QString prefix = QStringLiteral("<strong>📝 原文：</strong><br>");
        QTest::newRow("quotes stay, markup escaped")
            << QStringLiteral("He said \"hi\" & <b>")
            << prefix + QStringLiteral("He said \"hi\" &amp; &lt;b&gt;");
        QTest::newRow("re-flowed paragraphs") << QStringLiteral("line one\nline two\n\n  para two")
                                              << prefix + QStringLiteral("line one line two<br><br>para two");
        QTest::newRow("empty") << QString() << prefix;
    }
    void originalBoxHTML() {
        QFETCH(QString, text);
        QFETCH(QString, html);
        QCOMPARE(HTMLRenderer::originalBoxHTML(text), html);
    }

    // The scanners that replace the two regular expressions must find the same spans.
    void scannersAgreeWithRegularExpressions() {
        const QStringList tokens{"*", "**", "`", "a", " ", "\n"};
        QRandomGenerator rng(20260);
        for (int i = 0; i < 5000; ++i) {
            const QString text = randomText(rng, tokens, 24);
            QCOMPARE(HTMLRenderer::markdownBodyToHTML(text), referenceBody(text));
        }
    }

    void footerAndSchemeAtRenderTime_data() {
        QTest::addColumn<AIProvider>("provider");
        QTest::addColumn<bool>("isDark");
        QTest::addColumn<QString>("footer");
        QTest::addColumn<QString>("bodyTag");
        QTest::newRow("deepseek light")
            << AIProvider::deepseek << false << QStringLiteral("Powered by DeepSeek AI")
            << QStringLiteral("<body class=\"light\">\n");
        QTest::newRow("qwen dark") << AIProvider::qwen << true << QStringLiteral("Powered by 千问 AI")
                                   << QStringLiteral("<body class=\"dark\">\n");
    }
    void footerAndSchemeAtRenderTime() {
        QFETCH(AIProvider, provider);
        QFETCH(bool, isDark);
        QFETCH(QString, footer);
        QFETCH(QString, bodyTag);
        SettingsManager::shared().setApiProvider(provider);
        const QString page = HTMLRenderer::shell(QStringLiteral("<p>x</p>"), std::nullopt, isDark, 17);
        QVERIFY(page.contains(bodyTag));
        QVERIFY(page.contains(QStringLiteral("html{font-size:17px}")));
        QVERIFY(page.endsWith(QStringLiteral("<div class=\"footer\">") + footer +
                              QStringLiteral(" · VYRN — 截图即译，精读利器</div>\n</div>\n</body></html>")));
        QVERIFY(!page.contains(QStringLiteral("original-box\">")));
        SettingsManager::shared().setApiProvider(AIProvider::deepseek);
    }

    void goldenPage() {
        SettingsManager::shared().setApiProvider(AIProvider::qwen);
        const QString markdown = readFile(QStringLiteral(VYRN_RESULT_TEST_DATA "/answer.md"));
        const QString original = readFile(QStringLiteral(VYRN_RESULT_TEST_DATA "/original.txt"));
        const QString golden = readFile(QStringLiteral(VYRN_RESULT_TEST_DATA "/page-light-15.html"));
        QVERIFY(!markdown.isEmpty() && !golden.isEmpty());
        QCOMPARE(HTMLRenderer::renderPage(markdown, original, false, 15), golden);
        SettingsManager::shared().setApiProvider(AIProvider::deepseek);
    }

    // No answer can contribute markup of its own: every tag in the output is one the
    // renderer writes, nested properly, and placeholders only stand for real spans.
    void hostileAnswers_data() {
        QTest::addColumn<QString>("answer");
        QTest::newRow("script") << QStringLiteral("<script>fetch('http://127.0.0.1/x')</script>");
        QTest::newRow("style") << QStringLiteral("<style>body{background:url(http://127.0.0.1/x)}</style>");
        QTest::newRow("event attribute") << QStringLiteral("<img src=x onerror=\"alert(1)\">");
        QTest::newRow("javascript url")
            << QStringLiteral("[x](javascript:alert(1)) <a href='javascript:x'>x</a>");
        QTest::newRow("remote url") << QStringLiteral(
            "![x](http://127.0.0.1/a.png) <iframe src=//127.0.0.1>");
        QTest::newRow("entities") << QStringLiteral("&lt;script&gt; &#60;b&#62; &#x3C;i&#x3E; &amp;");
        QTest::newRow("unbalanced tags") << QStringLiteral("</p></div></body></html><div><table><tr>");
        QTest::newRow("attribute breakout") << QStringLiteral("\" onmouseover=\"x\" '");
        QTest::newRow("markup in code") << QStringLiteral("`</code><script>x</script>` **`<b>`**");
        QTest::newRow("markup around code") << QStringLiteral("<`x`> **<**`a`**>**");
        QTest::newRow("markup in table") << QStringLiteral(
            "| <td onclick=x> | **a|b** |\n|---|---|\n| `|</td>` | <img src=x> | c |\n</table>");
        QTest::newRow("bold across cells and lines")
            << QStringLiteral("|**a|b**|**c|\n|-|-|-|\n|d**|**e|f**|");
        QTest::newRow("heading with markup") << QStringLiteral("## 中文翻译<script>\n## 核查\"><img>");
        QTest::newRow("placeholders") << QStringLiteral("\uE0000\uE000`<i>`\uE0000\uE000\uE000\uE0001\uE000");
    }
    void hostileAnswers() {
        QFETCH(QString, answer);
        for (const QString& html :
             {HTMLRenderer::markdownBodyToHTML(answer), HTMLRenderer::inlineMarkdownToHTML(answer),
              contentOf(HTMLRenderer::renderPage(answer, answer, true, 15))}) {
            const QString problem = markupProblem(html);
            QVERIFY2(problem.isEmpty(), qPrintable(problem + QStringLiteral(" in ") + html));
            QCOMPARE(html.count(QChar(0xE000)), answer.count(QChar(0xE000)));
        }
        const QString box = HTMLRenderer::originalBoxHTML(answer);
        const QString problem = markupProblem(box, true);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }

    void randomHostileAnswersStayText() {
        const QStringList tokens{"<",  ">",  "&",        "\"",          "`",   "**",  "|",
                                 "\\", "\n", "\n\n",     "## 中文翻译", "|-|", "a",   "\uE000",
                                 "0",  "1",  "<script>", "&lt;",        " ",   "## ", "|---|---|\n"};
        QRandomGenerator rng(7);
        for (int i = 0; i < 3000; ++i) {
            const QString answer = randomText(rng, tokens, 30);
            for (const QString& html :
                 {HTMLRenderer::markdownBodyToHTML(answer), HTMLRenderer::inlineMarkdownToHTML(answer)}) {
                const QString problem = markupProblem(html);
                QVERIFY2(problem.isEmpty(), qPrintable(problem + QStringLiteral(" for ") + answer));
                QCOMPARE(html.count(QChar(0xE000)), answer.count(QChar(0xE000)));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestHTMLRenderer)
#include "tst_htmlrenderer.moc"
