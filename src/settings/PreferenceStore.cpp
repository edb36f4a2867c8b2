#include "settings/PreferenceStore.h"

#include "base/Logger.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// Serialises the read-change-write of every instance that shares the file, so that two
// changes made at the same moment both survive.
class WriterLock {
public:
    explicit WriterLock(const QString& path) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        m_fd = ::open(QFile::encodeName(path + QStringLiteral(".lock")).constData(),
                      O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        // Without the lock file (a read-only folder) the write that follows fails anyway.
        while (m_fd >= 0 && ::flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    ~WriterLock() {
        if (m_fd >= 0)
            ::close(m_fd); // releases the lock
    }
    WriterLock(const WriterLock&) = delete;
    WriterLock& operator=(const WriterLock&) = delete;

private:
    int m_fd = -1;
};

} // namespace

PreferenceStore::PreferenceStore(QString filePath) : m_path(std::move(filePath)) {
    AtomicFile::removeStaleTemporaries(m_path);
    load();
}

PreferenceStore::ReadResult PreferenceStore::readFile(QJsonObject* values, QString* problem) {
    m_stamp = AtomicFile::FileStamp::of(m_path);
    QFile file(m_path);
    if (!m_stamp.exists)
        return ReadResult::missing;
    if (!file.open(QIODevice::ReadOnly)) {
        *problem = file.errorString();
        return ReadResult::unreadable;
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError) {
        *problem = error.errorString() + QStringLiteral(" @") + QString::number(error.offset);
        return ReadResult::unreadable;
    }
    if (!document.isObject()) {
        *problem = QStringLiteral("顶层不是 JSON 对象");
        return ReadResult::unreadable;
    }
    *values = document.object();
    return ReadResult::read;
}

void PreferenceStore::load() {
    QString problem;
    if (readFile(&m_values, &problem) != ReadResult::unreadable)
        return;
    // Never overwrite what we could not read: the user may want it back.
    const QString aside = AtomicFile::moveAside(m_path);
    loge(QStringLiteral("偏好设置文件无法读取（") + problem + QStringLiteral("）: ") + m_path +
         (aside.isEmpty() ? QStringLiteral("，且无法移走") : QStringLiteral("，已移至 ") + aside) +
         QStringLiteral("；使用默认设置"));
}

void PreferenceStore::takeUpChangesOnDiskLocked() {
    if (AtomicFile::FileStamp::of(m_path) == m_stamp)
        return;
    QJsonObject values;
    QString problem;
    switch (readFile(&values, &problem)) {
    case ReadResult::read:
        m_values = values;
        break;
    case ReadResult::missing: // removed by hand: start again from the defaults
        m_values = {};
        break;
    case ReadResult::unreadable: {
        // A broken hand edit: keep it for the user and go on with what this run knows.
        const QString aside = AtomicFile::moveAside(m_path);
        loge(QStringLiteral("偏好设置文件被外部修改后无法读取（") + problem + QStringLiteral("）: ") +
             m_path + (aside.isEmpty() ? QString() : QStringLiteral("，已移至 ") + aside) +
             QStringLiteral("；保留本次运行的设置"));
        break;
    }
    }
}

QJsonValue PreferenceStore::value(const QString& key) const {
    std::lock_guard guard(m_mutex);
    return m_values.value(key);
}

bool PreferenceStore::contains(const QString& key) const {
    std::lock_guard guard(m_mutex);
    return m_values.contains(key);
}

std::optional<QString> PreferenceStore::text(const QString& key) const {
    const QJsonValue v = value(key);
    if (!v.isString())
        return std::nullopt;
    return v.toString();
}

std::optional<qint64> PreferenceStore::integer(const QString& key) const {
    const QJsonValue v = value(key);
    if (!v.isDouble())
        return std::nullopt;
    const double d = v.toDouble();
    // JSON has one number type; only whole numbers in range are integers.
    if (!std::isfinite(d) || d != std::trunc(d) || std::fabs(d) > 9007199254740992.0)
        return std::nullopt;
    return static_cast<qint64>(d);
}

std::optional<bool> PreferenceStore::boolean(const QString& key) const {
    const QJsonValue v = value(key);
    if (!v.isBool())
        return std::nullopt;
    return v.toBool();
}

bool PreferenceStore::setValue(const QString& key, const QJsonValue& value) {
    return change(key, value);
}

bool PreferenceStore::remove(const QString& key) {
    return change(key, std::nullopt);
}

bool PreferenceStore::change(const QString& key, const std::optional<QJsonValue>& value) {
    std::lock_guard guard(m_mutex);
    if (m_batches > 0) {
        m_pending.insert(key, value);
    } else {
        const WriterLock writers(m_path);
        takeUpChangesOnDiskLocked();
        if (!value && !m_values.contains(key))
            return true;
    }
    if (value)
        m_values.insert(key, *value);
    else
        m_values.remove(key);
    if (m_batches > 0)
        return true;
    return saveLocked();
}

PreferenceStore::Batch::Batch(PreferenceStore& store) : m_store(store) {
    std::lock_guard guard(store.m_mutex);
    ++store.m_batches;
}

PreferenceStore::Batch::~Batch() {
    std::lock_guard guard(m_store.m_mutex);
    if (--m_store.m_batches > 0 || m_store.m_pending.isEmpty())
        return;
    const WriterLock writers(m_store.m_path);
    // What others wrote meanwhile, with this batch's changes on top.
    m_store.takeUpChangesOnDiskLocked();
    for (auto it = m_store.m_pending.cbegin(); it != m_store.m_pending.cend(); ++it) {
        if (it.value())
            m_store.m_values.insert(it.key(), *it.value());
        else
            m_store.m_values.remove(it.key());
    }
    m_store.m_pending.clear();
    m_store.saveLocked();
}

bool PreferenceStore::saveLocked() {
    QString error;
    // Owner-only (the default): older versions kept API keys in this file.
    if (AtomicFile::write(m_path, QJsonDocument(m_values).toJson(QJsonDocument::Indented), {}, &error,
                          &m_stamp))
        return true;
    loge(QStringLiteral("偏好设置写入失败: ") + m_path + QStringLiteral(": ") + error);
    return false;
}
