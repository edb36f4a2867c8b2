#include "keys/GnomeKeybindings.h"
#include "keys/KeyTable.h"

#include <QTest>

#include <tuple>

using namespace GnomeKeybindings;

// Which entries are VYRN's and who holds a combination: in a GNOME session's dconf
// (tst_gnome_keybindings_dconf); here, the spellings no dconf row reaches.
class TestGnomeKeybindings : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void accelerator_data() {
        QTest::addColumn<int>("keyCode");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("expected");
        QTest::newRow("all four, GTK's order")
            << 2 << 6912 << QStringLiteral("<Control><Shift><Alt><Super>d");
        QTest::newRow("keypad digit") << 83 << 256 << QStringLiteral("<Control>KP_1");
        QTest::newRow("function key") << 111 << 4096 << QStringLiteral("<Super>F12");
        QTest::newRow("print") << KeyTable::print << 512 << QStringLiteral("<Shift>Print");
        QTest::newRow("no keysym") << 55 << 4096 << QString();
    }
    void accelerator() {
        QFETCH(int, keyCode);
        QFETCH(int, modifiers);
        QFETCH(QString, expected);
        QCOMPARE(acceleratorFor(keyCode, modifiers), expected);
    }

    void same_data() {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<bool>("same");
        for (const auto& [row, a, b, same] :
             std::initializer_list<std::tuple<const char*, const char*, const char*, bool>>{
                 {"order and case", "<Shift><Super>t", "<super><SHIFT>T", true},
                 {"control spellings", "<Ctrl><Alt>Delete", "<Alt><Primary>Delete", true},
                 {"mod4 is super, page aliases", "<Mod4>Next", "<Super>Page_Down", true},
                 {"extra modifier differs", "<Super>t", "<Shift><Super>t", false},
                 {"unknown modifiers kept apart", "<Hyper>t", "<Meta>t", false},
                 {"disabled binds nothing", "disabled", "disabled", false},
                 {"a bare modifier binds nothing", "<Super>", "<Super>", false}})
            QTest::newRow(row) << QString::fromLatin1(a) << QString::fromLatin1(b) << same;
    }
    void same() {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(bool, same);
        QCOMPARE(sameAccelerator(a, b), same);
        QCOMPARE(sameAccelerator(b, a), same);
    }
};

QTEST_GUILESS_MAIN(TestGnomeKeybindings)
#include "tst_gnome_keybindings.moc"
