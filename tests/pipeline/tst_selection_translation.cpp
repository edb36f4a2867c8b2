#include "TranslationEndToEnd.h"

#include <QFile>

#include <csignal>

using namespace TranslationEndToEnd;

namespace {
const QString kSelected = QStringLiteral("The second line is the one to translate.");
} // namespace

// Selection translation as a user meets it: text selected in a GTK program, the hotkey
// pressed through the X server, the real program asking a local chat-completions server.
class TestSelectionTranslation : public QObject {
    Q_OBJECT
    TestEnvironment env;
    X11Desktop desktop;
    LocalHttpServer chat;
    LocalHttpServer updateService;
    PrivateSessionBus bus;
    NotificationServer notifications{bus.address()};
    std::unique_ptr<VyrnProcess> vyrn;
    std::unique_ptr<DesktopProgram> zenity;

    // The second line of a zenity text window selected, the pointer on the screen's left half.
    void selectInZenity() {
        const QString path = env.root() + QStringLiteral("/zenity.txt");
        writeFileBytes(path, "The first line\n" + kSelected.toUtf8() + "\n");
        zenity = std::make_unique<DesktopProgram>(
            "zenity", QStringList{"--text-info", "--editable", "--filename=" + path, "--title=zenity source",
                                  "--width=400", "--height=200"});
        const quint32 window = Desktop::waitForWindow("zenity source");
        QVERIFY(window);
        Desktop::xdotool({"windowmove", QString::number(window), "40", "300"});
        QVERIFY(Desktop::activate(window));
        Desktop::xdotool({"key", "ctrl+End", "Up", "End", "shift+Home"});
        Desktop::xdotool({"mousemove", "200", "420"});
    }

    int pipelineStarts() { return vyrn->count(QStringLiteral("===== 划词翻译流水线开始 =====")); }

    void pressSelectionHotkey() {
        const int before = pipelineStarts();
        X11Desktop::key(QStringLiteral("super+shift+t"));
        QVERIFY(vyrn->waitFor(QStringLiteral("===== 划词翻译流水线开始 ====="), before + 1));
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(desktop.startWindowManager());
        QVERIFY(notifications.registerOnBus());
        configure(chat.baseUrl(), updateService.baseUrl());
        vyrn = std::make_unique<VyrnProcess>(bus.environment(VyrnProcess::environment()));
        QVERIFY(vyrn->start({QStringLiteral("--background")}));
        QVERIFY(vyrn->waitFor(QStringLiteral(" 就绪 — ")));
    }

    void cleanupTestCase() {
        vyrn->signal(SIGTERM);
        QVERIFY(vyrn->waitForCleanExit());
    }

    void init() {
        chat.reset();
        Desktop::clearSelections();
    }
    void cleanup() { zenity.reset(); }

    void selectionIsTranslated() {
        selectInZenity();
        chat.enqueue(answerWith(QStringLiteral("## 中文翻译\n第二行就是要翻译的那一行。")));
        pressSelectionHotkey();
        QVERIFY(chat.waitForRequests(1, 30000));
        QVERIFY(userMessage(chat.requests().constFirst()).endsWith(QStringLiteral("：\n\n") + kSelected));

        const qulonglong panel = waitForWindowOf(vyrn->pid(), kResultTitle);
        QVERIFY2(panel, qPrintable(vyrn->output()));
        QVERIFY(vyrn->waitFor(QStringLiteral("划词翻译流水线完成")));
        const QString log = vyrn->output();
        QVERIFY(log.contains(QStringLiteral("划词获取文本: len=%1").arg(kSelected.size())));
        QVERIFY(log.indexOf(QStringLiteral("Loading ESC tap: 已安装")) <
                log.lastIndexOf(QStringLiteral("Loading ESC tap: 已移除")));
        // The pointer was on the left half: the panel takes the right one.
        QVERIFY(X11Desktop::geometryOf(panel).center().x() > 960);

        QTRY_COMPARE_WITH_TIMEOUT(notifications.calls().size(), 1, 15000);
        const NotificationServer::Call call = notifications.calls().constFirst();
        QCOMPARE(call.summary, QStringLiteral("VYRN"));
        QCOMPARE(call.body, QStringLiteral("划词翻译完成，点击查看结果"));
        // Its default action brings the panel back in front of the source.
        QVERIFY(Desktop::activate(Desktop::waitForWindow("zenity source")));
        notifications.invokeAction(1, QStringLiteral("default"));
        QTRY_COMPARE_WITH_TIMEOUT(X11Desktop::activeWindow(), panel, 15000);

        X11Desktop::key(QStringLiteral("Escape"));
        QVERIFY(waitUntilGone(vyrn->pid(), kResultTitle));
    }

    // Esc, or the loading panel closed from its frame, while the service holds its answer:
    // the request is dropped, no panel ever shows.
    void escapeWhileWaiting_data() {
        QTest::addColumn<QStringList>("keys"); // none: the close button
        QTest::addColumn<QString>("cancelLine");
        const QString esc = QStringLiteral("用户 ESC 取消了翻译任务");
        QTest::newRow("Esc") << QStringList{"Escape"} << esc;
        QTest::newRow("Esc with Caps Lock on") << QStringList{"Caps_Lock", "Escape", "Caps_Lock"} << esc;
        QTest::newRow("close button") << QStringList{} << QStringLiteral("用户关闭加载面板，取消了翻译任务");
    }
    void escapeWhileWaiting() {
        QFETCH(QStringList, keys);
        QFETCH(QString, cancelLine);
        selectInZenity();
        chat.enqueue(heldAnswer());
        pressSelectionHotkey();
        QVERIFY(chat.waitForRequests(1, 30000));
        QList<qulonglong> panels;
        QVERIFY(QTest::qWaitFor([&] { return !(panels = loadingPanels(vyrn->pid())).isEmpty(); }, 30000));
        const int finished = vyrn->count(QStringLiteral("划词翻译流水线完成"));
        const int removed = vyrn->count(QStringLiteral("Loading ESC tap: 已移除"));
        const int cancelled = vyrn->count(cancelLine);
        if (keys.isEmpty())
            X11Desktop::requestClose(panels.constFirst());
        else
            Desktop::xdotool(QStringList{"key"} + keys);
        QVERIFY(chat.waitForAbandoned(1, 15000));
        QVERIFY(vyrn->waitFor(cancelLine, cancelled + 1));
        QVERIFY(vyrn->waitFor(QStringLiteral("Loading ESC tap: 已移除"), removed + 1));
        QVERIFY(QTest::qWaitFor([&] { return loadingPanels(vyrn->pid()).isEmpty(); }, 15000));
        QVERIFY(windowsTitled(vyrn->pid(), kResultTitle).isEmpty());
        QCOMPARE(vyrn->count(QStringLiteral("划词翻译流水线完成")), finished);
    }
};

QTEST_GUILESS_MAIN(TestSelectionTranslation)
#include "tst_selection_translation.moc"
