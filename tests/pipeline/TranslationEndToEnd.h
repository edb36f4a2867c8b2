#pragma once

#include "app/AppConstants.h"
#include "engine/AIProvider.h"
#include "platform/freedesktop/FileKeyStore.h"
#include "settings/KeychainHelper.h"
#include "settings/PreferenceStore.h"
#include "settings/SettingsManager.h"
#include "support/DesktopPrograms.h"
#include "support/LocalHttpServer.h"
#include "support/NotificationServer.h"
#include "support/PrivateSessionBus.h"
#include "support/TestEnvironment.h"
#include "support/VyrnProcess.h"
#include "support/X11Desktop.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

// What the end-to-end tests of both flows share: the real program on a bus of its own
// with a notification server, a DeepSeek key, and the service pointed at a local server.
namespace TranslationEndToEnd {

inline const QString kResultTitle = QStringLiteral("翻译结果 — VYRN");

inline LocalHttpServer::Response answerWith(const QString& content) {
    const QJsonObject message{{QStringLiteral("content"), content}};
    const QJsonArray choices{QJsonObject{{QStringLiteral("message"), message}}};
    return {200, QJsonDocument(QJsonObject{{QStringLiteral("choices"), choices}}).toJson()};
}

inline LocalHttpServer::Response heldAnswer() {
    LocalHttpServer::Response held;
    held.neverAnswer = true;
    return held;
}

// The user's message of a recorded chat-completions request.
inline QString userMessage(const LocalHttpServer::Request& request) {
    const QJsonArray messages = QJsonDocument::fromJson(request.body).object().value("messages").toArray();
    return messages.isEmpty() ? QString() : messages.last().toObject().value("content").toString();
}

inline void configure(const QUrl& chatService, const QUrl& updateService) {
    pointUpdateCheckAt(updateService);
    PreferenceStore preferences(SettingsManager::preferencesPath());
    const QString provider = AIProviders::rawValue(AIProvider::deepseek);
    preferences.setValue(QStringLiteral("kavelin.apiProvider"), provider);
    preferences.setValue(QStringLiteral("kavelin.baseURL.") + provider, chatService.toString());
    // A private bus has no Secret Service: the program keeps its keys in this file.
    FileKeyStore keys(AppConstants::configDirectory() + QStringLiteral("/keys.json"));
    QCOMPARE(
        keys.write(KeychainHelper::service, QStringLiteral("kavelin.apikey.") + provider, "sk-local-test"),
        0);
}

// The program's shown windows titled exactly `title`.
inline QList<qulonglong> windowsTitled(qint64 pid, const QString& title) {
    QList<qulonglong> found;
    const QList<qulonglong> windows = X11Desktop::windowsOf(pid);
    for (const qulonglong window : windows)
        if (X11Desktop::windowName(window) == title)
            found.append(window);
    return found;
}

// The loading panel, told from the tray icon's window of the same name by its size.
inline QList<qulonglong> loadingPanels(qint64 pid) {
    QList<qulonglong> panels = windowsTitled(pid, QStringLiteral("VYRN"));
    panels.removeIf([](qulonglong window) { return X11Desktop::geometryOf(window).width() < 200; });
    return panels;
}

inline qulonglong waitForWindowOf(qint64 pid, const QString& title, int timeoutMs = 30000) {
    QList<qulonglong> found;
    (void)QTest::qWaitFor([&] { return !(found = windowsTitled(pid, title)).isEmpty(); }, timeoutMs);
    return found.value(0);
}

inline bool waitUntilGone(qint64 pid, const QString& title, int timeoutMs = 15000) {
    return QTest::qWaitFor([&] { return windowsTitled(pid, title).isEmpty(); }, timeoutMs);
}

} // namespace TranslationEndToEnd
