// The update service's answer comes from the network: any bytes must parse to a
// record or to nothing, and version texts of any shape must compare without harm.
#include "update/UpdateChecker.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    if (const auto record = UpdateChecker::parseUpdateResponse(bytes)) {
        if (record->version.isEmpty() || record->url.isEmpty())
            __builtin_trap();
        UpdateChecker::isNewer(record->version, QStringLiteral("1.2.9"));
    }
    const qsizetype cut = bytes.indexOf('\n');
    const QString remote = QString::fromUtf8(cut < 0 ? bytes : bytes.left(cut));
    const QString local = cut < 0 ? QString() : QString::fromUtf8(bytes.mid(cut + 1));
    // Comparison is a strict order: never both ways at once.
    if (UpdateChecker::isNewer(remote, local) && UpdateChecker::isNewer(local, remote))
        __builtin_trap();
    return 0;
}
