#include "app/CommandLine.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// What `cmake --install` puts on a machine, and the menu entry as desktops read it.
class TestDesktopEntry : public QObject {
    Q_OBJECT
    QTemporaryDir scratch;
    QString prefix;

    static QString run(const QString& program, const QStringList& arguments, int* exitCode) {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(program, arguments);
        process.waitForFinished(120000);
        *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        return QString::fromUtf8(process.readAll());
    }

    // The key of a group, read the way the desktop entry format is (no INI escapes).
    QString value(const QString& group, const QString& key) {
        QFile file(prefix + QStringLiteral("/share/applications/app.vyrn.Vyrn.desktop"));
        [&] { QVERIFY(file.open(QIODevice::ReadOnly)); }();
        QString current;
        for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
            if (line.startsWith(QLatin1Char('[')))
                current = line.mid(1).chopped(1);
            else if (current == group && line.startsWith(key + QLatin1Char('=')))
                return line.mid(key.size() + 1);
        }
        return {};
    }

private Q_SLOTS:
    void initTestCase() {
        // A prefix that needs quoting in Exec lines; the component install leaves the build
        // folder's own install_manifest.txt (what scripts/install.sh --uninstall reads) alone.
        prefix = scratch.filePath(QStringLiteral("my prefix"));
        // An older install's entry for the same program, which KWin might take instead.
        writeFileBytes(prefix + QStringLiteral("/share/applications/vyrn.desktop"),
                       "[Desktop Entry]\nExec=vyrn\n");
        int exitCode = 0;
        const QString output =
            run(QStringLiteral("cmake"),
                {QStringLiteral("--install"), QStringLiteral(VYRN_BUILD_DIR), QStringLiteral("--component"),
                 QStringLiteral("Unspecified"), QStringLiteral("--prefix"), prefix},
                &exitCode);
        QVERIFY2(exitCode == 0, qPrintable(output));
    }

    void installsOnlyItsOwnFiles() {
        QStringList files;
        for (QDirIterator it(prefix, QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
            files.append(QDir(prefix).relativeFilePath(it.next()));
        files.sort();
        // The same list as the Debian package's (scripts/check-package.sh).
        const QStringList expected = QString::fromUtf8(readFileBytes(QStringLiteral(VYRN_INSTALLED_FILES)))
                                         .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(files, expected);
        QVERIFY(QFileInfo(prefix + QStringLiteral("/bin/vyrn")).isExecutable());
        QVERIFY(QFileInfo(prefix + QStringLiteral("/libexec/vyrn/vyrn-atspi-reader")).isExecutable());
    }

    void entryIsValid() {
        int exitCode = 0;
        const QString report =
            run(QStringLiteral("desktop-file-validate"),
                {prefix + QStringLiteral("/share/applications/app.vyrn.Vyrn.desktop")}, &exitCode);
        QVERIFY2(exitCode == 0 && report.isEmpty(), qPrintable(report));
        QCOMPARE(value(QStringLiteral("Desktop Entry"), QStringLiteral("Icon")), QStringLiteral("vyrn"));
        // KWin's screenshot interface, granted to the program the entry's Exec names.
        QCOMPARE(value(QStringLiteral("Desktop Entry"), QStringLiteral("X-KDE-DBUS-Restricted-Interfaces")),
                 QStringLiteral("org.kde.KWin.ScreenShot2"));
    }

    // Every desktop action starts the installed program with the option of the same action.
    void actionsRunTheInstalledProgram() {
        const QString program = QLatin1Char('"') + prefix + QStringLiteral("/bin/vyrn\"");
        QCOMPARE(value(QStringLiteral("Desktop Entry"), QStringLiteral("Exec")), program);
        const QStringList actions = value(QStringLiteral("Desktop Entry"), QStringLiteral("Actions"))
                                        .split(QLatin1Char(';'), Qt::SkipEmptyParts);
        QCOMPARE(actions.size(), 4);
        for (const QString& action : actions) {
            const QString exec = value(QStringLiteral("Desktop Action ") + action, QStringLiteral("Exec"));
            QVERIFY2(exec.startsWith(program + QLatin1Char(' ')), qPrintable(exec));
            const CommandLine line = parseCommandLine(exec.mid(program.size() + 1).split(QLatin1Char(' ')));
            QCOMPARE(line.kind, CommandLine::Kind::Run);
            QVERIFY(line.action);
            QCOMPARE(appActionName(*line.action), action);
        }
    }
};

QTEST_GUILESS_MAIN(TestDesktopEntry)
#include "tst_desktop_entry.moc"
