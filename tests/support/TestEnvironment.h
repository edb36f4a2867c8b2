#pragma once

#include <QString>
#include <QTemporaryDir>
#include <QUrl>

#include <memory>

// A private HOME and XDG folders for one test executable, so tests never touch the
// user's real settings, log or keys. Create it before anything logs.
class TestEnvironment {
public:
    TestEnvironment();
    QString root() const { return m_dir.path(); }
    QString configDir() const;
    QString logPath() const;
    // A fresh preference file path under the config folder.
    QString newPreferencesPath();

private:
    QTemporaryDir m_dir;
    int m_counter = 0;
};

// The real program started in this environment checks for updates at `baseUrl`, without
// statistics.
void pointUpdateCheckAt(const QUrl& baseUrl);

// Reads the whole log file after flushing the logger.
QString readLog();

// A file's bytes, empty when it cannot be read.
QByteArray readFileBytes(const QString& path);
// Replaces a file's content, creating its folder; a failure fails the running test.
void writeFileBytes(const QString& path, const QByteArray& bytes);
