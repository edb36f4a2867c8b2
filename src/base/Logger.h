#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

class QueuedWriter;

// One append-only log file, with every line also echoed to standard output. Both are
// written by threads of the logger's own, so no caller waits for the disk or for a
// terminal that has stopped reading.
class Logger {
public:
    static Logger& shared();

    void info(const QString& message);
    void error(const QString& message);

    // Blocks until every line submitted so far is in the file (not necessarily echoed).
    // For tests and shutdown.
    void flush();
    QString path() const { return m_path; }

    // "[INFO] " / "[ERROR] " + local "yyyy-MM-dd HH:mm:ss.SSS" + " " + message + "\n".
    static QByteArray formatLine(const char* tag, const QString& message);

    // Writes what is still queued, the echo included.
    ~Logger();
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

private:
    Logger();
    void write(const char* tag, const QString& message);

    QString m_path;
    int m_fd = -1;
    std::unique_ptr<QueuedWriter> m_file;
    std::unique_ptr<QueuedWriter> m_echo;
};

void logi(const QString& message);
void loge(const QString& message);
