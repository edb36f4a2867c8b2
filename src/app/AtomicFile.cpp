#include "app/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace AtomicFile {

namespace {
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
} // namespace

bool write(const QString& path, const QByteArray& bytes, QFileDevice::Permissions permissions,
           QString* error) {
    const QFileInfo info(path);
    QDir().mkpath(info.absolutePath());
    const QByteArray target = QFile::encodeName(info.absoluteFilePath());
    QByteArray temporary = target + ".tmp-XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    auto fail = [&](const char* step) {
        if (error)
            *error =
                QString::fromUtf8(step) + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
        return false;
    };
    if (fd < 0)
        return fail("mkostemp");
    ::fchmod(fd, modeOf(permissions));
    const char* data = bytes.constData();
    size_t left = size_t(bytes.size());
    while (left > 0) {
        const ssize_t n = ::write(fd, data, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int saved = errno;
            ::close(fd);
            ::unlink(temporary.constData());
            errno = saved;
            return fail("write");
        }
        data += n;
        left -= size_t(n);
    }
    if (::close(fd) != 0) {
        ::unlink(temporary.constData());
        return fail("close");
    }
    if (::rename(temporary.constData(), target.constData()) != 0) {
        const int saved = errno;
        ::unlink(temporary.constData());
        errno = saved;
        return fail("rename");
    }
    return true;
}

} // namespace AtomicFile
