#include "base/AtomicFile.h"

#include "base/Logger.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace AtomicFile {

namespace {

const char temporaryInfix[] = ".tmp-";

mode_t modeOf(QFileDevice::Permissions p) {
    mode_t mode = 0;
    if (p & QFileDevice::ReadOwner)
        mode |= S_IRUSR;
    if (p & QFileDevice::WriteOwner)
        mode |= S_IWUSR;
    if (p & QFileDevice::ReadGroup)
        mode |= S_IRGRP;
    if (p & QFileDevice::WriteGroup)
        mode |= S_IWGRP;
    if (p & QFileDevice::ReadOther)
        mode |= S_IROTH;
    if (p & QFileDevice::WriteOther)
        mode |= S_IWOTH;
    return mode;
}

FileStamp stampOf(const struct stat& st) {
    FileStamp stamp;
    stamp.exists = true;
    stamp.device = quint64(st.st_dev);
    stamp.inode = quint64(st.st_ino);
    stamp.size = qint64(st.st_size);
    stamp.modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return stamp;
}

bool syncFolder(const QByteArray& folder) {
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

} // namespace

FileStamp FileStamp::of(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return stampOf(st);
}

bool write(const QString& path, const QByteArray& bytes, const WriteOptions& options, QString* error,
           FileStamp* written) {
    const QFileInfo info(path);
    QDir().mkpath(info.absolutePath());
    const QByteArray target = QFile::encodeName(info.absoluteFilePath());
    QByteArray temporary = target + temporaryInfix + "XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    auto fail = [&](const char* step) {
        if (error)
            *error =
                QString::fromUtf8(step) + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
        return false;
    };
    if (fd < 0)
        return fail("mkostemp");
    auto abandon = [&](const char* step, bool open) {
        const int saved = errno;
        if (open)
            ::close(fd);
        ::unlink(temporary.constData());
        errno = saved;
        return fail(step);
    };
    ::fchmod(fd, modeOf(options.permissions));
    const char* data = bytes.constData();
    size_t left = size_t(bytes.size());
    while (left > 0) {
        const ssize_t n = ::write(fd, data, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return abandon("write", true);
        data += n;
        left -= size_t(n);
    }
    if (options.durable && ::fsync(fd) != 0)
        return abandon("fsync", true);
    struct stat st {};
    const bool stamped = ::fstat(fd, &st) == 0;
    if (::close(fd) != 0)
        return abandon("close", false);
    if (::rename(temporary.constData(), target.constData()) != 0)
        return abandon("rename", false);
    // The rename itself only lasts once the folder is on disk too.
    if (options.durable && !syncFolder(QFile::encodeName(info.absolutePath())))
        return fail("fsync folder");
    if (written)
        *written = stamped ? stampOf(st) : FileStamp::of(path);
    return true;
}

QString moveAside(const QString& path) {
    const QString stem = path + QStringLiteral(".corrupt-") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    // A second broken file within the same second must not replace the first one set aside.
    QString aside = stem;
    for (int n = 2; QFile::exists(aside); ++n)
        aside = stem + QLatin1Char('-') + QString::number(n);
    return QFile::rename(path, aside) ? aside : QString();
}

void removeStaleTemporaries(const QString& path) {
    const QFileInfo info(path);
    const QDateTime cutoff = QDateTime::currentDateTime().addSecs(-60);
    const QFileInfoList leftovers =
        QDir(info.absolutePath())
            .entryInfoList({info.fileName() + QLatin1String(temporaryInfix) + QStringLiteral("??????")},
                           QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo& leftover : leftovers) {
        if (leftover.lastModified() < cutoff && QFile::remove(leftover.absoluteFilePath()))
            logi(QStringLiteral("已删除中断写入留下的临时文件: ") + leftover.absoluteFilePath());
    }
}

} // namespace AtomicFile
