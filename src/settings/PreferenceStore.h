#pragma once

#include "base/AtomicFile.h"

#include <QHash>
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

    // While one exists, changes are read back at once but reach the file together when the
    // last one ends: one write for a whole save, and no file that holds half of it.
    class Batch {
    public:
        explicit Batch(PreferenceStore& store);
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        PreferenceStore& m_store;
    };

private:
    enum class ReadResult { read, missing, unreadable };
    ReadResult readFile(QJsonObject* values, QString* problem);
    void load();
    void takeUpChangesOnDiskLocked();
    bool saveLocked();
    bool change(const QString& key, const std::optional<QJsonValue>& value);

    QString m_path;
    mutable std::mutex m_mutex;
    QJsonObject m_values;
    AtomicFile::FileStamp m_stamp; // of the file as last read or written
    int m_batches = 0;
    QHash<QString, std::optional<QJsonValue>> m_pending; // changes held back by a batch; nothing: removed
};
