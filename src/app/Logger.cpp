#include "app/Logger.h"

#include "app/AppConstants.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace {

void writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return; // the logger never reports its own failures
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
}

} // namespace

Logger& Logger::shared() {
    static Logger instance;
    return instance;
}

Logger::Logger() {
    m_path = LOG_PATH.isEmpty() ? AppConstants::defaultLogPath() : LOG_PATH;
    if (m_path.startsWith(QLatin1Char('~')))
        m_path = QDir::homePath() + m_path.mid(1);
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    // O_APPEND: lines always land after what earlier runs (or a concurrent run) wrote.
    m_fd = ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    m_worker = std::thread([this] { run(); });
}

Logger::~Logger() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    if (m_worker.joinable())
        m_worker.join();
    if (m_fd >= 0)
        ::close(m_fd);
}

QByteArray Logger::formatLine(const char* tag, const QString& message) {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char stamp[40];
    const int stampLength = std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d.%03d ",
                                          local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                          local.tm_hour, local.tm_min, local.tm_sec, int(millis));
    const QByteArray text = message.toUtf8();
    QByteArray line;
    line.reserve(int(std::strlen(tag)) + stampLength + text.size() + 1);
    line.append(tag).append(stamp, stampLength).append(text).append('\n');
    return line;
}

void Logger::info(const QString& message) {
    write("[INFO] ", message);
}
void Logger::error(const QString& message) {
    write("[ERROR] ", message);
}

void Logger::write(const char* tag, const QString& message) {
    const QByteArray line = formatLine(tag, message);
    {
        std::lock_guard lock(m_mutex);
        m_pending.push_back(line);
    }
    m_wake.notify_one();
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fflush(stdout);
}

void Logger::flush() {
    std::unique_lock lock(m_mutex);
    m_drained.wait(lock, [this] { return m_pending.empty() && !m_writing; });
}

void Logger::run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || !m_pending.empty(); });
        if (m_pending.empty() && m_stopping)
            return;
        // Take everything queued so far and write it as one block, outside the lock.
        QByteArray batch;
        while (!m_pending.empty()) {
            batch.append(m_pending.front());
            m_pending.pop_front();
        }
        m_writing = true;
        lock.unlock();
        if (m_fd >= 0)
            writeAll(m_fd, batch.constData(), size_t(batch.size()));
        lock.lock();
        m_writing = false;
        if (m_pending.empty())
            m_drained.notify_all();
    }
}

void logi(const QString& message) {
    Logger::shared().info(message);
}
void loge(const QString& message) {
    Logger::shared().error(message);
}
