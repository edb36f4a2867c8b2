#include "support/LocalHttpServer.h"
#include "support/PrivateSessionBus.h"
#include "support/TestEnvironment.h"
#include "support/TestMain.h"
#include "support/VyrnProcess.h"
#include "support/X11Desktop.h"
#include "windows/MessageBoxAlertPresenter.h"
#include "windows/TrayMenu.h"

#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QSystemTrayIcon>
#include <QTest>

class TestTray : public QObject {
    Q_OBJECT
    TestEnvironment env;
    X11Desktop desktop;
    LocalHttpServer updateService;
    PrivateSessionBus bus; // the program under test is the only VYRN on it
    QMap<QString, int> triggered;
    int openings = 0;
    std::unique_ptr<TrayMenu> tray;

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(desktop.startWindowManager());
        pointUpdateCheckAt(updateService.baseUrl());
        tray = std::make_unique<TrayMenu>(
            TrayMenu::Actions{[this] { ++triggered[QStringLiteral("screenshot")]; },
                              [this] { ++triggered[QStringLiteral("selection")]; },
                              [this] { ++triggered[QStringLiteral("settings")]; }, [this] { ++openings; }});
    }

    // A panel that starts after the program (or restarts) still gets the icon.
    void iconWaitsForATray() {
        QVERIFY2(!QSystemTrayIcon::isSystemTrayAvailable(), "a tray is already running on this display");
        tray->setup();
        tray->setup();

        QVERIFY(desktop.startTray());
        QTRY_VERIFY_WITH_TIMEOUT(tray->trayIcon()->geometry().width() > 0, 10000);
        // Docked and mapped inside the tray, so a click reaches it; one icon for both set-ups.
        QTRY_COMPARE_WITH_TIMEOUT(X11Desktop::windowsOf(QCoreApplication::applicationPid()).size(), 1, 10000);
    }

    void menuEntriesReachTheirActions_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("button");
        QTest::newRow("screenshot, left click")
            << QStringLiteral("📷 截图翻译") << QStringLiteral("screenshot") << 1;
        QTest::newRow("selection, right click")
            << QStringLiteral("📝 划词翻译") << QStringLiteral("selection") << 3;
        QTest::newRow("settings") << QStringLiteral("⚙️ 偏好设置...") << QStringLiteral("settings")
                                  << 1;
    }
    void menuEntriesReachTheirActions() {
        QFETCH(QString, entry);
        QFETCH(QString, action);
        QFETCH(int, button);
        const int openingsBefore = openings;
        // Under load the very first click on the icon is now and then lost before Qt sees it
        // (an unanswered click opens nothing, so clicking again cannot open two menus).
        for (int attempt = 0; attempt < 4; ++attempt) {
            X11Desktop::click(tray->trayIcon()->geometry().center(), button);
            if (QTest::qWaitFor([&] { return tray->menu()->isVisible(); }, 3000))
                break;
        }
        QVERIFY(tray->menu()->isVisible());
        QCOMPARE(openings, openingsBefore + 1); // the selection's source is taken then
        QAction* item = nullptr;
        for (QAction* candidate : tray->menu()->actions())
            item = candidate->text() == entry ? candidate : item;
        QVERIFY(item);
        QVERIFY(QTest::qWaitForWindowExposed(tray->menu()));
        X11Desktop::click(tray->menu()->mapToGlobal(tray->menu()->actionGeometry(item).center()));
        QTRY_COMPARE(triggered.value(action), 1);
        QTRY_VERIFY(!tray->menu()->isVisible());
        QCOMPARE(triggered.values(), QList<int>(triggered.size(), 1));
    }

    // The user goes on typing in the program in front: an alert that only informs does not
    // take the keyboard away; a question does.
    void onlyQuestionsTakeTheFocus_data() {
        QTest::addColumn<QStringList>("buttons");
        QTest::addColumn<bool>("takesFocus");
        QTest::newRow("error") << QStringList{QStringLiteral("确定")} << false;
        QTest::newRow("question") << QStringList{QStringLiteral("打开偏好设置"), QStringLiteral("取消")}
                                  << true;
    }
    void onlyQuestionsTakeTheFocus() {
        QFETCH(QStringList, buttons);
        QFETCH(bool, takesFocus);
        QProcess front;
        front.start(QStringLiteral("xmessage"),
                    {QStringLiteral("-title"), QStringLiteral("vyrn-test-front"), QStringLiteral("-geometry"),
                     QStringLiteral("+50+50"), QStringLiteral("the program in front")});
        QVERIFY(front.waitForStarted());
        qulonglong frontWindow = 0;
        QTRY_VERIFY_WITH_TIMEOUT(
            (frontWindow = X11Desktop::run(QStringLiteral("xdotool"),
                                           {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                            QStringLiteral("--name"), QStringLiteral("^vyrn-test-front$")})
                               .toULongLong()) != 0,
            10000);
        QTRY_COMPARE(X11Desktop::activeWindow(), frontWindow);

        MessageBoxAlertPresenter presenter;
        presenter.open({QStringLiteral("翻译失败"), QStringLiteral("AI 翻译失败。"),
                        AlertRequest::Style::Warning, buttons},
                       {});
        QMessageBox* box = nullptr;
        for (QWidget* widget : QApplication::topLevelWidgets())
            box = qobject_cast<QMessageBox*>(widget) ? qobject_cast<QMessageBox*>(widget) : box;
        QVERIFY(box);
        QVERIFY(QTest::qWaitForWindowExposed(box));
        QTRY_VERIFY(X11Desktop::isManaged(box->winId()));
        if (takesFocus)
            QTRY_COMPARE(X11Desktop::activeWindow(), qulonglong(box->winId()));
        else
            QCOMPARE(X11Desktop::activeWindow(), frontWindow);
        front.kill();
        front.waitForFinished();
        box->close();
    }

    // The real program's own icon and menu, worked with the keyboard.
    void programQuitsFromItsTrayMenu() {
        tray->trayIcon()->hide(); // leaves the tray to the program
        updateService.reset();
        VyrnProcess vyrn(bus.environment(VyrnProcess::environment()));
        // In the background: the settings window a first start opens would be a second window.
        QVERIFY(vyrn.start({QStringLiteral("--background")}));
        // The update check runs 3 s after start: by then the program is in its event loop.
        QVERIFY(updateService.waitForRequests(1, 30000));
        const QList<qulonglong> windows = X11Desktop::windowsOf(vyrn.pid());
        QCOMPARE(windows.size(), 1);
        const QRect icon = X11Desktop::geometryOf(windows.constFirst());
        QVERIFY2(icon.width() > 0 && icon.width() <= 48, "the tray icon is the program's only window");
        X11Desktop::click(icon.center());
        QTRY_COMPARE(X11Desktop::windowsOf(vyrn.pid()).size(), 2); // the menu
        X11Desktop::key(QStringLiteral("Up"));
        X11Desktop::key(QStringLiteral("Return"));
        QVERIFY(vyrn.waitForCleanExit());
    }
};

VYRN_TEST_MAIN(QApplication, TestTray, "xcb")
#include "tst_tray.moc"
