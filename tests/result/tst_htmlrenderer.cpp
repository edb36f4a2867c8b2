#include "result/HTMLRenderer.h"
#include "settings/AIProvider.h"
#include "support/TestEnvironment.h"

#include "HtmlMarkupCheck.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

using Cells = QStringList;

namespace {

QString testData(const char* name) {
    return QString::fromUtf8(readFileBytes(QStringLiteral(VYRN_RESULT_TEST_DATA "/") + QLatin1String(name)));
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

// Every fragment an answer reaches (only the original box keeps its quotes).
QString unsafeMarkup(const QString& answer) {
    for (const QString& html :
         {HTMLRenderer::markdownBodyToHTML(answer), HTMLRenderer::inlineMarkdownToHTML(answer),
          contentOf(HTMLRenderer::renderPage(answer, answer, true, 15, QStringLiteral("DeepSeek")))})
        if (const QString problem = markupProblem(html, answer); !problem.isEmpty())
            return problem + QStringLiteral(" in ") + html;
    return markupProblem(HTMLRenderer::originalBoxHTML(answer), answer, true);
}

} // namespace

class TestHTMLRenderer : public QObject {
    Q_OBJECT
    TestEnvironment env;

private Q_SLOTS:
    void parseSections_data() {
        QTest::addColumn<QString>("markdown");
        QTest::addColumn<QStringList>("sections"); // "[heading] body", "[-]" for none
        QTest::newRow("empty") << QString() << QStringList();
        QTest::newRow("preamble and sections")
            << QStringLiteral("前言\n## 中文翻译\n你好。\n\n## 重要词汇\n\n| a |\n")
            << QStringList{"[-] 前言", "[中文翻译] 你好。", "[重要词汇] | a |"};
        QTest::newRow("empty bodies dropped, bare heading kept")
            << QStringLiteral("## A\n## B\n \t\n## C\ntext\n## \ny") << QStringList{"[C] text", "[] y"};
        QTest::newRow("not headings: ###, indented, tab")
            << QStringLiteral("### x\n ## 核查\n##\t核查") << QStringList{"[-] ### x\n ## 核查\n##\t核查"};
        QTest::newRow("heading and body trimmed of blanks only")
            << QStringLiteral("## \t核查 \u3000\t\n\n 正文\n\n\nb \n\n")
            << QStringList{"[核查 \u3000] 正文\n\n\nb"};
    }
    void parseSections() {
        QFETCH(QString, markdown);
        QFETCH(QStringList, sections);
        QStringList out;
        for (const MarkdownSection& s : HTMLRenderer::parseSections(markdown))
            out.append(QStringLiteral("[%1] %2").arg(s.heading ? *s.heading : QStringLiteral("-"), s.body));
        QCOMPARE(out, sections);
    }

    void tableSeparator_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("separator");
        QTest::newRow("aligned, spaced, empty piece") << QStringLiteral("  | :-- | :-: || --: |\t") << true;
        QTest::newRow("no cell") << QStringLiteral("||") << false;
        QTest::newRow("blank cell") << QStringLiteral("|-| |") << false;
        QTest::newRow("other character") << QStringLiteral("|-a-|") << false;
        QTest::newRow("no closing pipe") << QStringLiteral("|---") << false;
        QTest::newRow("carriage return is not trimmed") << QStringLiteral("|-|\r") << false;
    }
    void tableSeparator() {
        QFETCH(QString, line);
        QFETCH(bool, separator);
        QCOMPARE(HTMLRenderer::isTableSeparatorLine(line), separator);
        QCOMPARE(HTMLRenderer::isTableBody(QStringLiteral("| a |\n") + line + QStringLiteral("\nb")),
                 separator);
    }

    void parseTableCells_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<Cells>("cells");
        QTest::newRow("outer pipes") << QStringLiteral("\t| a | b |  ") << Cells{"a", "b"};
        QTest::newRow("no outer pipes") << QStringLiteral("a | b") << Cells{"a", "b"};
        QTest::newRow("escaped pipe") << QStringLiteral("|a\\|b|c|") << Cells{"a|b", "c"};
        QTest::newRow("two backslashes split") << QStringLiteral("|a\\\\|b|") << Cells{"a\\", "b"};
        QTest::newRow("three backslashes keep") << QStringLiteral("|a\\\\\\|b|") << Cells{"a\\|b"};
        QTest::newRow("inner empty cell kept") << QStringLiteral("| |a||") << Cells{"", "a", ""};
        QTest::newRow("one pipe") << QStringLiteral("|") << Cells{};
    }
    void parseTableCells() {
        QFETCH(QString, line);
        QFETCH(Cells, cells);
        QCOMPARE(HTMLRenderer::parseTableCells(line), cells);
    }

    // Plain bold, code and paragraphs are covered by scannersAgreeWithRegularExpressions.
    void markdownBodyToHTML_data() {
        QTest::addColumn<QString>("markdown");
        QTest::addColumn<QString>("html");
        QTest::newRow("known and unknown headings")
            << QStringLiteral("## 中文翻译\n你好\n\n## 常用短语与习语（3 条）\n\n## Notes\nx")
            << QStringLiteral("<p><h2>中文翻译</h2><br>你好</p><p><h2>常用短语与习语</h2>（3 条）</p>"
                              "<p>## Notes<br>x</p>");
        QTest::newRow("escaping, code is verbatim")
            << QStringLiteral("Tom & \"Jerry\" &amp; <i> `**x** ## 中文翻译 | <b>`")
            << QStringLiteral("<p>Tom &amp; &quot;Jerry&quot; &amp;amp; &lt;i&gt; <code>**x** ## 中文翻译 | "
                              "&lt;b&gt;</code></p>");
        QTest::newRow("padded and cut rows, then a line")
            << QStringLiteral("| 词 | 释义 |\n|---|---|\n| **apple** |\n|1|2|3|\n下一行")
            << QStringLiteral(
                   "<p><table><thead><tr><th>词</th><th>释义</th></tr></thead><tbody><tr><td><strong>"
                   "apple</strong></td><td></td></tr><tr><td>1</td><td>2</td></tr></tbody></table><br>"
                   "下一行</p>");
        QTest::newRow("text around, header only, second table")
            << QStringLiteral("x\n | a | \n|:-:|\n\n|b|\n|-|\n|-|\ny")
            << QStringLiteral(
                   "<p>x<br><table><thead><tr><th>a</th></tr></thead><tbody></tbody></table></p><p>"
                   "<table><thead><tr><th>b</th></tr></thead><tbody><tr><td>-</td></tr></tbody>"
                   "</table><br>y</p>");
        QTest::newRow("header without separator, on the last line")
            << QStringLiteral("| a | b |\n| c | d |") << QStringLiteral("<p>| a | b |<br>| c | d |</p>");
        QTest::newRow("pipe in code, bold across cells stays literal")
            << QStringLiteral("|h|i|\n|-|-|\n|`x|y`|z|\n|**x** **a|b** **y**|")
            << QStringLiteral(
                   "<p><table><thead><tr><th>h</th><th>i</th></tr></thead><tbody><tr><td><code>x|y"
                   "</code></td><td>z</td></tr><tr><td><strong>x</strong> **a</td><td>b** <strong>y"
                   "</strong></td></tr></tbody></table></p>");
        QTest::newRow("literal placeholders stay text")
            << QStringLiteral("`x` \uE0000\uE000 \uE0001\uE000 `\uE0000\uE000`")
            << QStringLiteral("<p><code>x</code> \uE0000\uE000 \uE0001\uE000 <code>\uE0000\uE000</code></p>");
    }
    void markdownBodyToHTML() {
        QFETCH(QString, markdown);
        QFETCH(QString, html);
        QCOMPARE(HTMLRenderer::markdownBodyToHTML(markdown), html);
    }

    void inlineAndOriginalBox() {
        QCOMPARE(
            HTMLRenderer::inlineMarkdownToHTML(QStringLiteral("你好**世界**，`x<y`\n## 中文翻译\n|a|\n|-|")),
            QStringLiteral("你好<strong>世界</strong>，<code>x&lt;y</code><br>## 中文翻译<br>|a|<br>|-|"));
        QCOMPARE(HTMLRenderer::inlineMarkdownToHTML(QStringLiteral("**a\nb**\n\nc")),
                 QStringLiteral("<strong>a<br>b</strong><br><br>c"));
        QCOMPARE(
            HTMLRenderer::originalBoxHTML(QStringLiteral("He said \"hi\" & <b>\nline two\n\n  para two")),
            QStringLiteral("<strong>📝 原文：</strong><br>He said \"hi\" &amp; &lt;b&gt; line two<br><br>"
                           "para two"));
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

    // Qwen, light, 15 px, with the original box.
    void goldenPage() {
        const QString markdown = testData("answer.md");
        const QString original = testData("original.txt");
        const QString golden = testData("page-light-15.html");
        QVERIFY(!markdown.isEmpty() && !golden.isEmpty());
        QCOMPARE(
            HTMLRenderer::renderPage(markdown, original, false, 15, AIProviders::shortName(AIProvider::qwen)),
            golden);
    }

    // No answer can contribute markup of its own: every tag in the output is one the
    // renderer writes, nested properly, and placeholders only stand for real spans.
    void hostileAnswers_data() {
        QTest::addColumn<QString>("answer");
        QTest::newRow("foreign markup")
            << QStringLiteral("<script>fetch('http://127.0.0.1/x')</script><img src=x onerror=\"alert(1)\">"
                              "[x](javascript:alert(1)) </p></div></body></html><div><table><tr>");
        QTest::newRow("entities") << QStringLiteral("&lt;script&gt; &#60;b&#62; &#x3C;i&#x3E; &amp;");
        QTest::newRow("attribute breakout") << QStringLiteral("\" onmouseover=\"x\" '");
        QTest::newRow("markup in and around code")
            << QStringLiteral("`</code><script>x</script>` **`<b>`** <`x`> **<**`a`**>**");
        QTest::newRow("markup in table") << QStringLiteral(
            "| <td onclick=x> | **a|b** |\n|---|---|\n| `|</td>` | <img src=x> | c |\n</table>");
        QTest::newRow("bold across cells and lines")
            << QStringLiteral("|**a|b**|**c|\n|-|-|-|\n|d**|**e|f**|");
        QTest::newRow("heading with markup") << QStringLiteral("## 中文翻译<script>\n## 核查\"><img>");
        QTest::newRow("placeholders") << QStringLiteral("\uE0000\uE000`<i>`\uE0000\uE000\uE000\uE0001\uE000");
    }
    void hostileAnswers() {
        QFETCH(QString, answer);
        const QString problem = unsafeMarkup(answer);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }
};

QTEST_GUILESS_MAIN(TestHTMLRenderer)
#include "tst_htmlrenderer.moc"
