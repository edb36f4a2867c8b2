#include "base/Logger.h"

#include "base/AppConstants.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <thread>
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

// Lines written to one file descriptor by a thread of its own, in the order submitted.
class QueuedWriter {
public:
    explicit QueuedWriter(int fd) : m_fd(fd), m_thread([this] { run(); }) {}

    ~QueuedWriter() {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_one();
        m_thread.join();
    }

    void submit(const QByteArray& line) {
        {
            std::lock_guard lock(m_mutex);
            m_pending.push_back(line);
        }
        m_wake.notify_one();
    }

    void drain() {
        std::unique_lock lock(m_mutex);
        m_drained.wait(lock, [this] { return m_pending.empty() && !m_writing; });
    }

private:
    void run() {
        // A reader that went away (`vyrn | head`) must not end the program: with the signal
        // blocked on this thread the write fails with EPIPE instead.
        sigset_t pipeSignal;
        sigemptyset(&pipeSignal);
        sigaddset(&pipeSignal, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);

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
            writeAll(m_fd, batch.constData(), size_t(batch.size()));
            lock.lock();
            m_writing = false;
            if (m_pending.empty())
                m_drained.notify_all();
        }
    }

    const int m_fd;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_drained;
    std::deque<QByteArray> m_pending;
    bool m_writing = false;
    bool m_stopping = false;
    std::thread m_thread; // last: starts once everything above exists
};

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
    if (m_fd >= 0)
        m_file = std::make_unique<QueuedWriter>(m_fd);
    m_echo = std::make_unique<QueuedWriter>(STDOUT_FILENO);
}

Logger::~Logger() {
    m_file.reset();
    m_echo.reset();
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
    if (m_file)
        m_file->submit(line);
    m_echo->submit(line);
}

void Logger::flush() {
    if (m_file)
        m_file->drain();
}

void logi(const QString& message) {
    Logger::shared().info(message);
}
void loge(const QString& message) {
    Logger::shared().error(message);
}
