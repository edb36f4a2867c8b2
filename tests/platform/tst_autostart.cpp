#include "platform/freedesktop/Autostart.h"
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

private Q_SLOTS:
    void execArgument_data() {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("exec");
        const char* const rows[][3] = {{"plain", "/usr/bin/vyrn", "/usr/bin/vyrn"},
                                       {"space", "/opt/my apps/vyrn", "\"/opt/my apps/vyrn\""},
                                       {"percent", "/opt/100%/vyrn", "/opt/100%%/vyrn"},
                                       {"dollar", "/home/a$b/vyrn", "\"/home/a\\\\$b/vyrn\""},
                                       {"quote", "/a\"b/vyrn", "\"/a\\\\\"b/vyrn\""},
                                       {"backslash", "/a\\b/vyrn", "\"/a\\\\\\\\b/vyrn\""},
                                       {"non-ASCII", "/home/李/vyrn", "/home/李/vyrn"}};
        for (const auto& row : rows)
            QTest::newRow(row[0]) << QString::fromUtf8(row[1]) << QString::fromUtf8(row[2]);
    }
    void execArgument() {
        QFETCH(QString, argument);
        QFETCH(QString, exec);
        QCOMPARE(Autostart::execArgument(argument), exec);
    }

    // The program sits in folders whose names need quoting; the launcher must start it with
    // exactly one argument, --background.
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

    void failureIsReported() {
        const QString folder = QFileInfo(Autostart::entryPath()).path();
        QVERIFY(QDir(folder).removeRecursively());
        writeFileBytes(folder, "not a folder"); // where the folder should be
        QString error;
        QVERIFY(!Autostart::setEnabled(true, &error, QStringLiteral("/usr/bin/vyrn")));
        QVERIFY2(error.startsWith(QStringLiteral("无法写入 ") + Autostart::entryPath()), qPrintable(error));
        QVERIFY(!Autostart::isEnabled());
        QVERIFY(QFile::remove(folder));
    }
};

QTEST_GUILESS_MAIN(TestAutostart)
#include "tst_autostart.moc"
