#include "settings/SettingsManager.h"
#include "support/LocalHttpServer.h"
#include "support/NotificationServer.h"
#include "support/PrivateSessionBus.h"
#include "support/TestEnvironment.h"
#include "support/VyrnProcess.h"
#include "support/X11Desktop.h"

#include <QDBusConnection>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {
const QString kReady = QStringLiteral(" 就绪 — ");
const QString kSettingsHook = QStringLiteral("打开偏好设置窗口");
const QString kScreenshot = QStringLiteral("===== 翻译流水线开始 =====");
const QString kSelection = QStringLiteral("===== 划词翻译流水线开始 =====");
const QString kCaptureEnded = QStringLiteral("截图取消或失败");
} // namespace

// The real program as a desktop starts it, on a session bus of each test's own.
class TestStartup : public QObject {
    Q_OBJECT
    TestEnvironment env;
    X11Desktop desktop;
    LocalHttpServer updateService;

    static bool windowsOfProcessHaveFocus(qint64 pid) {
        return X11Desktop::windowsOf(pid).contains(X11Desktop::activeWindow());
    }

    // Esc on the frozen screen, until the program has taken its keyboard and let it go.
    static bool closeOverlay(VyrnProcess& vyrn) {
        const int ended = vyrn.count(kCaptureEnded) + 1;
        return QTest::qWaitFor(
            [&] {
                X11Desktop::key(QStringLiteral("Escape"));
                return vyrn.waitFor(kCaptureEnded, ended, 500);
            },
            30000);
    }

    // Another program holding a combination, from before VYRN starts until the end of the test.
    static std::unique_ptr<DesktopProgram> hold(int keyCode, int modifiers) {
        auto holder = std::make_unique<DesktopProgram>(
            QStringLiteral(HOTKEY_HOLDER), QStringList{QString::number(keyCode), QString::number(modifiers)});
        return holder->waitForLine("held") ? std::move(holder) : nullptr;
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(desktop.startWindowManager());
        pointUpdateCheckAt(updateService.baseUrl());
    }

    void init() { updateService.reset(); }

    void commandLine_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("errors");
        QTest::newRow("version") << QStringList{QStringLiteral("--version")} << 0
                                 << QStringLiteral("VYRN 0.1.0 (") << QString();
        QTest::newRow("unknown option") << QStringList{QStringLiteral("--frobnicate")} << 2 << QString()
                                        << QStringLiteral("vyrn: 未知选项: --frobnicate\n\n用法: vyrn");
        QTest::newRow("quit with none running") << QStringList{QStringLiteral("--quit")} << 0
                                                << QStringLiteral("没有正在运行的 VYRN") << QString();
    }
    void commandLine() {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        QFETCH(QString, errors);
        PrivateSessionBus bus;
        QVERIFY(bus.isRunning());
        const VyrnProcess::Finished finished =
            VyrnProcess::run(arguments, bus.environment(VyrnProcess::environment()));
        QCOMPARE(finished.exitCode, exitCode);
        QVERIFY2(finished.output.contains(output), qPrintable(finished.output));
        QVERIFY2(finished.errors.contains(errors), qPrintable(finished.errors));
        QVERIFY(!finished.output.contains(QStringLiteral("启动 ====="))); // nothing was started
    }

    // Counts are checked at the end: each request was handled once.
    void oneInstanceTakesEveryRequest() {
        PrivateSessionBus bus;
        const QProcessEnvironment environment = bus.environment(VyrnProcess::environment());
        VyrnProcess vyrn(environment);
        QVERIFY(vyrn.startReady());
        QVERIFY(vyrn.waitFor(kSettingsHook)); // the settings window, after its delay
        QVERIFY(vyrn.output().indexOf(kSettingsHook) > vyrn.output().indexOf(kReady));

        QCOMPARE(VyrnProcess::run({}, environment).exitCode, 0); // reopen: the settings window
        QVERIFY(vyrn.waitFor(kSettingsHook, 2));
        QCOMPARE(VyrnProcess::run({QStringLiteral("--screenshot")}, environment).exitCode, 0);
        QVERIFY(vyrn.waitFor(kScreenshot, 1));
        QVERIFY(closeOverlay(vyrn));
        X11Desktop::key(QStringLiteral("super+t"));
        QVERIFY(vyrn.waitFor(kScreenshot, 2));
        QVERIFY(closeOverlay(vyrn));
        X11Desktop::key(QStringLiteral("super+shift+t"));
        QVERIFY(vyrn.waitFor(kSelection, 1));

        const VyrnProcess::Finished quit = VyrnProcess::run({QStringLiteral("--quit")}, environment);
        QCOMPARE(quit.exitCode, 0);
        QVERIFY(vyrn.waitForCleanExit());
        QCOMPARE(vyrn.count(kSettingsHook), 2);
        QCOMPARE(vyrn.count(kScreenshot), 2);
        QCOMPARE(vyrn.count(kSelection), 1);
    }

    // A newer version's start makes the running one run it in its place (here its own file: the
    // caller is no vyrn) once the screenshot under way has ended; the newer does what was asked.
    void newerVersionTakesOver() {
        PrivateSessionBus bus;
        const QProcessEnvironment environment = bus.environment(VyrnProcess::environment());
        VyrnProcess vyrn(environment);
        QVERIFY(vyrn.start({QStringLiteral("--screenshot")}));
        QVERIFY(vyrn.waitFor(kScreenshot));
        QProcess newer;
        newer.setProcessEnvironment(environment);
        newer.start(QStringLiteral("gdbus"),
                    {"call", "--session", "--dest", "app.vyrn.Vyrn", "--object-path", "/app/vyrn/Vyrn",
                     "--method", "org.freedesktop.Application.Activate",
                     "{'vyrn-version': <'99.0'>, 'vyrn-build': <'1'>}"});
        QVERIFY(newer.waitForFinished(10000) && newer.exitCode() == 0);
        QTest::qWait(1000);
        QCOMPARE(vyrn.count(QStringLiteral(" 启动 =====")), 1);
        QVERIFY(closeOverlay(vyrn));
        QVERIFY(vyrn.waitFor(QStringLiteral(" 启动 ====="), 2));
        QVERIFY(vyrn.waitFor(kSettingsHook));
        QVERIFY(vyrn.terminate());
    }

    // The update check runs 3 s after launch, well after the settings window would have opened.
    void someStartsSkipTheSettingsWindow_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("actionLine");
        QTest::newRow("screenshot action") << QStringList{QStringLiteral("--screenshot")} << kScreenshot;
        QTest::newRow("settings action") << QStringList{QStringLiteral("--settings")} << kSettingsHook;
        QTest::newRow("autostart with an action")
            << QStringList{QStringLiteral("--background"), QStringLiteral("--selection")} << kSelection;
    }
    void someStartsSkipTheSettingsWindow() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, actionLine);
        PrivateSessionBus bus;
        VyrnProcess vyrn(bus.environment(VyrnProcess::environment()));
        QVERIFY(vyrn.start(arguments));
        QVERIFY(updateService.waitForRequests(1, 30000));
        QVERIFY(vyrn.waitFor(kReady));
        QCOMPARE(vyrn.count(kSettingsHook), actionLine == kSettingsHook ? 1 : 0);
        QCOMPARE(vyrn.count(actionLine), 1);
        QVERIFY(vyrn.terminate());
    }

    // SIGTERM with the alert open still ends the program cleanly and lets its grabs go.
    void busyHotkeyIsExplained() {
        const auto holder = hold(17, 4096); // Super+T
        QVERIFY(holder);
        const QByteArray preferences = readFileBytes(SettingsManager::preferencesPath());
        PrivateSessionBus bus;
        VyrnProcess vyrn(bus.environment(VyrnProcess::environment()));
        QVERIFY(vyrn.startReady());
        QTRY_VERIFY_WITH_TIMEOUT(X11Desktop::showsAlert(vyrn.pid()), 30000);
        X11Desktop::key(QStringLiteral("super+shift+t"));
        QVERIFY2(vyrn.waitFor(kSelection), qPrintable(vyrn.output()));
        QCOMPARE(readFileBytes(SettingsManager::preferencesPath()), preferences);

        QVERIFY(vyrn.terminate());
        // Super+Shift+T is free again (once the server has read the program's last requests).
        QTRY_VERIFY_WITH_TIMEOUT(hold(17, 4096 | 512) != nullptr, 10000);
    }

    // A hung instance is reported at once; a killed one leaves nothing that stops the next.
    void hungOrKilledInstance() {
        PrivateSessionBus bus;
        const QProcessEnvironment environment = bus.environment(VyrnProcess::environment());
        VyrnProcess vyrn(environment);
        QVERIFY(vyrn.startReady({QStringLiteral("--background")}));
        vyrn.signal(SIGSTOP);
        const VyrnProcess::Finished second = VyrnProcess::run({QStringLiteral("--settings")}, environment);
        QCOMPARE(second.exitCode, 1);
        QVERIFY2(second.errors.startsWith(QStringLiteral("已有 VYRN 实例无响应\n")),
                 qPrintable(second.errors));
        QVERIFY(second.errors.contains(QStringLiteral("kill %1").arg(vyrn.pid())));

        vyrn.signal(SIGKILL);
        QVERIFY(vyrn.process().waitForFinished(10000));
        VyrnProcess next(environment);
        QVERIFY(next.startReady({QStringLiteral("--background")}));
        QVERIFY(next.terminate());
    }

    void simultaneousStartsLeaveOne() {
        PrivateSessionBus bus;
        const QProcessEnvironment environment = bus.environment(VyrnProcess::environment());
        VyrnProcess first(environment), second(environment);
        QVERIFY(first.start({QStringLiteral("--background")}));
        QVERIFY(second.start({QStringLiteral("--background")}));
        QTRY_VERIFY_WITH_TIMEOUT(first.process().state() == QProcess::NotRunning ||
                                     second.process().state() == QProcess::NotRunning,
                                 30000);
        VyrnProcess& left = first.process().state() == QProcess::NotRunning ? first : second;
        VyrnProcess& running = &left == &first ? second : first;
        QCOMPARE(left.process().exitCode(), 0);
        QVERIFY(running.waitFor(kReady));
        // The one that left handed its start over: the running one was asked to reopen.
        QVERIFY(running.waitFor(QStringLiteral("再次启动 vyrn：打开偏好设置")));
        QCOMPARE(VyrnProcess::run({QStringLiteral("--quit")}, environment).exitCode, 0);
        QVERIFY(running.waitForCleanExit());
    }

    // What the program sets for its own sake (the OCR thread limit, the mark of its restart)
    // stays out of the programs it starts: here the browser of the update alert's "前往下载".
    void namedVyrnAndStartsProgramsWithTheCallersEnvironment_data() {
        QTest::addColumn<QString>("threadLimit"); // the caller's; empty: unset
        QTest::newRow("caller without a thread limit") << QString();
        QTest::newRow("caller with its own thread limit") << QStringLiteral("3");
    }
    void namedVyrnAndStartsProgramsWithTheCallersEnvironment() {
        QFETCH(QString, threadLimit);
        QTemporaryDir bin;
        const QString seen = bin.filePath(QStringLiteral("environment"));
        const QString browser = bin.filePath(QStringLiteral("xdg-open"));
        writeFileBytes(browser, "#!/bin/sh\nenv > '" + seen.toUtf8() + ".part' && mv '" + seen.toUtf8() +
                                    ".part' '" + seen.toUtf8() + "'\n");
        QVERIFY(QFile::setPermissions(browser, QFile::ReadOwner | QFile::ExeOwner));
        updateService.enqueue({200, "{\"version\":\"99.0\",\"url\":\"https://example.com/dl\"}"});

        PrivateSessionBus bus;
        QProcessEnvironment environment = bus.environment(VyrnProcess::environment());
        environment.insert(QStringLiteral("PATH"), bin.path() + QLatin1Char(':') + environment.value("PATH"));
        if (!threadLimit.isEmpty())
            environment.insert(QStringLiteral("OMP_THREAD_LIMIT"), threadLimit);
        VyrnProcess vyrn(environment);
        QVERIFY(vyrn.startReady({QStringLiteral("--background")}));
        QCOMPARE(readFileBytes(QStringLiteral("/proc/%1/comm").arg(vyrn.pid())), QByteArray("vyrn\n"));
        QVERIFY(readFileBytes(QStringLiteral("/proc/%1/environ").arg(vyrn.pid()))
                    .split('\0')
                    .contains("OMP_THREAD_LIMIT=1"));

        QTRY_VERIFY_WITH_TIMEOUT(windowsOfProcessHaveFocus(vyrn.pid()) && X11Desktop::showsAlert(vyrn.pid()),
                                 30000);
        QCOMPARE(vyrn.count(kSettingsHook), 0); // an autostart opens no settings window
        X11Desktop::key(QStringLiteral("Return"));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(seen), 10000);
        const QStringList variables = QString::fromUtf8(readFileBytes(seen)).split(QLatin1Char('\n'));
        QVERIFY(variables.contains(QStringLiteral("PATH=") + environment.value(QStringLiteral("PATH"))));
        QCOMPARE(variables.filter(QRegularExpression(QStringLiteral("^OMP_THREAD_LIMIT="))),
                 threadLimit.isEmpty() ? QStringList()
                                       : QStringList{QStringLiteral("OMP_THREAD_LIMIT=") + threadLimit});
        QCOMPARE(variables.filter(QStringLiteral("VYRN_INSTANCE_ASKED")), QStringList());
        vyrn.signal(SIGINT);
        QVERIFY(vyrn.waitForCleanExit());
    }

    void explainsMissingDesktopSession() {
        PrivateSessionBus bus;
        QProcessEnvironment environment = bus.environment(VyrnProcess::environment());
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(QString::fromLatin1(name));
        const VyrnProcess::Finished finished = VyrnProcess::run({}, environment);
        QCOMPARE(finished.exitCode, 1);
        QVERIFY2(finished.output.contains(QStringLiteral("没有图形桌面会话")), qPrintable(finished.output));
    }

    void runsAloneWithoutSessionBus() {
        QProcessEnvironment environment = VyrnProcess::environment();
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                           QStringLiteral("unix:path=") + env.root() + QStringLiteral("/no-bus"));
        VyrnProcess vyrn(environment);
        QVERIFY(vyrn.startReady({QStringLiteral("--background")}));
        QVERIFY(vyrn.terminate());
    }

    // Hotkeys are not grabbed (Xwayland cannot), and the user is told once what works: the
    // command to bind only where the desktop carries no hotkeys for VYRN.
    void waylandSessionSaysWhatWorks_data() {
        QTest::addColumn<QString>("desktop");
        QTest::addColumn<QString>("busName"); // owned on the bus: the desktop answers
        QTest::addColumn<bool>("namesCommand");
        QTest::newRow("unknown desktop") << QString() << QString() << true;
        QTest::newRow("GNOME not answering") << QStringLiteral("GNOME") << QString() << true;
        QTest::newRow("GNOME") << QStringLiteral("GNOME") << QStringLiteral("org.gnome.Shell") << false;
    }
    void waylandSessionSaysWhatWorks() {
        QFETCH(QString, desktop);
        QFETCH(QString, busName);
        QFETCH(bool, namesCommand);
        PrivateSessionBus bus;
        NotificationServer notifications(bus.address());
        QVERIFY(notifications.registerOnBus());
        QDBusConnection shell = QDBusConnection::connectToBus(bus.address(), QStringLiteral("desktop"));
        QVERIFY(busName.isEmpty() || shell.registerService(busName));
        QProcessEnvironment environment = bus.environment(VyrnProcess::environment());
        environment.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
        environment.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("vyrn-test-no-wayland"));
        environment.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), desktop);
        VyrnProcess vyrn(environment);
        QVERIFY(vyrn.startReady({QStringLiteral("--background")}));
        QVERIFY(hold(17, 4096)); // the default hotkey is free for others
        QTRY_COMPARE_WITH_TIMEOUT(notifications.calls().size(), 1, 30000);
        QCOMPARE(notifications.calls().constFirst().summary,
                 QStringLiteral("VYRN 在 Wayland 会话中功能有限"));
        const QString body = notifications.calls().constFirst().body;
        QCOMPARE(body.contains(QStringLiteral("vyrn --selection")), namesCommand);
        QCOMPARE(body.contains(QStringLiteral("全局快捷键、截图翻译")), namesCommand); // "need X11"
        QVERIFY(vyrn.terminate());
        QDBusConnection::disconnectFromBus(QStringLiteral("desktop"));
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
