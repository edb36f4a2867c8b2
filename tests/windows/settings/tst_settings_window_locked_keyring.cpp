#include "platform/freedesktop/SecretServiceKeyStore.h"
#include "settings/KeyStore.h"
#include "settings/SettingsManager.h"
#include "support/ScriptedAlerts.h"
#include "support/SilentSecretService.h"
#include "support/TestEnvironment.h"
#include "support/X11Desktop.h"
#include "windows/settings/ProviderCard.h"
#include "windows/settings/SegmentedControl.h"
#include "windows/settings/SettingsWindow.h"
#include "windows/settings/SettingsWindowController.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

namespace {
const char childMark[] = "VYRN_TEST_SILENT_KEYRING_BUS";
} // namespace

// The real Secret Service client while the keyring never answers.
class TestSettingsWindowLockedKeyring : public QObject {
    Q_OBJECT
    TestEnvironment env;

    std::unique_ptr<SettingsManager> m_settings;
    ScriptedAlerts alerts;
    std::unique_ptr<SettingsWindowController> m_controller;

    SettingsWindowController& controller() { return *m_controller; }
    SettingsWindow& window() { return *controller().window(); }
    ProviderCard& card() { return *window().providerCard(); }
    SettingsManager& settings() { return *m_settings; }

private Q_SLOTS:
    void initTestCase() {
        m_settings = std::make_unique<SettingsManager>(
            env.newPreferencesPath(),
            std::make_unique<SecretServiceKeyStore>(std::chrono::milliseconds(1000)));
        m_controller = std::make_unique<SettingsWindowController>(*m_settings, alerts, [] {});
    }

    // The field waits, the window does not; a key it could not read is neither shown as
    // missing nor deleted, and the other settings are saved.
    void unreadableKeyIsKept() {
        controller().show();
        QVERIFY(QTest::qWaitForWindowExposed(controller().window()));
        QVERIFY(card().keyField()->isReadOnly());
        QCOMPARE(card().keyField()->placeholderText(), QStringLiteral("正在读取 API Key..."));
        QTabBar* tabs = window().tabView->tabBar();
        QTRY_VERIFY(X11Desktop::isManaged(window().winId())); // placed: the click lands on the tab
        X11Desktop::click(tabs->mapToGlobal(tabs->tabRect(2).center()));
        QTRY_COMPARE(window().tabView->currentIndex(), 2);
        QCOMPARE(card().keyState(), KeyFieldState::loading);
        window().tabView->setCurrentIndex(0);

        QTRY_COMPARE(card().keyState(), KeyFieldState::unavailable);
        QVERIFY(!card().keyField()->isReadOnly());
        QVERIFY(card().keyFieldText().isEmpty());
        QVERIFY(card().keyStatusLabel()->text().startsWith(
            QStringLiteral("⚠️ 密钥存储不可用（status=%1，无响应）")
                .arg(KeyStoreStatus::timedOut)));

        QTest::keyClick(window().providerPopup, Qt::Key_Down);
        QCOMPARE(settings().apiProvider(), AIProvider::qwen);
        QCOMPARE(settings().modelOverride(AIProvider::deepseek),
                 std::optional<QString>(QStringLiteral("deepseek-v4-flash")));
        QTRY_COMPARE_WITH_TIMEOUT(card().keyState(), KeyFieldState::unavailable, 10000);
        window().defaultSplitSeg->setSelectedSegment(0);
        QTest::mouseClick(window().saveButton, Qt::LeftButton);
        QVERIFY(!settings().defaultSplitMode());
        QVERIFY(controller().keyStoreQueue().waitForIdle());
        // The key store's only trace here: no delete or write was tried.
        const QString log = readLog();
        QVERIFY(!log.contains(QStringLiteral("密钥存储删除")));
        QVERIFY(!log.contains(QStringLiteral("密钥存储写入")));

        // A key typed meanwhile is tried; the store's silence is reported, not taken for a save.
        card().keyField()->setText(QStringLiteral("sk-new"));
        QTest::mouseClick(window().saveButton, Qt::LeftButton);
        QVERIFY(controller().keyStoreQueue().waitForIdle());
        QVERIFY(card().keyStatusLabel()->text().startsWith(
            QStringLiteral("⚠️ 未能确认 千问（阿里云 · 国内） 的 API Key 已保存")));
        window().close();
    }
};

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet(childMark)) {
        // The session bus is chosen when a process first uses it: run the test anew on the
        // silent service's bus.
        QCoreApplication app(argc, argv);
        SilentSecretService silent;
        if (!silent.isRunning())
            return 1;
        QProcessEnvironment environment = silent.environment(QProcessEnvironment::systemEnvironment());
        environment.insert(QString::fromLatin1(childMark), QStringLiteral("1"));
        QProcess child;
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QCoreApplication::applicationFilePath(), app.arguments().mid(1));
        if (!child.waitForFinished(240000))
            return 1;
        return child.exitStatus() == QProcess::NormalExit ? child.exitCode() : 1;
    }
    // The GLX integration leaks a block from a library it unloads again; nothing here draws GL.
    qputenv("QT_XCB_GL_INTEGRATION", "none");
    QApplication app(argc, argv);
    TestSettingsWindowLockedKeyring test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_settings_window_locked_keyring.moc"
