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
        QTest::newRow("control T") << 17 << 4096 << QStringLiteral("⌃T");
        QTest::newRow("control shift T") << 17 << 4608 << QStringLiteral("⌃⇧T");
        QTest::newRow("bare Escape") << 53 << 0 << QStringLiteral("Escape");
        QTest::newRow("bare grave") << 50 << 0 << QStringLiteral("`");
        QTest::newRow("command Space") << 49 << 256 << QStringLiteral("⌘Space");
        QTest::newRow("option control D") << 2 << 6144 << QStringLiteral("⌥⌃D");
        QTest::newRow("all four in fixed order") << 0 << 6912 << QStringLiteral("⌘⌥⌃⇧A");
        QTest::newRow("unnamed code") << 105 << 256 << QStringLiteral("⌘Key(105)");
        QTest::newRow("command key itself") << 55 << 4096 << QStringLiteral("⌃Key(55)");
        QTest::newRow("negative code") << -1 << 0 << QStringLiteral("Key(-1)");
        QTest::newRow("caps-lock bit shows nothing") << 17 << (4096 | 1024) << QStringLiteral("⌃T");
        QTest::newRow("keypad has no marker") << 82 << 512 << QStringLiteral("⇧0");
        QTest::newRow("keypad enter") << 76 << 0 << QStringLiteral("Enter");
        QTest::newRow("backslash") << 42 << 256 << QStringLiteral("⌘\\");
        QTest::newRow("arrow") << 126 << 2048 << QStringLiteral("⌥↑");
        QTest::newRow("F5 is code 96") << 96 << 0 << QStringLiteral("F5");
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
        for (const KeyTableEntry& entry : KeyTable::entries()) {
            QVERIFY2(!codes.contains(entry.keyCode), qPrintable(QString::number(entry.keyCode)));
            QVERIFY(!entry.name.isEmpty());
            codes.insert(entry.keyCode);
        }
        QCOMPARE(codes.size(), 86);
    }

    void conflict_data() {
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("keyCode");
        QTest::addColumn<QString>("expected"); // empty: no entry
        QTest::newRow("command Space") << 256 << 49 << QStringLiteral("⌘Space Spotlight（系统强占）");
        QTest::newRow("control Space") << 4096 << 49 << QString();
        QTest::newRow("command apostrophe") << 256 << 39 << QString();
        QTest::newRow("command semicolon") << 256 << 41 << QStringLiteral("⌘; 拼写检查");
        QTest::newRow("command plus caps lock") << (256 | 1024) << 0 << QString();
        QTest::newRow("bare grave") << 0 << 50 << QString();
        QTest::newRow("command grave") << 256 << 50 << QStringLiteral("⌘` 同应用窗口切换");
        QTest::newRow("shift command 4") << 768 << 21 << QStringLiteral("⇧⌘4 区域截图（系统强占）");
        QTest::newRow("shift command 4 plus option") << (768 | 2048) << 21 << QString();
        QTest::newRow("shift 4") << 512 << 21 << QString();
        QTest::newRow("shift command Space") << 768 << 49 << QStringLiteral("⇧⌘Space 切换输入法（系统强占）");
        QTest::newRow("option command I") << 2304 << 34 << QStringLiteral("⌥⌘I 浏览器开发者工具");
        QTest::newRow("option command Return") << 2304 << 36 << QStringLiteral("⌥⌘Return 全屏");
        QTest::newRow("command H") << 256 << 4 << QString();
        QTest::newRow("command 0") << 256 << 29 << QString();
        QTest::newRow("command N") << 256 << 45 << QString();
        QTest::newRow("control T") << 4096 << 17 << QString();
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
        QCOMPARE(found.value_or(QString()), expected);
        QCOMPARE(found.has_value(), !expected.isEmpty());
    }

    // Each description opens with its own combination (modifiers in the catalogue's
    // ⇧⌥⌘ order), so a wrong key code in the catalogue shows up here.
    void catalogueDescriptionsNameTheirKey() {
        for (const SystemHotkeyEntry& entry : systemHotkeyCatalogue()) {
            const QString description = entry.description.toString();
            QString prefix;
            if (entry.modifiers & CarbonModifier::shift)
                prefix += QStringLiteral("⇧");
            if (entry.modifiers & CarbonModifier::option)
                prefix += QStringLiteral("⌥");
            if (entry.modifiers & CarbonModifier::command)
                prefix += QStringLiteral("⌘");
            const QString name = hotkeyDisplayString(entry.keyCode, 0);
            if (description.startsWith(QStringLiteral("⌘1-9 "))) {
                QCOMPARE(entry.modifiers, 256);
                QVERIFY2(name.size() == 1 && name.at(0) >= u'1' && name.at(0) <= u'9', qPrintable(name));
            } else {
                QVERIFY2(description.startsWith(prefix + name + QLatin1Char(' ')), qPrintable(description));
            }
            QCOMPARE(checkSystemHotkeyConflict(entry.modifiers, entry.keyCode).value_or(QString()),
                     description);
        }
    }

    void collectKeepsOrderAndSkipsUnset() {
        const QList<HotkeyCombination> hotkeys{
            {std::nullopt, 256}, {17, 4096}, {21, 768}, {std::nullopt, 0}, {53, 0},
        };
        const QList<HotkeyConflict> conflicts = collectHotkeyConflicts(hotkeys);
        QCOMPARE(conflicts.size(), 1);
        QCOMPARE(conflicts[0].display, QStringLiteral("⌘⇧4"));
        QCOMPARE(conflicts[0].reason, QStringLiteral("⇧⌘4 区域截图（系统强占）"));

        const QList<HotkeyConflict> two = collectHotkeyConflicts({{49, 256}, {17, 4096}, {8, 256}});
        QCOMPARE(two.size(), 2);
        QCOMPARE(two[0].display, QStringLiteral("⌘Space"));
        QCOMPARE(two[1].display, QStringLiteral("⌘C"));
        QCOMPARE(two[1].reason, QStringLiteral("⌘C 复制"));
    }

    void cocoaFlags_data() {
        QTest::addColumn<quint64>("flags");
        QTest::addColumn<int>("expected");
        using F = CocoaModifierFlags;
        QTest::newRow("none") << quint64(0) << 0;
        QTest::newRow("command") << F::command << 256;
        QTest::newRow("option") << F::option << 2048;
        QTest::newRow("control shift") << (F::control | F::shift) << 4608;
        QTest::newRow("all four") << (F::command | F::option | F::control | F::shift) << 6912;
        QTest::newRow("caps lock, fn, keypad, help only")
            << (F::capsLock | F::function | F::numericPad | F::help) << 0;
        QTest::newRow("command with caps lock") << (F::command | F::capsLock) << 256;
        // Device-dependent low bits (left/right key side) carry no meaning.
        QTest::newRow("device bits") << (F::control | quint64(0x2001)) << 4096;
    }
    void cocoaFlags() {
        QFETCH(quint64, flags);
        QFETCH(int, expected);
        QCOMPARE(cocoaToCarbonModifiers(CocoaModifierFlags{flags}), expected);
    }
};

QTEST_GUILESS_MAIN(TestHotkeyNames)
#include "tst_hotkey_names.moc"
