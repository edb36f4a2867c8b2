#include "keys/HotkeyConflicts.h"
#include "keys/HotkeyNames.h"
#include "keys/KeyTable.h"
#include "settings/SettingsManager.h"
#include "support/TestEnvironment.h"

#include <QSet>
#include <QTest>

class TestHotkeyNames : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void displayString_data() {
        QTest::addColumn<int>("keyCode");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("expected");
        QTest::newRow("all four in fixed order") << 0 << 6912 << QStringLiteral("Super+Ctrl+Alt+Shift+A");
        QTest::newRow("unnamed code") << 55 << 4096 << QStringLiteral("Super+Key(55)");
        QTest::newRow("the Mac's delete is backspace") << 51 << 256 << QStringLiteral("Ctrl+Backspace");
        QTest::newRow("caps-lock bit shows nothing") << 17 << (4096 | 1024) << QStringLiteral("Super+T");
        QTest::newRow("keypad has no marker") << 82 << 512 << QStringLiteral("Shift+0");
    }
    void displayString() {
        QFETCH(int, keyCode);
        QFETCH(int, modifiers);
        QFETCH(QString, expected);
        QCOMPARE(hotkeyDisplayString(keyCode, modifiers), expected);
    }

    void keyTableHasEachCodeOnceWithAName() {
        QSet<int> codes;
        for (const KeyTableEntry& entry : KeyTable::entries()) {
            QVERIFY(!entry.name.isEmpty());
            codes.insert(entry.keyCode);
        }
        QCOMPARE(qsizetype(codes.size()), qsizetype(KeyTable::entries().size()));
    }

    void conflict_data() {
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("keyCode");
        QTest::addColumn<QString>("expected"); // empty: no entry
        QTest::newRow("ctrl shift T") << 768 << 17 << QStringLiteral("Ctrl+Shift+T 重新打开关闭的标签页");
        QTest::newRow("bare print") << 0 << KeyTable::print << QStringLiteral("Print 截图（系统强占）");
        QTest::newRow("ctrl apostrophe") << 256 << 39 << QString();
        QTest::newRow("ctrl plus caps lock") << (256 | 1024) << 0 << QString();
        QTest::newRow("extra modifier") << (768 | 2048) << 17 << QString();
        QTest::newRow("keypad 1 is not the digit 1") << 256 << 83 << QString();
        QTest::newRow("the mac's screenshot keys are gone") << 768 << 21 << QString();
        QTest::newRow("super D stays free") << 4096 << 2 << QString();
    }
    void conflict() {
        QFETCH(int, modifiers);
        QFETCH(int, keyCode);
        QFETCH(QString, expected);
        const std::optional<QString> found = checkSystemHotkeyConflict(modifiers, keyCode);
        QCOMPARE(found.has_value(), !expected.isEmpty());
        QCOMPARE(found.value_or(QString()), expected);
    }

    // A wrong key code or mask in the catalogue shows in its description's combination.
    void catalogueDescriptionsNameTheirKey() {
        QSet<QPair<int, int>> seen;
        for (const SystemHotkeyEntry& entry : systemHotkeyCatalogue()) {
            QVERIFY2(!seen.contains({entry.modifiers, entry.keyCode}),
                     qPrintable(entry.description.toString()));
            seen.insert({entry.modifiers, entry.keyCode});
            QString prefix = hotkeyDisplayString(entry.keyCode, entry.modifiers);
            if (entry.description.contains(u"1-9 "))
                prefix = prefix.left(prefix.size() - 1) + QStringLiteral("1-9");
            QVERIFY2(entry.description.startsWith(prefix + QLatin1Char(' ')),
                     qPrintable(entry.description.toString()));
        }
    }

    void defaultsAreLinuxFriendly() {
        TestEnvironment env;
        const HotkeyDefaults defaults = SettingsManager::hotkeyDefaults();
        const QStringList displays{QStringLiteral("Super+T"), QStringLiteral("Super+Shift+T"),
                                   QStringLiteral("Esc"), QStringLiteral("`"), QStringLiteral("Super+D")};
        QList<HotkeyCombination> combinations;
        for (const HotkeyDefault& hotkey : {defaults.screenshot, defaults.selection, defaults.closePanel,
                                            defaults.togglePanel, defaults.split}) {
            QCOMPARE(hotkeyDisplayString(hotkey.keyCode, hotkey.modifiers), displays.at(combinations.size()));
            combinations.append({hotkey.keyCode, hotkey.modifiers});
        }
        QVERIFY(collectHotkeyConflicts(combinations).isEmpty());

        const SettingsManager fresh(env.newPreferencesPath());
        QCOMPARE(QStringList({fresh.hotkeyDisplay(), fresh.selectionHotkeyDisplay(),
                              fresh.closePanelHotkeyDisplay(), fresh.togglePanelHotkeyDisplay(),
                              fresh.splitHotkeyDisplay()}),
                 displays);
    }
};

QTEST_GUILESS_MAIN(TestHotkeyNames)
#include "tst_hotkey_names.moc"
