#include "settings/PreferenceStore.h"

#include "app/AtomicFile.h"
#include "app/Logger.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

#include <cmath>

PreferenceStore::PreferenceStore(QString filePath) : m_path(std::move(filePath)) {
    load();
}

void PreferenceStore::load() {
    QFile file(m_path);
    if (!file.exists())
        return;
    QString problem;
    if (!file.open(QIODevice::ReadOnly)) {
        problem = file.errorString();
    } else {
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
        if (error.error != QJsonParseError::NoError)
            problem = error.errorString() + QStringLiteral(" @") + QString::number(error.offset);
        else if (!document.isObject())
            problem = QStringLiteral("顶层不是 JSON 对象");
        else
            m_values = document.object();
        file.close();
    }
    if (problem.isEmpty())
        return;
    // Never overwrite what we could not read: the user may want it back.
    const QString aside = m_path + QStringLiteral(".corrupt-") +
                          QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const bool moved = QFile::rename(m_path, aside);
    loge(QStringLiteral("偏好设置文件无法读取（") + problem + QStringLiteral("）: ") + m_path +
         (moved ? QStringLiteral("，已移至 ") + aside : QStringLiteral("，且无法移走")) +
         QStringLiteral("；使用默认设置"));
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
    std::lock_guard guard(m_mutex);
    m_values.insert(key, value);
    return saveLocked();
}

bool PreferenceStore::remove(const QString& key) {
    std::lock_guard guard(m_mutex);
    if (!m_values.contains(key))
        return true;
    m_values.remove(key);
    return saveLocked();
}

bool PreferenceStore::saveLocked() {
    QString error;
    // Owner-only: older versions kept API keys in this file.
    if (AtomicFile::write(m_path, QJsonDocument(m_values).toJson(QJsonDocument::Indented),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner, &error))
        return true;
    loge(QStringLiteral("偏好设置写入失败: ") + m_path + QStringLiteral(": ") + error);
    return false;
}
