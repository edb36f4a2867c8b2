#include "result/HTMLRenderer.h"
#include "result/StreamedPage.h"
#include "support/TestEnvironment.h"

#include "HtmlMarkupCheck.h"

#include <QTest>

class TestStreamedPage : public QObject {
    Q_OBJECT
    TestEnvironment env;

private Q_SLOTS:
    // Fed one character at a time: what shows is sound markup that never turns into something
    // else later (a half table row, a header before its separator, a "**", "`" or "## " that
    // the finished answer renders as markup), finished blocks stay as they were, every English
    // sentence is numbered from the start, and the end is exactly the one-shot page.
    void everyPrefix_data() {
        QTest::addColumn<QString>("markdown");
        QTest::addColumn<QString>("original");
        QTest::addColumn<bool>("split");
        const QString dir = QStringLiteral(VYRN_RESULT_TEST_DATA);
        const QString answer = QString::fromUtf8(readFileBytes(dir + QStringLiteral("/answer.md")));
        const QString original = QString::fromUtf8(readFileBytes(dir + QStringLiteral("/original.txt")));
        QTest::newRow("answer") << answer << original << false;
        QTest::newRow("answer split") << answer << original << true;
        const QString tricky = QStringLiteral(
            "intro `code\n\nacross` a blank line\n\n\n\n\nfive\n\n\n**x\n\ny** *\n| a | b |\n|---|---|\n"
            "| 1 | **2** |\ntext right after\n\n  \n\n## 中文翻译\n一句`。`二句。**三\n\n句**。\n"
            "## 重要词汇\n|x|\n|-|\n\n|not a table|\nok\n\n| h |\n|---|\n| 1 |\n| 2 |");
        QTest::newRow("blank-line runs, spans across them") << tricky << original << false;
        QTest::newRow("same, split") << tricky << QStringLiteral("One. Two. Three. Four.") << true;
        QTest::newRow("split falls back at the end")
            << QStringLiteral("## 中文翻译\n只有一句。\n## 核查\n无") << QStringLiteral("One. Two.") << true;
    }
    void everyPrefix() {
        QFETCH(QString, markdown);
        QFETCH(QString, original);
        QFETCH(bool, split);
        StreamedPage whole(original, split);
        whole.finish(markdown);
        const QStringList final = whole.blocks();
        const QString finalBody = final.join(QString());
        const qsizetype english = split ? SentenceSplitter::splitEnglish(original).size() : 0;
        StreamedPage page(original, split);
        const QString arriving = markdown + QStringLiteral("\n\n"); // the finished answer comes trimmed
        for (qsizetype n = 1; n <= arriving.size(); ++n) {
            page.update(arriving.first(n));
            const QStringList blocks = page.blocks();
            const QString at = QStringLiteral(" after %1 characters").arg(n);
            for (qsizetype i = 0; i < blocks.size(); ++i) {
                const QString problem = markupProblem(blocks[i]);
                QVERIFY2(problem.isEmpty(), qPrintable(problem + at));
                if (!split && i + 1 < blocks.size())
                    QVERIFY2(blocks[i] == final.value(i), qPrintable(QStringLiteral("block %1").arg(i) + at));
                for (qsizetype row = blocks[i].indexOf(u"<tr>"); row >= 0;
                     row = blocks[i].indexOf(u"<tr>", row + 1))
                    QVERIFY2(
                        finalBody.contains(blocks[i].sliced(row, blocks[i].indexOf(u"</tr>", row) - row)),
                        qPrintable(blocks[i] + at));
                for (const QString& marker :
                     {QStringLiteral("**"), QStringLiteral("`"), QStringLiteral("## "), QStringLiteral("| ")})
                    QVERIFY2(!blocks[i].contains(marker) || finalBody.contains(marker),
                             qPrintable(marker + QStringLiteral(" in ") + blocks[i] + at));
            }
            if (split)
                QCOMPARE(blocks.join(QString()).count(QStringLiteral("split-original")), english);
        }
        page.finish(markdown);
        QCOMPARE(page.blocks(), final);
        const QString label = QStringLiteral("Qwen");
        const bool splits = split && HTMLRenderer::canSplit(markdown, original);
        QCOMPARE(page.isSplit(), splits);
        QCOMPARE(HTMLRenderer::shell(finalBody,
                                     splits ? std::nullopt
                                            : std::optional(HTMLRenderer::originalBoxHTML(original)),
                                     true, 16, label),
                 splits ? HTMLRenderer::renderSplit(markdown, original, true, 16, label)
                        : HTMLRenderer::renderPage(markdown, original, true, 16, label));
    }
};

QTEST_GUILESS_MAIN(TestStreamedPage)
#include "tst_streamedpage.moc"
