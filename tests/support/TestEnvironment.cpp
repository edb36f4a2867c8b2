#include "support/TestEnvironment.h"

#include "base/AppConstants.h"
#include "base/Logger.h"
#include "settings/PreferenceStore.h"
#include "settings/SettingsManager.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

TestEnvironment::TestEnvironment() {
    qputenv("XDG_CONFIG_HOME", (m_dir.path() + QStringLiteral("/config")).toUtf8());
    qputenv("XDG_STATE_HOME", (m_dir.path() + QStringLiteral("/state")).toUtf8());
    AppConstants::initialize();
}

QString TestEnvironment::configDir() const {
    return AppConstants::configDirectory();
}

QString TestEnvironment::logPath() const {
    return LOG_PATH;
}

QString TestEnvironment::newPreferencesPath() {
    return configDir() + QStringLiteral("/prefs-") + QString::number(++m_counter) + QStringLiteral(".json");
}

void pointUpdateCheckAt(const QUrl& baseUrl) {
    PreferenceStore preferences(SettingsManager::preferencesPath());
    preferences.setValue(QStringLiteral("kavelin.updateBaseURL"), baseUrl.toString());
    preferences.setValue(QStringLiteral("kavelin.telemetryEnabled"), false);
}

QString readLog() {
    Logger::shared().flush();
    QFile file(Logger::shared().path());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

QByteArray readFileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFileBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(file.write(bytes), bytes.size());
}
