#include "text/TextPreprocessor.h"

#include <QTest>

namespace {
const QString leadIn = QStringLiteral("摘录来自\n");
const QString notice = QStringLiteral("\n此材料受版权保护。");
} // namespace

class TestTextPreprocessor : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void condenseCitation_data() {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");

        QTest::newRow("title and author") << leadIn + QStringLiteral("The Book\nThe Author") + notice
                                          << QStringLiteral("摘录来自《The Book》The Author");
        QTest::newRow("surrounding text and two footers")
            << QStringLiteral("Quote one.\n\n") + leadIn + QStringLiteral("A\nB") + notice +
                   QStringLiteral("\nQuote two.\n") + leadIn + QStringLiteral("C") + notice +
                   QStringLiteral(" end")
            << QStringLiteral("Quote one.\n\n摘录来自《A》B\nQuote two.\n摘录来自《C》 end");
        QTest::newRow("empty title line") << leadIn + QStringLiteral("\nThe Author") + notice
                                          << leadIn + QStringLiteral("\nThe Author") + notice;
        QTest::newRow("carriage return stays inside the line")
            << leadIn + QStringLiteral("Book\r\nAuthor\r") + notice
            << QStringLiteral("摘录来自《Book\r》Author\r");
        QTest::newRow("replacement syntax in the title is literal")
            << leadIn + QStringLiteral("$1 \\1 $0") + notice << QStringLiteral("摘录来自《$1 \\1 $0》");
        QTest::newRow("unpaired surrogate elsewhere in the text")
            << QStringLiteral("x") + QChar(0xd800) + QStringLiteral("\n") + leadIn + QStringLiteral("Bo") +
                   QChar(0xdc00) + QStringLiteral("ok") + notice
            << QStringLiteral("x") + QChar(0xd800) + QStringLiteral("\n摘录来自《Bo") + QChar(0xdc00) +
                   QStringLiteral("ok》");
        QTest::newRow("no footer") << QStringLiteral("摘录来自 nothing")
                                   << QStringLiteral("摘录来自 nothing");
    }

    void condenseCitation() {
        QFETCH(QString, input);
        QFETCH(QString, expected);
        QCOMPARE(TextPreprocessor::condenseCitation(input), expected);
    }
};

QTEST_GUILESS_MAIN(TestTextPreprocessor)
#include "tst_textpreprocessor.moc"
