#pragma once

#include <QByteArray>
#include <QString>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

// One append-only log file, written by a single worker thread so that no caller
// waits for the disk; every line is also echoed to standard output.
class Logger {
public:
    static Logger& shared();

    void info(const QString& message);
    void error(const QString& message);

    // Blocks until every line submitted so far is in the file. For tests and shutdown.
    void flush();
    QString path() const { return m_path; }

    // "[INFO] " / "[ERROR] " + local "yyyy-MM-dd HH:mm:ss.SSS" + " " + message + "\n".
    static QByteArray formatLine(const char* tag, const QString& message);

    ~Logger();
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

private:
    Logger();
    void write(const char* tag, const QString& message);
    void run();

    QString m_path;
    int m_fd = -1;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_drained;
    std::deque<QByteArray> m_pending;
    bool m_writing = false;
    bool m_stopping = false;
    std::thread m_worker;
};

void logi(const QString& message);
void loge(const QString& message);
