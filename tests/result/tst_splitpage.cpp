#include "result/HTMLRenderer.h"
#include "support/TestEnvironment.h"

#include "HtmlMarkupCheck.h"

#include <QTest>

namespace {

QString pairHTML(int number, const QString& original, const QString& translation) {
    QString html = QStringLiteral("<div class=\"split-pair\">");
    if (!original.isEmpty())
        html += QStringLiteral("<div class=\"split-original\">%1. %2</div>").arg(number).arg(original);
    if (!translation.isEmpty())
        html += QStringLiteral("<div class=\"split-translation\">%1</div>").arg(translation);
    return html + QStringLiteral("</div>");
}

const QString kWarning = QStringLiteral("<div class=\"split-warning\">⚠️ "
                                        "原文与译文句数不一致，已自动对齐，请留意对照</div>");
const QString label = QStringLiteral("DeepSeek");
const QString kListStart = QStringLiteral("<h2>中文翻译</h2><div class=\"split-list\">");

} // namespace

class TestSplitPage : public QObject {
    Q_OBJECT
    TestEnvironment env;

private Q_SLOTS:
    // An answer that cannot be split is shown as the normal page.
    void canSplit_data() {
        QTest::addColumn<QString>("markdown");
        QTest::addColumn<QString>("original");
        QTest::addColumn<bool>("splits");
        QTest::newRow("heading containing the name") << QStringLiteral("## 中文翻译（节选）\n你好。我很好。")
                                                     << QStringLiteral("Hello. I am fine.") << true;
        QTest::newRow("one-sentence translation") << QStringLiteral("## 中文翻译\n你好。\n## 核查\n无")
                                                  << QStringLiteral("Hello. I am fine.") << false;
        QTest::newRow("no translation section")
            << QStringLiteral("你好。我很好。\n## 重要词汇\n你好。我很好。") << QStringLiteral("Hello. Fine.")
            << false;
        QTest::newRow("table in translation") << QStringLiteral("## 中文翻译\n你好。我很好。\n|---|")
                                              << QStringLiteral("Hello. I am fine.") << false;
        QTest::newRow("first translation section decides")
            << QStringLiteral("## 中文翻译\n你好。\n## 中文翻译\n一。二。") << QStringLiteral("Yes. No.")
            << false;
    }
    void canSplit() {
        QFETCH(QString, markdown);
        QFETCH(QString, original);
        QFETCH(bool, splits);
        QCOMPARE(HTMLRenderer::canSplit(markdown, original), splits);
        if (!splits)
            QCOMPARE(HTMLRenderer::renderSplit(markdown, original, false, 15, label),
                     HTMLRenderer::renderPage(markdown, original, false, 15, label));
    }

    void renderSplit_data() {
        QTest::addColumn<QString>("markdown");
        QTest::addColumn<QString>("original");
        QTest::addColumn<QString>("content");
        QTest::newRow("all sections, escaped original")
            << QStringLiteral(
                   "前言\n## 中文翻译\n你好**朋友**。我很好。\n## 重要词汇\n| a | b |\n|---|---|\n| x | y "
                   "|\n## 核查\n无")
            << QStringLiteral("Hello friend. I am <fine> & \"ok\".")
            << QStringLiteral("<p>前言</p>") + kListStart +
                   pairHTML(1, "Hello friend.", "你好<strong>朋友</strong>。") +
                   pairHTML(2, "I am &lt;fine&gt; &amp; &quot;ok&quot;.", "我很好。") +
                   QStringLiteral(
                       "</div><p><h2>重要词汇</h2><br><table><thead><tr><th>a</th><th>b</th></tr></thead>"
                       "<tbody><tr><td>x</td><td>y</td></tr></tbody></table></p><p><h2>核查</h2><br>无</p>");
        QTest::newRow("empty original: no original lines, warning")
            << QStringLiteral("## 中文翻译\n你好。我很好。") << QString()
            << kWarning + kListStart + pairHTML(1, {}, "你好。") + pairHTML(2, {}, "我很好。") +
                   QStringLiteral("</div>");
        QTest::newRow("more Chinese: lines joined with breaks")
            << QStringLiteral("## 中文翻译\n一。二。三。") << QStringLiteral("A b. C d.")
            << kWarning + kListStart + pairHTML(1, "A b.", "一。") + pairHTML(2, "C d.", "二。<br>三。") +
                   QStringLiteral("</div>");
        QTest::newRow("second translation section and bare heading")
            << QStringLiteral("## 中文翻译\n一。二。\n## \n备注\n## 中文翻译\n另一版本。")
            << QStringLiteral("Yes. No.")
            << kListStart + pairHTML(1, "Yes.", "一。") + pairHTML(2, "No.", "二。") +
                   QStringLiteral("</div><p>## <br>备注</p>");
    }
    void renderSplit() {
        QFETCH(QString, markdown);
        QFETCH(QString, original);
        QFETCH(QString, content);
        const QString page = HTMLRenderer::renderSplit(markdown, original, true, 14, label);
        QCOMPARE(contentOf(page), content);
        QVERIFY(page.contains(QStringLiteral("<body class=\"dark\">\n\n<div class=\"content\">")));
        QVERIFY(page.contains(QStringLiteral("html{font-size:14px}")));
    }

    void hostileSplitAnswers_data() {
        QTest::addColumn<QString>("markdown");
        QTest::addColumn<QString>("original");
        QTest::newRow("markup in both")
            << QStringLiteral("<b>前言</b>\n## 中文翻译\n<img src=x onerror=y>。`</div>`**<i>**。\n## "
                              "核查\"><script>\n\"x\"")
            << QStringLiteral("A <script>x</script>. B \"onclick=\". C </div></body>.");
        QTest::newRow("placeholders") << QStringLiteral("## 中文翻译\n\uE0000\uE000`a`。\uE0000\uE000。")
                                      << QStringLiteral("A \uE0000\uE000. B.");
    }
    void hostileSplitAnswers() {
        QFETCH(QString, markdown);
        QFETCH(QString, original);
        QVERIFY(HTMLRenderer::canSplit(markdown, original));
        const QString content = contentOf(HTMLRenderer::renderSplit(markdown, original, false, 15, label));
        const QString problem = markupProblem(content, markdown + original);
        QVERIFY2(problem.isEmpty(), qPrintable(problem + QStringLiteral(" in ") + content));
    }
};

QTEST_GUILESS_MAIN(TestSplitPage)
#include "tst_splitpage.moc"
