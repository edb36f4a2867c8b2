#include "base/AppConstants.h"
#include "platform/freedesktop/FileKeyStore.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11HotkeyService.h"
#include "settings/AIProvider.h"
#include "settings/KeyStore.h"
#include "settings/PreferenceStore.h"
#include "settings/SettingsManager.h"
#include "support/LocalHttpServer.h"
#include "support/NotificationServer.h"
#include "support/PixelCount.h"
#include "support/PrivateSessionBus.h"
#include "support/StoredImage.h"
#include "support/TestEnvironment.h"
#include "support/VyrnProcess.h"
#include "support/X11Desktop.h"

#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QScreen>
#include <QTest>
#include <QVBoxLayout>

Q_DECLARE_METATYPE(LocalHttpServer::Response)

namespace {

const QString kResultTitle = QStringLiteral("翻译结果 — VYRN");
const QString kSelected = QStringLiteral("The second line is the one to translate.");
const QString kTwoSentences =
    QStringLiteral("The second line is the one to translate. It has two sentences.");
// About 40 pieces' worth: the translation, then a table and a list.
const QString kLongAnswer = QStringLiteral(
    "## 中文翻译\n第二行就是要翻译的那一行。它有两个句子。\n\n## 重要词汇\n"
    "| 单词 | 音标 | 词性 | 释义 |\n|---|---|---|---|\n| second | /ˈsekənd/ | adj. | 第二的 |\n"
    "| line | /laɪn/ | n. | 行 |\n| translate | /trænsˈleɪt/ | v. | 翻译 |\n"
    "| sentence | /ˈsentəns/ | n. | 句子 |\n\n## 常用短语与习语\n- **the one to**：要……的那个\n"
    "- **has two sentences**：有两个句子");

// The user's message of a recorded chat-completions request.
QString userMessage(const LocalHttpServer::Request& request) {
    const QJsonArray messages = QJsonDocument::fromJson(request.body).object().value("messages").toArray();
    return messages.isEmpty() ? QString() : messages.last().toObject().value("content").toString();
}

// The loading panel, told from the tray icon's window of the same name by its size.
QList<qulonglong> loadingPanels(qint64 pid) {
    QList<qulonglong> panels = X11Desktop::windowsOf(pid);
    panels.removeIf([](qulonglong window) {
        return X11Desktop::windowName(window) != u"VYRN" || X11Desktop::geometryOf(window).width() < 200;
    });
    return panels;
}

// Pixels of the panel's page on the screen near `color`, or far from it when `tolerance` is negative.
// The page only, below the toolbar.
int panelPixels(qulonglong panel, QRgb color, int tolerance) {
    const QRect area = X11Desktop::geometryOf(panel).adjusted(0, 60, 0, 0);
    const QImage shot = QGuiApplication::primaryScreen()
                            ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
                            .toImage()
                            .convertToFormat(QImage::Format_RGB32);
    return countPixels(shot, color, shot.rect(), tolerance);
}

int panelInk(qulonglong panel) {
    return panelPixels(panel, 0xffffff, -150);
}

bool resultPanelShows() {
    return !X11Desktop::windowsNamed(u'^' + kResultTitle + u'$').isEmpty();
}

// No grab of the program keeps Esc from the others.
bool escapeIsFree() {
    X11Connection connection;
    X11HotkeyService keys(connection);
    return bool(keys.grabTemporarily(53, 0));
}

QLabel* pictureLabel(const char* name, QWidget* parent) {
    const QImage image = StoredImage::load(QStringLiteral(VYRN_TEST_IMAGES "/") + QLatin1String(name)).image;
    auto* label = new QLabel(parent);
    label->setPixmap(QPixmap::fromImage(image));
    label->setFixedSize(image.size());
    return label;
}

} // namespace

// The real program asks a local chat-completions server, on a bus of its own.
class TestTranslationEndToEnd : public QObject {
    Q_OBJECT
    TestEnvironment env;
    X11Desktop desktop;
    LocalHttpServer chat;
    LocalHttpServer updateService;
    PrivateSessionBus bus;
    NotificationServer notifications{bus.address()};
    std::unique_ptr<VyrnProcess> vyrn;
    std::unique_ptr<DesktopProgram> zenity;
    QWidget page;
    QLabel* paragraph = nullptr;
    QLabel* table = nullptr;

    // With the pointer on the screen's left half.
    void selectInZenity(const QString& line = kSelected) {
        const QString path = env.root() + QStringLiteral("/zenity.txt");
        writeFileBytes(path, "The first line\n" + line.toUtf8() + "\n");
        zenity = std::make_unique<DesktopProgram>(
            "zenity", QStringList{"--text-info", "--editable", "--filename=" + path, "--title=zenity source",
                                  "--width=400", "--height=200"});
        const qulonglong window = X11Desktop::waitForWindow("zenity source");
        QVERIFY(window);
        X11Desktop::xdotool({"windowmove", QString::number(window), "40", "300"});
        QVERIFY(X11Desktop::activate(window));
        X11Desktop::xdotool({"key", "ctrl+End", "Up", "End", "shift+Home"});
        X11Desktop::xdotool({"mousemove", "200", "420"});
    }

    // Inset a little, so that the selection holds only what is drawn.
    void captureByDrag(const QLabel* label) {
        const QRect area(label->mapToGlobal(QPoint(2, 2)), label->size() - QSize(4, 4));
        X11Desktop::xdotool({"mousemove", QString::number(area.left()), QString::number(area.top())});
        X11Desktop::key(QStringLiteral("super+t"));
        // Mapped after the program took the pointer and keyboard (or is retrying for them).
        QTRY_VERIFY_WITH_TIMEOUT(!X11Desktop::windowsNamed(QStringLiteral("^VYRN 截图")).isEmpty(), 15000);
        X11Desktop::xdotool({"mousedown", "1", "mousemove", QString::number(area.center().x()),
                             QString::number(area.center().y()), "mousemove", QString::number(area.right()),
                             QString::number(area.bottom()), "mouseup", "1"});
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(desktop.startWindowManager());
        QVERIFY(notifications.registerOnBus());
        pointUpdateCheckAt(updateService.baseUrl());
        PreferenceStore preferences(SettingsManager::preferencesPath());
        const QString provider = AIProviders::rawValue(AIProvider::deepseek);
        preferences.setValue(QStringLiteral("kavelin.apiProvider"), provider);
        preferences.setValue(QStringLiteral("kavelin.baseURL.") + provider, chat.baseUrl().toString());
        // A private bus has no Secret Service: the program keeps its keys in this file.
        FileKeyStore keys(AppConstants::configDirectory() + QStringLiteral("/keys.json"));
        QCOMPARE(keys.write(KeyStore::service, QStringLiteral("kavelin.apikey.") + provider, "sk-local-test"),
                 0);

        page.setWindowTitle(QStringLiteral("English page"));
        page.setStyleSheet(QStringLiteral("background: white"));
        auto* layout = new QVBoxLayout(&page);
        layout->setSpacing(60);
        paragraph = pictureLabel("paragraph-20px", &page);
        table = pictureLabel("table-20px", &page);
        layout->addWidget(paragraph);
        layout->addWidget(table);
        page.move(60, 120);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        QTRY_VERIFY_WITH_TIMEOUT(X11Desktop::isManaged(page.winId()), 15000);

        vyrn = std::make_unique<VyrnProcess>(bus.environment(VyrnProcess::environment()));
        QVERIFY(vyrn->startReady({QStringLiteral("--background")}));
    }

    void cleanupTestCase() { QVERIFY(vyrn->terminate()); }

    void init() {
        chat.reset();
        X11Desktop::clearSelections();
    }
    void cleanup() {
        zenity.reset();
        // A failed test's panel would refuse every later translation.
        if (resultPanelShows()) {
            X11Desktop::key(QStringLiteral("Escape"));
            QVERIFY(QTest::qWaitFor([] { return !resultPanelShows(); }, 15000));
        }
    }

    void selectionIsTranslated() {
        selectInZenity();
        chat.enqueue(
            LocalHttpServer::Response::chat(QStringLiteral("## 中文翻译\n第二行就是要翻译的那一行。")));
        const int notified = int(notifications.calls().size());
        X11Desktop::key(QStringLiteral("super+shift+t"));
        QVERIFY(chat.waitForRequests(1, 30000));
        QVERIFY(userMessage(chat.requests().constFirst()).endsWith(QStringLiteral("：\n\n") + kSelected));

        const qulonglong panel = X11Desktop::waitForWindow(kResultTitle);
        QVERIFY2(panel, qPrintable(vyrn->output()));
        // The pointer was on the left half: the panel takes the right one.
        QVERIFY(X11Desktop::geometryOf(panel).center().x() > 960);

        QTRY_COMPARE_WITH_TIMEOUT(notifications.calls().size(), notified + 1, 15000);
        // Its default action brings the panel back in front of the source.
        QVERIFY(X11Desktop::activate(X11Desktop::waitForWindow("zenity source")));
        notifications.invokeAction(uint(notified + 1), QStringLiteral("default"));
        QTRY_COMPARE_WITH_TIMEOUT(X11Desktop::activeWindow(), panel, 15000);

        X11Desktop::key(QStringLiteral("Escape"));
        QVERIFY(QTest::qWaitFor([] { return !resultPanelShows(); }, 15000));
        QTRY_VERIFY(escapeIsFree()); // neither the loading panel's grab nor the result panel's stays
    }

    // Esc, or the loading panel closed from its frame, while the service holds its answer:
    // the request is dropped, no panel ever shows.
    void escapeWhileWaiting_data() {
        QTest::addColumn<QStringList>("keys"); // none: the close button
        QTest::newRow("Esc") << QStringList{"Escape"};
        QTest::newRow("Esc with Caps Lock on") << QStringList{"Caps_Lock", "Escape", "Caps_Lock"};
        QTest::newRow("close button") << QStringList{};
    }
    void escapeWhileWaiting() {
        QFETCH(QStringList, keys);
        selectInZenity();
        chat.enqueue(LocalHttpServer::Response::silence());
        X11Desktop::key(QStringLiteral("super+shift+t"));
        QVERIFY(chat.waitForRequests(1, 30000));
        QList<qulonglong> panels;
        QVERIFY(QTest::qWaitFor([&] { return !(panels = loadingPanels(vyrn->pid())).isEmpty(); }, 30000));
        if (keys.isEmpty()) {
            // The window manager ignores a close request for a window it has not framed yet,
            // and a panel shown again keeps the frame property of its last showing: ask until
            // it is framed.
            QVERIFY(QTest::qWaitFor(
                [&] {
                    X11Desktop::requestClose(panels.constFirst());
                    return chat.waitForAbandoned(1, 500);
                },
                15000));
        } else {
            X11Desktop::xdotool(QStringList{"key"} + keys);
            QVERIFY(chat.waitForAbandoned(1, 15000));
        }
        QVERIFY(QTest::qWaitFor([&] { return loadingPanels(vyrn->pid()).isEmpty(); }, 15000));
        QTRY_VERIFY(escapeIsFree());
        QVERIFY(!resultPanelShows());
    }

    // The panel opens with the first pieces and fills while the service still sends, in
    // split view when there are sentences to pair (their boxes are there from the start),
    // whole otherwise (the original's box); only the complete answer is announced.
    void answerFillsWhileItArrives_data() {
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QRgb>("layoutColor");
        QTest::newRow("split") << kTwoSentences << QRgb(0xf5f5f7);
        QTest::newRow("whole") << kSelected << QRgb(0xe8f0fe);
    }
    void answerFillsWhileItArrives() {
        QFETCH(QString, selected);
        QFETCH(QRgb, layoutColor);
        selectInZenity(selected);
        chat.enqueue(LocalHttpServer::Response::stream(kLongAnswer, 40, 120, 300));
        const int notified = int(notifications.calls().size());
        X11Desktop::key(QStringLiteral("super+shift+t"));
        QVERIFY(chat.waitForRequests(1, 30000));
        const qulonglong panel = X11Desktop::waitForWindow(kResultTitle);
        QVERIFY2(panel, qPrintable(vyrn->output()));
        QVERIFY(QTest::qWaitFor([&] { return panelPixels(panel, layoutColor, 0) > 200; }, 10000));
        const int early = panelInk(panel);
        QCOMPARE(notifications.calls().size(), notified); // still arriving

        QTRY_COMPARE_WITH_TIMEOUT(notifications.calls().size(), notified + 1, 20000);
        QTRY_VERIFY(panelInk(panel) > early + 400);
        X11Desktop::key(QStringLiteral("Escape"));
        QVERIFY(QTest::qWaitFor([] { return !resultPanelShows(); }, 15000));
    }

    // Closing the panel mid-answer drops the connection; nothing is announced.
    void closingMidAnswer() {
        selectInZenity();
        chat.enqueue(LocalHttpServer::Response::stream(kLongAnswer, 40, 250, 100));
        const int notified = int(notifications.calls().size());
        X11Desktop::key(QStringLiteral("super+shift+t"));
        QVERIFY(chat.waitForRequests(1, 30000));
        QVERIFY(X11Desktop::waitForWindow(kResultTitle));
        X11Desktop::key(QStringLiteral("Escape"));
        QVERIFY(chat.waitForAbandoned(1, 5000));
        QVERIFY(QTest::qWaitFor([] { return !resultPanelShows(); }, 15000));
        QTest::qWait(300);
        QCOMPARE(notifications.calls().size(), notified);
    }

    // An answer cut off for length, or broken off, keeps what arrived and says so at its end.
    void incompleteAnswerSaysSo_data() {
        QTest::addColumn<LocalHttpServer::Response>("response");
        QTest::newRow("length") << LocalHttpServer::Response::stream(kLongAnswer, 6, 100, 100,
                                                                     QStringLiteral("length"));
        LocalHttpServer::Response broken = LocalHttpServer::Response::stream(kLongAnswer, 6, 100, 100);
        broken.pieces = broken.pieces.mid(0, 3);
        broken.dropAfterPieces = true;
        QTest::newRow("connection broken") << broken;
    }
    void incompleteAnswerSaysSo() {
        QFETCH(LocalHttpServer::Response, response);
        selectInZenity();
        chat.enqueue(response);
        const int notified = int(notifications.calls().size());
        X11Desktop::key(QStringLiteral("super+shift+t"));
        const qulonglong panel = X11Desktop::waitForWindow(kResultTitle);
        QVERIFY2(panel, qPrintable(vyrn->output()));
        QTRY_VERIFY_WITH_TIMEOUT(panelPixels(panel, 0xfff3cd, 0) > 300, 15000); // the warning line
        QVERIFY(!X11Desktop::showsAlert(vyrn->pid()));
        QCOMPARE(notifications.calls().size(), notified);
        X11Desktop::key(QStringLiteral("Escape"));
        QVERIFY(QTest::qWaitFor([] { return !resultPanelShows(); }, 15000));
    }

    void regionIsTranslated_data() {
        QTest::addColumn<bool>("isTable");
        QTest::addColumn<QStringList>("sent");
        QTest::newRow("paragraph") << false
                                   << QStringList{"committee", "application", "decision", "documents"};
        QTest::newRow("table") << true
                               << QStringList{"| Country | Capital | Population |", "| France | Paris |",
                                              "---"};
    }
    void regionIsTranslated() {
        QFETCH(bool, isTable);
        QFETCH(QStringList, sent);
        const int notified = int(notifications.calls().size());
        chat.enqueue(
            LocalHttpServer::Response::chat(QStringLiteral("## 中文翻译\n委员会将审核每一份申请。")));
        captureByDrag(isTable ? table : paragraph);

        QVERIFY2(chat.waitForRequests(1, 60000), qPrintable(vyrn->output()));
        const QString request = userMessage(chat.requests().constFirst());
        for (const QString& words : sent)
            QVERIFY2(request.contains(words), qPrintable(request));

        const qulonglong panel = X11Desktop::waitForWindow(kResultTitle);
        QVERIFY2(panel, qPrintable(vyrn->output()));
        // The text is on the screen's left half: the panel takes the right one.
        QVERIFY(X11Desktop::geometryOf(panel).center().x() > 960);
        QTRY_COMPARE_WITH_TIMEOUT(notifications.calls().size(), notified + 1, 15000);

        // The panel's own Esc, wherever the focus is.
        X11Desktop::key(QStringLiteral("Escape"));
        QVERIFY(QTest::qWaitFor([] { return !resultPanelShows(); }, 15000));
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    TestTranslationEndToEnd test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_translation_end_to_end.moc"
