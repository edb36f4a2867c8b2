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
#include <QTest>
#include <QVBoxLayout>

namespace {

const QString kResultTitle = QStringLiteral("翻译结果 — VYRN");
const QString kSelected = QStringLiteral("The second line is the one to translate.");

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
    void selectInZenity() {
        const QString path = env.root() + QStringLiteral("/zenity.txt");
        writeFileBytes(path, "The first line\n" + kSelected.toUtf8() + "\n");
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
    void cleanup() { zenity.reset(); }

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
