#include "pipeline/ClipboardSnapshot.h"
#include "pipeline/PrimaryOwnerRule.h"
#include "pipeline/TerminalWindows.h"

#include <QTest>

Q_DECLARE_METATYPE(PrimaryOwnerMatch)
using Entry = ClipboardSnapshot::Entry;
using OptionalText = std::optional<QString>;
Q_DECLARE_METATYPE(Entry)
Q_DECLARE_METATYPE(OptionalText)

class TestSelectionRules : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void terminals_data() {
        QTest::addColumn<QString>("instance");
        QTest::addColumn<QString>("windowClass");
        QTest::addColumn<bool>("terminal");
        struct Row {
            const char* name;
            const char* instance;
            const char* windowClass;
            bool terminal;
        };
        const Row rows[] = {
            {"xterm", "xterm", "XTerm", true},
            {"st", "st", "st-256color", true},
            {"known by class only", "", "Tilix", true},
            {"text editor", "gedit", "Gedit", false},
            {"name merely starting like st", "stellarium", "Stellarium", false},
            {"unknown", "", "", false},
        };
        for (const Row& row : rows)
            QTest::newRow(row.name) << QString(row.instance) << QString(row.windowClass) << row.terminal;
    }
    void terminals() {
        QFETCH(QString, instance);
        QFETCH(QString, windowClass);
        QFETCH(bool, terminal);
        QCOMPARE(isTerminalWindow(instance, windowClass), terminal);
    }

    void primaryOwner_data() {
        QTest::addColumn<quint32>("owner");
        QTest::addColumn<qint64>("ownerPid");
        QTest::addColumn<quint32>("source");
        QTest::addColumn<qint64>("sourcePid");
        QTest::addColumn<PrimaryOwnerMatch>("match");
        QTest::newRow("same window") << 0x01400007u << 0LL << 0x01400007u << 0LL
                                     << PrimaryOwnerMatch::sameClient;
        QTest::newRow("hidden owner window of the same client")
            << 0x01400002u << 0LL << 0x0140a003u << 0LL << PrimaryOwnerMatch::sameClient;
        QTest::newRow("other client, same process")
            << 0x01600002u << 4242LL << 0x01400003u << 4242LL << PrimaryOwnerMatch::sameProcess;
        QTest::newRow("other program")
            << 0x01600002u << 999LL << 0x01400003u << 4242LL << PrimaryOwnerMatch::otherProgram;
        QTest::newRow("pids unknown")
            << 0x01600002u << 0LL << 0x01400003u << 0LL << PrimaryOwnerMatch::otherProgram;
        QTest::newRow("no source window")
            << 0x00000002u << 0LL << 0u << 0LL << PrimaryOwnerMatch::otherProgram;
    }
    void primaryOwner() {
        QFETCH(quint32, owner);
        QFETCH(qint64, ownerPid);
        QFETCH(quint32, source);
        QFETCH(qint64, sourcePid);
        QFETCH(PrimaryOwnerMatch, match);
        SelectionSource from;
        from.window = source;
        from.pid = sourcePid;
        QCOMPARE(matchPrimaryOwner(owner, ownerPid, from, 0x001fffff), match);
    }

    void plainText_data() {
        QTest::addColumn<Entry>("entry");
        QTest::addColumn<OptionalText>("text");
        QTest::newRow("UTF8_STRING") << Entry{"UTF8_STRING", "UTF8_STRING", 8, "na\xc3\xafve"}
                                     << OptionalText(QStringLiteral("naïve"));
        QTest::newRow("invalid UTF-8 is skipped")
            << Entry{"UTF8_STRING", "UTF8_STRING", 8, "na\xefve"} << OptionalText();
        QTest::newRow("STRING is Latin-1")
            << Entry{"STRING", "STRING", 8, "na\xefve"} << OptionalText(QStringLiteral("naïve"));
        QTest::newRow("trailing NUL of old clients")
            << Entry{"STRING", "STRING", 8, QByteArray("abc\0", 4)} << OptionalText(QStringLiteral("abc"));
        QTest::newRow("text/plain;charset=utf-8")
            << Entry{"text/plain;charset=utf-8", "text/plain", 8, "\xe4\xbd\xa0"}
            << OptionalText(QStringLiteral("你"));
        QTest::newRow("HTML is not plain text")
            << Entry{"text/html", "text/html", 8, "<b>x</b>"} << OptionalText();
        QTest::newRow("wrong format") << Entry{"UTF8_STRING", "UTF8_STRING", 32, "abcd"} << OptionalText();
    }
    void plainText() {
        QFETCH(Entry, entry);
        QFETCH(OptionalText, text);
        QCOMPARE(ClipboardSnapshot::decodePlainText(entry), text);
    }

    void previousTexts() {
        ClipboardSnapshot snapshot;
        snapshot.items.append({{{"TIMESTAMP", "INTEGER", 32, QByteArray(4, '\1')},
                                {"UTF8_STRING", "UTF8_STRING", 8, "same"},
                                {"STRING", "STRING", 8, "same"},
                                {"text/plain", "text/plain", 8, "other"}}});
        QCOMPARE(snapshot.previousTexts(), QStringList({"same", "other"}));
        QCOMPARE(snapshot.entryCount(), 4);
        QVERIFY(ClipboardSnapshot{}.previousTexts().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSelectionRules)
#include "tst_selection_rules.moc"
