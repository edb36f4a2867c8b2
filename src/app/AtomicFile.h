#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>

namespace AtomicFile {
// Replaces `path` with `bytes` through a temporary file in the same folder and a
// rename, so a reader or a kill at any moment sees the old or the new content,
// never a mix. No fsync: a settings change must not stall on the disk, and the
// rename-over-old pattern is what the kernel orders for us on power loss.
// Returns false (with the reason in `error`) when the file could not be replaced.
bool write(const QString& path, const QByteArray& bytes, QFileDevice::Permissions permissions,
           QString* error);
} // namespace AtomicFile
