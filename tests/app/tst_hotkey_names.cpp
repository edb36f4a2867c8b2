#include "app/HotkeyConflicts.h"
#include "app/HotkeyNames.h"
#include "app/KeyTable.h"

#include <QSet>
#include <QTest>

class TestHotkeyNames : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void displayString_data() {
        QTest::addColumn<int>("keyCode");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("expected");
        QTest::newRow("control shift T") << 17 << 4608 << QStringLiteral("⌃⇧T");
        QTest::newRow("all four in fixed order") << 0 << 6912 << QStringLiteral("⌘⌥⌃⇧A");
        QTest::newRow("bare grave") << 50 << 0 << QStringLiteral("`");
        QTest::newRow("unnamed code") << 55 << 4096 << QStringLiteral("⌃Key(55)");
        QTest::newRow("caps-lock bit shows nothing") << 17 << (4096 | 1024) << QStringLiteral("⌃T");
        QTest::newRow("keypad has no marker") << 82 << 512 << QStringLiteral("⇧0");
        QTest::newRow("digit row is not in order") << 22 << 256 << QStringLiteral("⌘6");
    }
    void displayString() {
        QFETCH(int, keyCode);
        QFETCH(int, modifiers);
        QFETCH(QString, expected);
        QCOMPARE(hotkeyDisplayString(keyCode, modifiers), expected);
    }

    void keyTableHasEachCodeOnce() {
        QSet<int> codes;
        for (const KeyTableEntry& entry : KeyTable::entries())
            codes.insert(entry.keyCode);
        QCOMPARE(codes.size(), 86);
        QCOMPARE(KeyTable::entries().size(), 86u);
    }

    void conflict_data() {
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("keyCode");
        QTest::addColumn<QString>("expected"); // empty: no entry
        QTest::newRow("command Space") << 256 << 49 << QStringLiteral("⌘Space Spotlight（系统强占）");
        QTest::newRow("control Space") << 4096 << 49 << QString();
        QTest::newRow("command apostrophe") << 256 << 39 << QString();
        QTest::newRow("command plus caps lock") << (256 | 1024) << 0 << QString();
        QTest::newRow("shift command 4 plus option") << (768 | 2048) << 21 << QString();
        QTest::newRow("keypad 1 is not the digit 1") << 256 << 83 << QString();
        const int digitCodes[] = {18, 19, 20, 21, 23, 22, 26, 28, 25};
        for (int i = 0; i < 9; ++i)
            QTest::addRow("command %d", i + 1)
                << 256 << digitCodes[i] << QStringLiteral("⌘1-9 切换标签/窗口");
    }
    void conflict() {
        QFETCH(int, modifiers);
        QFETCH(int, keyCode);
        QFETCH(QString, expected);
        const std::optional<QString> found = checkSystemHotkeyConflict(modifiers, keyCode);
        QCOMPARE(found.has_value(), !expected.isEmpty());
        QCOMPARE(found.value_or(QString()), expected);
    }

    // Each description opens with its own combination (modifiers in the catalogue's
    // ⇧⌥⌘ order), so a wrong key code or mask in the catalogue shows up here.
    void catalogueDescriptionsNameTheirKey() {
        QCOMPARE(systemHotkeyCatalogue().size(), 46u);
        for (const SystemHotkeyEntry& entry : systemHotkeyCatalogue()) {
            const QString description = entry.description.toString();
            const QString name = hotkeyDisplayString(entry.keyCode, 0);
            QString prefix;
            if (entry.modifiers & CarbonModifier::shift)
                prefix += QStringLiteral("⇧");
            if (entry.modifiers & CarbonModifier::option)
                prefix += QStringLiteral("⌥");
            if (entry.modifiers & CarbonModifier::command)
                prefix += QStringLiteral("⌘");
            if (description.startsWith(QStringLiteral("⌘1-9 ")))
                prefix = name >= QStringLiteral("1") && name <= QStringLiteral("9") ? QStringLiteral("⌘1-9")
                                                                                    : name;
            else
                prefix += name;
            QVERIFY2(description.startsWith(prefix + QLatin1Char(' ')), qPrintable(description));
        }
    }

    void collectKeepsOrderAndSkipsUnset() {
        const QList<HotkeyConflict> conflicts =
            collectHotkeyConflicts({{std::nullopt, 256}, {17, 4096}, {21, 768}, {std::nullopt, 0}, {53, 0}});
        QCOMPARE(conflicts.size(), 1);
        QCOMPARE(conflicts[0].display, QStringLiteral("⌘⇧4"));
        QCOMPARE(conflicts[0].reason, QStringLiteral("⇧⌘4 区域截图（系统强占）"));
    }

    void cocoaFlags() {
        using F = CocoaModifierFlags;
        QCOMPARE(cocoaToCarbonModifiers({F::command | F::option | F::control | F::shift}), 6912);
        QCOMPARE(cocoaToCarbonModifiers({F::control | F::capsLock | F::function | F::numericPad | F::help}),
                 4096);
        // Device-dependent low bits (which side's key) carry no meaning.
        QCOMPARE(cocoaToCarbonModifiers({F::command | quint64(0x2009)}), 256);
    }
};

QTEST_GUILESS_MAIN(TestHotkeyNames)
#include "tst_hotkey_names.moc"
