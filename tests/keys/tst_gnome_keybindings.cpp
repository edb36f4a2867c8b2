#include "keys/GnomeKeybindings.h"
#include "keys/KeyTable.h"

#include <QTest>

using namespace GnomeKeybindings;

class TestGnomeKeybindings : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void accelerator_data() {
        QTest::addColumn<int>("keyCode");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("expected");
        QTest::newRow("default screenshot") << 17 << 4096 << QStringLiteral("<Super>t");
        QTest::newRow("default selection") << 17 << 4608 << QStringLiteral("<Shift><Super>t");
        QTest::newRow("all four") << 2 << 6912 << QStringLiteral("<Control><Shift><Alt><Super>d");
        QTest::newRow("punctuation by name") << 50 << 2048 << QStringLiteral("<Alt>grave");
        QTest::newRow("keypad digit") << 83 << 256 << QStringLiteral("<Control>KP_1");
        QTest::newRow("function key") << 111 << 4096 << QStringLiteral("<Super>F12");
        QTest::newRow("page down") << 121 << 256 << QStringLiteral("<Control>Page_Down");
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
        QTest::newRow("order and case") << "<Shift><Super>t"
                                        << "<super><SHIFT>T" << true;
        QTest::newRow("control spellings") << "<Control>q"
                                           << "<Primary>q" << true;
        QTest::newRow("ctrl") << "<Ctrl><Alt>Delete"
                              << "<Alt><Control>Delete" << true;
        QTest::newRow("mod4 is super") << "<Mod4>t"
                                       << "<Super>t" << true;
        QTest::newRow("page aliases") << "<Super>Next"
                                      << "<Super>Page_Down" << true;
        QTest::newRow("extra modifier differs") << "<Super>t"
                                                << "<Shift><Super>t" << false;
        QTest::newRow("other key") << "<Super>t"
                                   << "<Super>y" << false;
        QTest::newRow("unknown modifiers kept apart") << "<Hyper>t"
                                                      << "<Meta>t" << false;
        QTest::newRow("disabled binds nothing") << "disabled"
                                                << "disabled" << false;
        QTest::newRow("empty binds nothing") << ""
                                             << "" << false;
        QTest::newRow("bare modifier list binds nothing") << "<Super>"
                                                          << "<Super>" << false;
    }
    void same() {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(bool, same);
        QCOMPARE(sameAccelerator(a, b), same);
        QCOMPARE(sameAccelerator(b, a), same);
    }

    void holder_data() {
        QTest::addColumn<QString>("accelerator");
        QTest::addColumn<QString>("expected"); // empty: free
        QTest::newRow("gnome's own, second of its list") << "<Super>V"
                                                         << "GNOME 快捷键「Show the notification list」";
        QTest::newRow("user's custom") << "<Control><Alt>t"
                                       << "GNOME 自定义快捷键「Terminal」";
        QTest::newRow("custom without name named by command") << "<Super>F9"
                                                              << "GNOME 自定义快捷键「xterm」";
        QTest::newRow("vyrn's own entry holds nothing") << "<Super>t"
                                                        << "";
        QTest::newRow("free") << "<Super>y"
                              << "";
    }
    void holder() {
        QFETCH(QString, accelerator);
        QFETCH(QString, expected);
        const QList<BuiltInBinding> builtIn{
            {QStringLiteral("Switch windows"), {QStringLiteral("<Alt>Tab")}},
            {QStringLiteral("Show the notification list"),
             {QStringLiteral("<Super>m"), QStringLiteral("<Super>v")}},
        };
        const QList<CustomBinding> custom{
            {screenshotPath(), QStringLiteral("VYRN"), QStringLiteral("/usr/bin/vyrn --screenshot"),
             QStringLiteral("<Super>t")},
            {QString::fromLatin1(kCustomBase) + QStringLiteral("custom0/"), QStringLiteral("Terminal"),
             QStringLiteral("gnome-terminal"), QStringLiteral("<Primary><Alt>t")},
            {QString::fromLatin1(kCustomBase) + QStringLiteral("custom1/"), QString(),
             QStringLiteral("xterm"), QStringLiteral("<Super>F9")},
        };
        QCOMPARE(holderOf(accelerator, builtIn, custom).value_or(QString()), expected);
    }

    void paths_data() {
        const QString c0 = QString::fromLatin1(kCustomBase) + QStringLiteral("custom0/");
        const QString c1 = QString::fromLatin1(kCustomBase) + QStringLiteral("custom1/");
        QTest::addColumn<QStringList>("current");
        QTest::addColumn<bool>("withVyrn");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("add to none") << QStringList{} << true
                                     << QStringList{screenshotPath(), selectionPath()};
        QTest::newRow("add after the user's")
            << QStringList{c1, c0} << true << QStringList{c1, c0, screenshotPath(), selectionPath()};
        QTest::newRow("rewrite keeps one of each")
            << QStringList{selectionPath(), c0, screenshotPath(), selectionPath()} << true
            << QStringList{c0, screenshotPath(), selectionPath()};
        QTest::newRow("remove keeps the user's")
            << QStringList{c0, screenshotPath(), c1, selectionPath()} << false << QStringList{c0, c1};
        QTest::newRow("a look-alike path is the user's")
            << QStringList{QString::fromLatin1(kCustomBase) + QStringLiteral("vyrn-screenshot-old/")} << false
            << QStringList{QString::fromLatin1(kCustomBase) + QStringLiteral("vyrn-screenshot-old/")};
    }
    void paths() {
        QFETCH(QStringList, current);
        QFETCH(bool, withVyrn);
        QFETCH(QStringList, expected);
        QCOMPARE(pathsAfter(current, withVyrn), expected);
    }
};

QTEST_GUILESS_MAIN(TestGnomeKeybindings)
#include "tst_gnome_keybindings.moc"
