#include "platform/gnome/GnomeCustomKeybindings.h"
#include "support/PrivateSessionBus.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#pragma push_macro("signals")
#undef signals
#include <gio/gio.h>
#pragma pop_macro("signals")

using namespace GnomeKeybindings;

namespace {

const QString kMediaKeys = QStringLiteral("org.gnome.settings-daemon.plugins.media-keys");
const QString kEntry = kMediaKeys + QStringLiteral(".custom-keybinding:");
const QString kUsersPath = QString::fromLatin1(kCustomBase) + QStringLiteral("custom0/");

using Binding = DesktopKeybindings::Binding;

Binding screenshot(int keyCode, int modifiers) {
    return {QStringLiteral("VYRN 截图翻译"), QStringLiteral("/opt/vyrn/vyrn --screenshot"), keyCode,
            modifiers};
}
Binding selection(int keyCode, int modifiers) {
    return {QStringLiteral("VYRN 划词翻译"), QStringLiteral("/opt/vyrn/vyrn --selection"), keyCode,
            modifiers};
}

} // namespace

// Against the real dconf of a private session bus, read back by another process (gsettings),
// as GNOME's own daemon reads it.
class TestGnomeCustomKeybindings : public QObject {
    Q_OBJECT

    QTemporaryDir m_home;
    std::unique_ptr<PrivateSessionBus> m_bus;
    std::unique_ptr<GnomeCustomKeybindings> m_gnome;

    QString gsettings(const QStringList& arguments) {
        QProcess process;
        process.start(QStringLiteral("gsettings"), arguments);
        process.waitForFinished(10000);
        return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    }
    QString entry(const QString& path, const QString& key) {
        return gsettings({QStringLiteral("get"), kEntry + path, key});
    }

private Q_SLOTS:
    void initTestCase() {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* folder : {"config", "run", "cache"}) {
            QVERIFY(QDir(m_home.path()).mkpath(QString::fromLatin1(folder)));
            QFile::setPermissions(m_home.filePath(QString::fromLatin1(folder)),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        for (const auto& [name, folder] :
             {std::pair{"XDG_CONFIG_HOME", "config"}, std::pair{"XDG_RUNTIME_DIR", "run"},
              std::pair{"XDG_CACHE_HOME", "cache"}}) {
            environment.insert(QString::fromLatin1(name), m_home.filePath(QString::fromLatin1(folder)));
            qputenv(name, m_home.filePath(QString::fromLatin1(folder)).toUtf8());
        }
        environment.insert(QStringLiteral("GSETTINGS_BACKEND"), QStringLiteral("dconf"));
        qputenv("GSETTINGS_BACKEND", "dconf");
        m_bus = std::make_unique<PrivateSessionBus>(environment);
        QVERIFY(m_bus->isRunning());
        m_bus->becomeThisProcessBus();
        m_gnome = GnomeCustomKeybindings::open();
        QVERIFY2(m_gnome,
                 "GNOME's schemas are missing (gnome-settings-daemon-common, gsettings-desktop-schemas)");

        // The user's own entry, written as GNOME Settings writes it.
        gsettings(
            {QStringLiteral("set"), kEntry + kUsersPath, QStringLiteral("name"), QStringLiteral("Terminal")});
        gsettings({QStringLiteral("set"), kEntry + kUsersPath, QStringLiteral("command"),
                   QStringLiteral("gnome-terminal")});
        gsettings({QStringLiteral("set"), kEntry + kUsersPath, QStringLiteral("binding"),
                   QStringLiteral("<Primary><Alt>t")});
        gsettings({QStringLiteral("set"), kMediaKeys, QStringLiteral("custom-keybindings"),
                   QStringLiteral("['%1']").arg(kUsersPath)});
        QCOMPARE(m_gnome->customBindings().size(), 1);
    }

    void write_data() {
        QTest::addColumn<int>("screenshotKey");
        QTest::addColumn<int>("screenshotModifiers");
        QTest::addColumn<int>("selectionModifiers"); // the selection's key is T
        QTest::addColumn<QString>("screenshotFailure");
        QTest::addColumn<QString>("selectionFailure");
        QTest::addColumn<QString>("list");
        QTest::newRow("defaults")
            << 17 << 4096 << 4608 << QString() << QString()
            << QStringLiteral("['%1', '%2', '%3']").arg(kUsersPath, screenshotPath(), selectionPath());
        QTest::newRow("held by GNOME: that one is not written")
            << 48 << 4096 << 4608 << QStringLiteral("已被 GNOME 快捷键「Switch applications」 占用")
            << QString() << QStringLiteral("['%1', '%2']").arg(kUsersPath, selectionPath());
        QTest::newRow("held by the user's entry")
            << 17 << (256 | 2048) << 4608 << QStringLiteral("已被 GNOME 自定义快捷键「Terminal」 占用")
            << QString() << QStringLiteral("['%1', '%2']").arg(kUsersPath, selectionPath());
        QTest::newRow("both the same")
            << 17 << 4608 << 4608 << QString() << QStringLiteral("与截图翻译的快捷键相同")
            << QStringLiteral("['%1', '%2']").arg(kUsersPath, screenshotPath());
    }
    void write() {
        QFETCH(int, screenshotKey);
        QFETCH(int, screenshotModifiers);
        QFETCH(int, selectionModifiers);
        QFETCH(QString, screenshotFailure);
        QFETCH(QString, selectionFailure);
        QFETCH(QString, list);
        // Over what the defaults wrote, as a changed combination is written.
        m_gnome->write({screenshot(17, 4096), selection(17, 4608)});
        const QList<std::optional<QString>> outcome = m_gnome->write(
            {screenshot(screenshotKey, screenshotModifiers), selection(17, selectionModifiers)});
        QCOMPARE(outcome.size(), 2);
        QCOMPARE(outcome[0].value_or(QString()), screenshotFailure);
        QCOMPARE(outcome[1].value_or(QString()), selectionFailure);
        QCOMPARE(gsettings({QStringLiteral("get"), kMediaKeys, QStringLiteral("custom-keybindings")}), list);
        const QString screenshotBinding = entry(screenshotPath(), QStringLiteral("binding"));
        QCOMPARE(screenshotBinding,
                 screenshotFailure.isEmpty()
                     ? QStringLiteral("'%1'").arg(acceleratorFor(screenshotKey, screenshotModifiers))
                     : QStringLiteral("''"));
        if (screenshotFailure.isEmpty())
            QCOMPARE(entry(screenshotPath(), QStringLiteral("command")),
                     QStringLiteral("'/opt/vyrn/vyrn --screenshot'"));
        QCOMPARE(entry(kUsersPath, QStringLiteral("binding")), QStringLiteral("'<Primary><Alt>t'"));
        QCOMPARE(m_gnome->written(), true);
    }

    void cleanupTestCase() {
        // GIO ends the process with SIGTERM when its session bus goes away, as at logout.
        if (GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr)) {
            g_dbus_connection_set_exit_on_close(bus, FALSE);
            g_object_unref(bus);
        }
    }

    void removeLeavesTheUsersEntry() {
        m_gnome->write({screenshot(17, 4096), selection(17, 4608)});
        m_gnome->remove();
        QVERIFY(!m_gnome->written());
        QCOMPARE(gsettings({QStringLiteral("get"), kMediaKeys, QStringLiteral("custom-keybindings")}),
                 QStringLiteral("['%1']").arg(kUsersPath));
        QCOMPARE(gsettings({QStringLiteral("list-recursively"), kEntry + screenshotPath()}).count(u"''"), 3);
        QCOMPARE(entry(kUsersPath, QStringLiteral("name")), QStringLiteral("'Terminal'"));
        QCOMPARE(entry(kUsersPath, QStringLiteral("command")), QStringLiteral("'gnome-terminal'"));
    }
};

QTEST_GUILESS_MAIN(TestGnomeCustomKeybindings)
#include "tst_gnome_custom_keybindings.moc"
