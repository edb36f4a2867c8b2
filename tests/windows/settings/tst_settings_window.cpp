#include "app/AppDelegate.h"
#include "app/GlobalHotkeys.h"
#include "keys/HotkeyNames.h"
#include "platform/PlatformLoader.h"
#include "platform/freedesktop/Autostart.h"
#include "settings/KeyStore.h"
#include "settings/PromptTemplates.h"
#include "settings/SettingsManager.h"
#include "support/LocalHttpServer.h"
#include "support/ScriptedAlerts.h"
#include "support/TestEnvironment.h"
#include "support/TestMain.h"
#include "support/X11Desktop.h"
#include "update/UpdateChecker.h"
#include "windows/settings/HotkeyRecorder.h"
#include "windows/settings/ProviderCard.h"
#include "windows/settings/SegmentedControl.h"
#include "windows/settings/SettingsWindow.h"
#include "windows/settings/SettingsWindowController.h"
#include "windows/settings/StatusStyle.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

using Hotkey = SettingsWindowController::Hotkey;
Q_DECLARE_METATYPE(LocalHttpServer::Response)
Q_DECLARE_METATYPE(StatusTone)

namespace {

// What the session's key store holds, read past the preferences.
std::optional<QString> storedKey(AIProvider provider) {
    const KeyStore store(PlatformLoader::loadKeyStore());
    return store.readQuietly(QStringLiteral("kavelin.apikey.") + AIProviders::rawValue(provider)).key();
}

LocalHttpServer::Response hi(int status) {
    return LocalHttpServer::Response::chat(QStringLiteral("hi"), status);
}

} // namespace

// With the session's real key store and the program's own hotkey registration.
class TestSettingsWindow : public QObject {
    Q_OBJECT
    TestEnvironment env;
    LocalHttpServer server;
    ScriptedAlerts alerts;
    std::unique_ptr<AppDelegate> delegate;
    int screenshots = 0;

    SettingsWindowController& controller() { return delegate->settingsWindow(); }
    SettingsWindow& window() { return *controller().window(); }
    ProviderCard& card() { return *window().providerCard(); }
    SettingsManager& settings() { return delegate->settings(); }
    QJsonObject preferenceFile() {
        return QJsonDocument::fromJson(readFileBytes(settings().store().filePath())).object();
    }

    void openWindow() {
        controller().show();
        QVERIFY(QTest::qWaitForWindowExposed(controller().window()));
        QTRY_VERIFY(X11Desktop::isManaged(window().winId()));
        QTRY_COMPARE(card().keyState(), KeyFieldState::known);
    }
    void closeWindow() {
        if (controller().window())
            window().close();
        QTRY_VERIFY(!controller().window());
    }
    void record(Hotkey hotkey, const QString& keys) {
        QTest::mouseClick(window().hotkeySections[int(hotkey)].button, Qt::LeftButton);
        X11Desktop::key(keys);
        QTRY_VERIFY(controller().recorder(hotkey).recordedKeyCode().has_value());
        QTRY_VERIFY(!controller().recorder(hotkey).isBusy());
    }
    void save() {
        QTest::mouseClick(window().saveButton, Qt::LeftButton);
        QVERIFY(controller().keyStoreQueue().waitForIdle());
    }

private Q_SLOTS:
    // The program's owner takes the session's key store.
    void init() {
        if (delegate) {
            closeWindow();
            QVERIFY(controller().keyStoreQueue().waitForIdle());
            delegate.reset();
        }
        delegate = std::make_unique<AppDelegate>(
            AppDelegate::Setup{SessionType::X11, env.newPreferencesPath(), {}, &alerts});
        connect(&delegate->hotkeys(), &GlobalHotkeys::screenshotPressed, this, [this] { ++screenshots; });
        settings().store().setValue(QStringLiteral("kavelin.baseURL.deepseek"), server.baseUrl().toString());
        for (AIProvider provider : AIProviders::allCases())
            QVERIFY(settings().setApiKey(std::nullopt, provider));
        server.reset();
        alerts.reset();
        screenshots = 0;
        openWindow();
    }

    // The outgoing provider's key and model are stored at once; the other provider's key
    // is loaded; a blank field removes the key it showed.
    void switchingProviderKeepsEachKey() {
        closeWindow();
        QVERIFY(settings().setApiKey(QStringLiteral("sk-qwen-stored"), AIProvider::qwen));
        openWindow();
        QVERIFY(card().keyFieldText().isEmpty());
        QGuiApplication::clipboard()->setText(QStringLiteral("  sk-deep-pasted \n"));
        card().keyField()->setFocus();
        QTRY_VERIFY(card().keyField()->hasFocus());
        X11Desktop::key(QStringLiteral("ctrl+v"));
        QTRY_VERIFY(card().keyFieldText().contains(QStringLiteral("sk-deep-pasted")));
        QTest::mouseClick(card().eyeButton(), Qt::LeftButton);
        QCOMPARE(card().keyField()->echoMode(), QLineEdit::Normal);
        card().modelPopup()->setCurrentIndex(1);

        QTest::keyClick(window().providerPopup, Qt::Key_Down);
        QCOMPARE(settings().apiProvider(), AIProvider::qwen);
        QTRY_COMPARE(card().keyState(), KeyFieldState::known);
        QCOMPARE(card().keyFieldText(), QStringLiteral("sk-qwen-stored"));
        QCOMPARE(card().keyField()->echoMode(), QLineEdit::Password);
        QCOMPARE(storedKey(AIProvider::deepseek), std::optional<QString>(QStringLiteral("sk-deep-pasted")));
        QCOMPARE(settings().modelOverride(AIProvider::deepseek),
                 std::optional<QString>(QStringLiteral("deepseek-v4-pro")));

        card().keyField()->clear();
        QTest::keyClick(window().providerPopup, Qt::Key_Up);
        QTRY_COMPARE(card().keyState(), KeyFieldState::known);
        QCOMPARE(card().keyFieldText(), QStringLiteral("sk-deep-pasted"));
        QCOMPARE(card().modelTitle(), QStringLiteral("deepseek-v4-pro"));
        QCOMPARE(storedKey(AIProvider::qwen), std::nullopt);
    }

    void testsTheConnection_data() {
        QTest::addColumn<LocalHttpServer::Response>("response");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("status");
        QTest::addColumn<StatusTone>("tone");
        QTest::addColumn<QByteArray>("sentKey"); // empty: nothing was sent
        const QByteArray typed("sk-typed");
        QTest::newRow("200") << hi(200) << QStringLiteral(" sk-typed\n") << QString()
                             << QStringLiteral("连接成功 (HTTP 200)") << StatusTone::success << typed;
        QTest::newRow("401") << hi(401) << QStringLiteral("sk-typed") << QString()
                             << QStringLiteral("API Key 无效 (HTTP 401)") << StatusTone::failure << typed;
        QTest::newRow("403") << hi(403) << QStringLiteral("sk-typed") << QString()
                             << QStringLiteral("API Key 无效 (HTTP 403)") << StatusTone::failure << typed;
        QTest::newRow("429") << hi(429) << QStringLiteral("sk-typed") << QString()
                             << QStringLiteral("服务器返回 HTTP 429") << StatusTone::warning << typed;
        QTest::newRow("blank field: the stored key")
            << hi(200) << QString() << QStringLiteral("sk-stored") << QStringLiteral("连接成功 (HTTP 200)")
            << StatusTone::success << QByteArray("sk-stored");
        QTest::newRow("no key anywhere")
            << hi(200) << QString() << QString() << QStringLiteral("请先输入 API Key") << StatusTone::failure
            << QByteArray();
        QTest::newRow("line break inside the key")
            << hi(200) << QStringLiteral("sk-ty\nped") << QString()
            << QStringLiteral("API Key 中间含有换行或其他控制字符，请重新粘贴") << StatusTone::failure
            << QByteArray();
    }
    void testsTheConnection() {
        QFETCH(LocalHttpServer::Response, response);
        QFETCH(QString, field);
        QFETCH(QString, stored);
        QFETCH(QString, status);
        QFETCH(StatusTone, tone);
        QFETCH(QByteArray, sentKey);
        if (!stored.isEmpty()) {
            closeWindow();
            QVERIFY(settings().setApiKey(stored, AIProvider::deepseek));
            openWindow();
            card().keyField()->clear();
        }
        server.enqueue(response);
        card().keyField()->setText(field);
        QTest::mouseClick(card().testButton(), Qt::LeftButton);
        QTRY_COMPARE(card().testStatusLabel()->text(), status);
        QCOMPARE(card().testStatusLabel()->palette().color(QPalette::WindowText),
                 StatusStyle::toneColor(tone, card().palette()));
        const QList<LocalHttpServer::Request> requests = server.requests();
        QCOMPARE(requests.size(), sentKey.isEmpty() ? 0 : 1);
        if (sentKey.isEmpty())
            return;
        QCOMPARE(requests[0].method, QByteArray("POST"));
        QCOMPARE(requests[0].path, QByteArray("/chat/completions"));
        QCOMPARE(requests[0].headers.value("authorization"), QByteArray("Bearer ") + sentKey);
        QCOMPARE(requests[0].headers.value("content-type"), QByteArray("application/json"));
        QCOMPARE(
            QJsonDocument::fromJson(requests[0].body).object(),
            QJsonDocument::fromJson(
                R"({"model":"deepseek-v4-flash","messages":[{"role":"user","content":"hi"}],"max_tokens":1})")
                .object());
    }

    // The window stays usable while the server keeps silent, until the time-out reports it;
    // a new test ends the silent one.
    void silentServer() {
        controller().connectionTest().setTimeout(std::chrono::milliseconds(1500));
        server.enqueue(LocalHttpServer::Response::silence());
        card().keyField()->setText(QStringLiteral("sk-typed"));
        QTest::mouseClick(card().testButton(), Qt::LeftButton);
        QCOMPARE(card().testStatusLabel()->text(), QStringLiteral("测试中..."));
        QTabBar* tabs = window().tabView->tabBar();
        X11Desktop::click(tabs->mapToGlobal(tabs->tabRect(2).center()));
        QTRY_COMPARE(window().tabView->currentIndex(), 2);
        QCOMPARE(card().testStatusLabel()->text(), QStringLiteral("测试中..."));
        QTRY_COMPARE(card().testStatusLabel()->text(), QStringLiteral("连接失败: 请求超时 (timeout)"));

        server.reset();
        server.enqueue(LocalHttpServer::Response::silence());
        server.enqueue(hi(200));
        QTest::mouseClick(card().testButton(), Qt::LeftButton);
        QVERIFY(server.waitForRequests(1));
        QTest::mouseClick(card().testButton(), Qt::LeftButton);
        QVERIFY(server.waitForAbandoned(1));
        QTRY_COMPARE(card().testStatusLabel()->text(), QStringLiteral("连接成功 (HTTP 200)"));
        controller().connectionTest().setTimeout(ConnectionTest::defaultTimeout);
    }

    // A combination another program holds is tst_global_hotkeys'.
    void savesAndReregisters() {
        record(Hotkey::screenshot, QStringLiteral("super+y"));
        window().defaultSplitSeg->setSelectedSegment(0);
        QTest::mouseClick(window().templateModeSeg->findChildren<QToolButton*>().at(1), Qt::LeftButton);
        window().templateTextView->setPlainText(QStringLiteral("只翻译：\n"));
        card().keyField()->setText(QStringLiteral("sk-saved"));
        alerts.nextAnswer = 0;
        save();

        const QJsonObject file = preferenceFile();
        QCOMPARE(file.value(QStringLiteral("kavelin.hotkeyKeyCode")).toInt(), 16);
        QCOMPARE(file.value(QStringLiteral("kavelin.hotkeyModifiers")).toInt(), CarbonModifier::control);
        QCOMPARE(file.value(QStringLiteral("kavelin.hotkeyDisplay")).toString(), QStringLiteral("Super+Y"));
        QCOMPARE(file.value(QStringLiteral("kavelin.defaultSplitMode")), QJsonValue(false));
        QCOMPARE(file.value(QStringLiteral("kavelin.prompt.custom")).toString(),
                 QStringLiteral("只翻译：\n"));
        QCOMPARE(file.value(QStringLiteral("kavelin.prompt.usesDefault")), QJsonValue(false));
        QCOMPARE(file.value(QStringLiteral("kavelin.model.deepseek")).toString(),
                 QStringLiteral("deepseek-v4-flash"));
        QCOMPARE(storedKey(AIProvider::deepseek), std::optional<QString>(QStringLiteral("sk-saved")));
        QTRY_VERIFY(delegate->hotkeys().registered().contains(QStringLiteral("Super+Y 截图翻译")));
        X11Desktop::key(QStringLiteral("super+y"));
        QTRY_COMPARE(screenshots, 1);
    }

    // Saving a combination another program holds keeps the hotkey that works, and the window
    // names it again (the rest is tst_global_hotkeys').
    void refusedHotkeyKeepsTheOld() {
        DesktopProgram holder(QStringLiteral(HOTKEY_HOLDER), {QStringLiteral("16"), QStringLiteral("4096")});
        QVERIFY(holder.waitForLine("held")); // Super+Y
        delegate->hotkeys().reregister();    // the defaults, as at start
        record(Hotkey::screenshot, QStringLiteral("super+y"));
        save();
        QTRY_VERIFY(alerts.last &&
                    alerts.last->informativeText.contains(QStringLiteral("仍使用原快捷键「Super+T」")));
        QCOMPARE(window().hotkeySections[0].button->text(), QStringLiteral("  Super+T  "));
    }

    // A recorded combination that applications use is saved only when the user confirms.
    void conflictAsksFirst() {
        record(Hotkey::closePanel, QStringLiteral("ctrl+w"));
        card().keyField()->setText(QStringLiteral("sk-new"));
        const QJsonObject before = preferenceFile();
        alerts.nextAnswer = 1;
        save();
        QVERIFY(alerts.last->informativeText.contains(QStringLiteral("「Ctrl+W」")));
        QCOMPARE(preferenceFile(), before);
        QCOMPARE(storedKey(AIProvider::deepseek), std::nullopt);
        alerts.nextAnswer = 0;
        save();
        QCOMPARE(settings().closePanelHotkeyKeyCode(), 13);
        QCOMPARE(settings().closePanelHotkeyModifiers(), CarbonModifier::command);
        QCOMPARE(storedKey(AIProvider::deepseek), std::optional<QString>(QStringLiteral("sk-new")));
    }

    // A reset asks first, and keeps the keys, the provider and its model.
    void resetKeepsKeysAndProvider() {
        closeWindow();
        QVERIFY(settings().setApiKey(QStringLiteral("sk-kept"), AIProvider::qwen));
        settings().setApiProvider(AIProvider::qwen);
        settings().setModelOverride(QStringLiteral("qwen-max"), AIProvider::qwen);
        settings().setCustomPrompt(QStringLiteral("自定义"));
        settings().setUsesDefaultPrompt(false);
        settings().setSplitHotkeyKeyCode(16);
        settings().setDefaultSplitMode(false);
        settings().setTelemetryEnabled(false);
        openWindow();
        const QJsonObject before = preferenceFile();
        alerts.nextAnswer = 1;
        QTest::mouseClick(window().resetButton, Qt::LeftButton);
        QVERIFY(alerts.last.has_value());
        QCOMPARE(preferenceFile(), before);
        alerts.nextAnswer = 0;
        QTest::mouseClick(window().resetButton, Qt::LeftButton);
        QCOMPARE(settings().customPrompt(), std::nullopt);
        QVERIFY(settings().usesDefaultPrompt());
        QCOMPARE(window().templateTextView->toPlainText(), PromptTemplates::defaultPromptTemplate());
        QCOMPARE(settings().splitHotkeyKeyCode(), 2);
        QVERIFY(settings().defaultSplitMode());
        QCOMPARE(window().hotkeySections[int(Hotkey::split)].button->text(), QStringLiteral("  Super+D  "));
        QCOMPARE(settings().apiProvider(), AIProvider::qwen);
        QCOMPARE(settings().modelOverride(AIProvider::qwen),
                 std::optional<QString>(QStringLiteral("qwen-max")));
        QVERIFY(!settings().telemetryEnabled());
        QCOMPARE(storedKey(AIProvider::qwen), std::optional<QString>(QStringLiteral("sk-kept")));
    }

    // What is not saved is not stored: a blank custom template, a key with a control
    // character; the rest of the save still happens.
    void refusedInputIsNotStored() {
        QVERIFY(settings().setApiKey(QStringLiteral("sk-old"), AIProvider::deepseek));
        QTest::mouseClick(window().templateModeSeg->findChildren<QToolButton*>().at(1), Qt::LeftButton);
        window().templateTextView->setPlainText(QStringLiteral(" \n "));
        card().keyField()->setText(QStringLiteral("sk-ne\u0007w"));
        window().defaultSplitSeg->setSelectedSegment(0);
        save();
        QVERIFY(settings().usesDefaultPrompt());
        QCOMPARE(settings().customPrompt(), std::nullopt);
        QCOMPARE(window().templateTextView->toPlainText(), PromptTemplates::defaultPromptTemplate());
        QCOMPARE(storedKey(AIProvider::deepseek), std::optional<QString>(QStringLiteral("sk-old")));
        QVERIFY(card().keyStatusLabel()->isVisible());
        QVERIFY(
            card().keyStatusLabel()->text().startsWith(QStringLiteral("API Key 中间含有换行或其他控制字符")));
        QVERIFY(!settings().defaultSplitMode());
    }

    // Shown again while open, the window keeps what is being edited; closed, only what was saved.
    void keepsOnlyWhatIsSaved() {
        card().keyField()->setText(QStringLiteral("sk-unsaved"));
        controller().show();
        QCOMPARE(card().keyFieldText(), QStringLiteral("sk-unsaved"));
        closeWindow();
        openWindow();
        QCOMPARE(card().keyFieldText(), QString());
        QTRY_COMPARE(QApplication::activeWindow(), controller().window()); // it takes the focus
    }

    void launchAtLogin() {
        QCheckBox* box = window().launchAtLoginCheckbox;
        const auto toggle = [box] {
            QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
        };
        QVERIFY(!box->isChecked());
        toggle();
        QVERIFY(Autostart::isEnabled());
        toggle();
        QVERIFY(!QFile::exists(Autostart::entryPath()));
        // A file where the autostart folder belongs: the box goes back and says why.
        const QString folder = QFileInfo(Autostart::entryPath()).absolutePath();
        QVERIFY(QDir(folder).removeRecursively());
        writeFileBytes(folder, "not a folder");
        toggle();
        QVERIFY(!box->isChecked());
        QVERIFY(window().launchAtLoginStatus->isVisible());
        QVERIFY(window().launchAtLoginStatus->text().startsWith(QStringLiteral("无法写入 ")));
        QFile::remove(folder);
    }

    // The statistics choice exists only where an update service would receive the identifier.
    void statisticsOnlyWithAnUpdateService() {
        if (UpdateChecker::serviceBaseURL(settings()))
            QSKIP("this build names an update service");
        QVERIFY(!window().telemetryCheckbox->isVisible());
        closeWindow();
        settings().store().setValue(QStringLiteral("kavelin.updateBaseURL"), server.baseUrl().toString());
        openWindow();
        QVERIFY(window().telemetryCheckbox->isVisible());
        QVERIFY(window().telemetryNote->isVisible());
    }

    void cleanupTestCase() {
        closeWindow();
        delegate->stop();
        delegate.reset();
    }
};

VYRN_TEST_MAIN(QApplication, TestSettingsWindow, "xcb")
#include "tst_settings_window.moc"
