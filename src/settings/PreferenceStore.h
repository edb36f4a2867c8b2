#pragma once

#include "app/AtomicFile.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <mutex>
#include <optional>

// The typed preference file: one JSON object whose integers, booleans and texts keep
// their type. Every change replaces the file atomically, so a kill at any moment
// leaves either the old or the new file, never a truncated one. Reads come from memory;
// a change first takes up what others wrote to the file since (a hand edit, a second
// instance) and then changes only its own key.
class PreferenceStore {
public:
    explicit PreferenceStore(QString filePath);

    QString filePath() const { return m_path; }

    // Undefined when absent.
    QJsonValue value(const QString& key) const;
    bool contains(const QString& key) const;
    std::optional<QString> text(const QString& key) const;
    std::optional<qint64> integer(const QString& key) const;
    std::optional<bool> boolean(const QString& key) const;

    // Each returns false when the file could not be replaced (logged); the new value
    // still holds for this run and is written with the next successful change.
    bool setValue(const QString& key, const QJsonValue& value);
    bool remove(const QString& key);

private:
    enum class ReadResult { read, missing, unreadable };
    ReadResult readFile(QJsonObject* values, QString* problem);
    void load();
    void takeUpChangesOnDiskLocked();
    bool saveLocked();

    QString m_path;
    mutable std::mutex m_mutex;
    QJsonObject m_values;
    AtomicFile::FileStamp m_stamp; // of the file as last read or written
};
