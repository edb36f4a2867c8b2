#include "text/InputCut.h"

#include <QTest>

class TestInputCut : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void of_data() {
        QTest::addColumn<QString>("input");
        QTest::addColumn<int>("limit");
        QTest::addColumn<QString>("sent");

        QTest::newRow("within the limit") << QStringLiteral("One. Two.") << 9 << QStringLiteral("One. Two.");
        QTest::newRow("last whole sentence") << QStringLiteral("One two. Three four. Five six.") << 24
                                             << QStringLiteral("One two. Three four.");
        QTest::newRow("a decimal point is no sentence end")
            << QStringLiteral("It costs 3.5 dollars today. More") << 14 << QStringLiteral("It costs 3.5");
        QTest::newRow("closing quote stays with its sentence")
            << QStringLiteral("He said \"Stop.\" Then he left.") << 20 << QStringLiteral("He said \"Stop.\"");
        QTest::newRow("line end") << QStringLiteral("Heading\nno stop here at all") << 20
                                  << QStringLiteral("Heading");
        QTest::newRow("never inside a table row")
            << QStringLiteral("| Name | Note. More |\n| Ann | Fine. Good |\n") << 35
            << QStringLiteral("| Name | Note. More |");
        QTest::newRow("Chinese full stops")
            << QStringLiteral("第一句。第二句。第三句") << 10 << QStringLiteral("第一句。第二句。");
        QTest::newRow("one word longer than the limit")
            << QStringLiteral("abcdefghij") << 4 << QStringLiteral("abcd");
        QTest::newRow("emoji is not split")
            << QStringLiteral("ab👍🏽cd") << 3 << QStringLiteral("ab👍🏽");
    }

    void of() {
        QFETCH(QString, input);
        QFETCH(int, limit);
        QFETCH(QString, sent);
        const InputCut cut = InputCut::of(input, limit);
        QCOMPARE(cut.text, sent);
        QCOMPARE(cut.wasCut(), sent != input);
        QVERIFY(cut.sentLength <= limit);
    }
};

QTEST_GUILESS_MAIN(TestInputCut)
#include "tst_input_cut.moc"
