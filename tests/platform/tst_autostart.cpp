#include "platform/freedesktop/Autostart.h"
#include "platform/freedesktop/InstallationCheck.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

// The login entry as desktops read it: desktop-file-validate checks its form, and GLib's
// launcher (what GNOME and Xfce start autostart entries with) runs its Exec line.
class TestAutostart : public QObject {
    Q_OBJECT
    TestEnvironment env;

    static int validate(const QString& path, QString* output) {
        QProcess validator;
        validator.setProcessChannelMode(QProcess::MergedChannels);
        validator.start(QStringLiteral("desktop-file-validate"), {path});
        validator.waitForFinished(10000);
        *output = QString::fromUtf8(validator.readAll());
        return validator.exitStatus() == QProcess::NormalExit ? validator.exitCode() : -1;
    }

    // bin/vyrn and libexec/vyrn/vyrn-atspi-reader under `prefix`; the program's path.
    QString install(const QString& prefix) {
        const QString root = env.root() + u'/' + prefix;
        for (const char* file : {"/bin/vyrn", "/libexec/vyrn/vyrn-atspi-reader"}) {
            writeFileBytes(root + file, "#!/bin/sh\n");
            QFile::setPermissions(root + file, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        }
        return root + QStringLiteral("/bin/vyrn");
    }

private Q_SLOTS:
    // What a launcher cannot run (desktopsRunTheEntry runs the rest): '%' doubled, and
    // nothing quoted that needs no quotes.
    void execArgument() {
        QCOMPARE(Autostart::execArgument(QStringLiteral("/opt/100%/vyrn")),
                 QStringLiteral("/opt/100%%/vyrn"));
        QCOMPARE(Autostart::execArgument(QStringLiteral("/home/李/vyrn")), QStringLiteral("/home/李/vyrn"));
    }

    // The launcher must start the program with exactly one argument, --background.
    void desktopsRunTheEntry_data() {
        QTest::addColumn<QString>("folder");
        QTest::newRow("plain") << "bin";
        // Not '%': GLib looks the program up before it undoes the %% escape, so no
        // spelling of such a path starts from a GLib desktop.
        QTest::newRow("space") << "my apps";
        QTest::newRow("shell characters") << "a$b \"c\" `d` \\e";
    }
    void desktopsRunTheEntry() {
        QFETCH(QString, folder);
        const QString directory = env.root() + QStringLiteral("/programs/") + folder;
        QVERIFY(QDir().mkpath(directory));
        const QString program = directory + QStringLiteral("/vyrn");
        const QString record = env.root() + QStringLiteral("/arguments.txt");
        QFile::remove(record);
        writeFileBytes(program, "#!/bin/sh\nprintf '%s|' \"$@\" > '" + record.toUtf8() + "'\n");
        QVERIFY(QFile::setPermissions(program, QFileDevice::ReadOwner | QFileDevice::ExeOwner));

        QString error;
        QVERIFY2(Autostart::setEnabled(true, &error, program), qPrintable(error));
        QVERIFY(Autostart::isEnabled());
        QCOMPARE(Autostart::program(), program);
        QString report;
        QVERIFY2(validate(Autostart::entryPath(), &report) == 0, qPrintable(report));
        QProcess launcher;
        launcher.start(QStringLiteral("gio"), {QStringLiteral("launch"), Autostart::entryPath()});
        QVERIFY(launcher.waitForFinished(10000));
        QCOMPARE(launcher.exitCode(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(readFileBytes(record), QByteArray("--background|"), 10000);
        QVERIFY(Autostart::setEnabled(false));
        QVERIFY(!QFileInfo::exists(Autostart::entryPath()));
        QVERIFY(Autostart::setEnabled(false)); // nothing to remove is no failure
    }

    // What a source install left when the package's program starts: a login entry for a build
    // folder starts the installed program from then on (one for another install stays); an
    // install into ~/.local first in PATH, and its menu entry under the old name, are named.
    void earlierInstalls() {
        const QString installed = install(QStringLiteral("usr")), local = install(QStringLiteral("local"));
        QVERIFY(Autostart::setEnabled(true, nullptr, env.root() + QStringLiteral("/vyrn/build/vyrn")));
        InstallationCheck::adoptAutostart(installed);
        QCOMPARE(Autostart::program(), installed);
        QVERIFY(Autostart::setEnabled(true, nullptr, local));
        InstallationCheck::adoptAutostart(installed);
        QCOMPARE(Autostart::program(), local);

        const QString data = env.root() + QStringLiteral("/share"),
                      entry = data + "/applications/vyrn.desktop";
        const QString path = QFileInfo(local).path() + u':' + QFileInfo(installed).path();
        QVERIFY(InstallationCheck::leftovers(installed, path, data).join(u' ').contains(local));
        QVERIFY(InstallationCheck::leftovers(local, path, data).isEmpty());
        writeFileBytes(entry, "[Desktop Entry]\n");
        QVERIFY(InstallationCheck::leftovers(local, path, data).join(u' ').contains(entry));
    }

    void switchedOffTheDesktopsWay_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("Hidden") << QByteArray("Hidden=true");
        QTest::newRow("GNOME's switch") << QByteArray("X-GNOME-Autostart-enabled=false");
    }
    void switchedOffTheDesktopsWay() {
        QFETCH(QByteArray, line);
        QVERIFY(Autostart::setEnabled(true, nullptr, QStringLiteral("/usr/bin/vyrn")));
        QByteArray text = readFileBytes(Autostart::entryPath());
        text.replace("X-GNOME-Autostart-enabled=true\n", "");
        writeFileBytes(Autostart::entryPath(), text + line + '\n');
        QVERIFY(!Autostart::isEnabled());
    }
};

QTEST_GUILESS_MAIN(TestAutostart)
#include "tst_autostart.moc"
