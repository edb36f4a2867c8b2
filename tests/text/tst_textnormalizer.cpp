#include "text/TextNormalizer.h"

#include <QTest>

class TestTextNormalizer : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void normalizeLineBreaks_data() {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");

        QTest::newRow("wrapped lines join, blank line or indent splits")
            << QStringLiteral("Line one\nline two\n\nNext\n  Indented")
            << QStringLiteral("Line one line two\n\nNext\n\nIndented");
        QTest::newRow("tab indentation") << QStringLiteral("a\n\tb\nc") << QStringLiteral("a\n\nb c");
        QTest::newRow("only blank space around one word")
            << QStringLiteral("   \n\n\n  x  ") << QStringLiteral("x");
        QTest::newRow("runs of line feeds and blank lines collapse")
            << QStringLiteral("a\n\n\n\n\nb\n   \nc") << QStringLiteral("a\n\nb\n\nc");
        QTest::newRow("unicode spaces trimmed but do not start a paragraph")
            << QStringLiteral("a\u3000\n\u00a0b\u2003") << QStringLiteral("a b");
        QTest::newRow("carriage return is not horizontal space")
            << QStringLiteral("a\r\nb") << QStringLiteral("a\r b");
        QTest::newRow("unpaired surrogate does not stop the indent rule")
            << QStringLiteral("a") + QChar(0xd800) + QStringLiteral("\n  b")
            << QStringLiteral("a") + QChar(0xd800) + QStringLiteral("\n\nb");
    }

    void normalizeLineBreaks() {
        QFETCH(QString, input);
        QFETCH(QString, expected);
        QCOMPARE(TextNormalizer::normalizeLineBreaks(input), expected);
    }
};

QTEST_GUILESS_MAIN(TestTextNormalizer)
#include "tst_textnormalizer.moc"
