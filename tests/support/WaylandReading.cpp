#include "support/WaylandReading.h"

#include "settings/AIProvider.h"
#include "settings/PreferenceStore.h"
#include "support/TestEnvironment.h"

#include <QDBusConnection>
#include <QDBusReply>
#include <QFile>
#include <QTest>

bool WaylandReading::start() {
    const QDBusReply<QString> accessibility = QDBusConnection::sessionBus().call(
        QDBusMessage::createMethodCall("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress"));
    if (!accessibility.isValid() || !m_bus.isRunning())
        return false;
    m_environment = m_bus.environment(VyrnProcess::environment());
    m_environment.insert("AT_SPI_BUS_ADDRESS", accessibility.value());
    m_environment.insert("XDG_CONFIG_HOME", m_dir.filePath("config"));
    m_environment.insert("XDG_STATE_HOME", m_dir.filePath("state"));
    const QString folder = m_dir.filePath("config/vyrn/");
    const QString provider = AIProviders::rawValue(AIProvider::deepseek);
    writeFileBytes(folder + "keys.json", "{\"com.vyrn.kavelin/kavelin.apikey." + provider.toUtf8() + "\":\"" +
                                             QByteArray("sk-local-test").toBase64() + "\"}");
    QFile::setPermissions(folder + "keys.json", QFile::ReadOwner | QFile::WriteOwner);
    PreferenceStore preferences(folder + "preferences.json");
    preferences.setValue("kavelin.apiProvider", provider);
    preferences.setValue("kavelin.baseURL." + provider, chat.baseUrl().toString());
    preferences.setValue("kavelin.updateBaseURL", QStringLiteral("http://127.0.0.1:9"));
    preferences.setValue("kavelin.telemetryEnabled", false);

    // Started first, as at login: its accessibility reader learns where the focus is from the
    // moves it sees.
    vyrn = std::make_unique<VyrnProcess>(m_environment);
    if (!vyrn->startReady({QStringLiteral("--background")}))
        return false;
    const QString text = m_dir.filePath("source.txt");
    writeFileBytes(text, "The committee will review every application.\n");
    m_zenity = std::make_unique<DesktopProgram>(
        "zenity",
        QStringList{"--text-info", "--editable", "--filename=" + text, "--width=500", "--height=200"});
    // Until zenity's window has the keyboard, which nothing outside the compositor can see.
    QTest::qWait(2000);
    return m_zenity->isRunning();
}

bool WaylandReading::translateSelection() {
    return VyrnProcess::run({QStringLiteral("--selection")}, m_environment).exitCode == 0;
}

void WaylandReading::panelRows() {
    QTest::addColumn<bool>("answered");
    QTest::addColumn<QString>("title");
    QTest::newRow("loading panel") << false << QStringLiteral("VYRN");
    QTest::newRow("result panel") << true << QStringLiteral("翻译结果 — VYRN");
}

void WaylandReading::checkPanel(const std::function<bool()>& selectAll, const std::function<bool()>& escape) {
    QFETCH(bool, answered);
    QFETCH(QString, title);
    chat.reset();
    chat.enqueue(
        answered ? LocalHttpServer::Response::chat(QStringLiteral("## 中文翻译\n委员会将审核每一份申请。"))
                 : LocalHttpServer::Response::silence());
    QVERIFY(selectAll());
    QVERIFY(translateSelection());
    QVERIFY2(chat.waitForRequests(1, 15000), qPrintable(vyrn->output().right(700)));
    const auto active = [] { return X11Desktop::windowName(X11Desktop::activeWindow()); };
    QTRY_COMPARE_WITH_TIMEOUT(active(), title, 10000);
    // The loading panel going gives the keyboard back to nobody.
    QTest::qWait(500);
    QCOMPARE(active(), title);
    const qulonglong panel = X11Desktop::activeWindow();
    QVERIFY(escape());
    QTRY_VERIFY_WITH_TIMEOUT(!X11Desktop::windowsOf(vyrn->pid()).contains(panel), 10000);
    if (!answered)
        QVERIFY(chat.waitForAbandoned(1)); // the translation was cancelled
}
