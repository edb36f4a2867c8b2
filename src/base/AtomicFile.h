#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>

namespace AtomicFile {

// One version of a file on disk. A replace gives a new inode, an edit in place a new size or
// modification time, so two stamps differ whenever someone else wrote in between.
struct FileStamp {
    bool exists = false;
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0;

    static FileStamp of(const QString& path);
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

struct WriteOptions {
    QFileDevice::Permissions permissions = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    // Flush the file and its folder before returning. Without it a power loss on a file system
    // that does not order data before renames can leave an empty file behind.
    bool durable = false;
};

// Replaces `path` with `bytes` through a temporary file in the same folder and a rename,
// so a reader or a kill at any moment sees the old or the new content, never a mix.
// Returns false (with the reason in `error`) when the file could not be replaced;
// `written`, when given, receives the stamp of the new file.
bool write(const QString& path, const QByteArray& bytes, const WriteOptions& options, QString* error,
           FileStamp* written = nullptr);

// Renames an unreadable file to "<path>.corrupt-<time>" so that it is never overwritten and the
// user can get it back. Returns the new name, or nothing when it could not be moved.
QString moveAside(const QString& path);

// Deletes temporary files that an interrupted write of `path` left behind, once they are older
// than a minute (a younger one may belong to a write in progress in another instance). They may
// hold secrets. Each removal is logged.
void removeStaleTemporaries(const QString& path);

} // namespace AtomicFile
