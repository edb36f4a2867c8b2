#include "base/AppIcon.h"

#include <QDir>
#include <QStandardPaths>

#include <cstdlib>

namespace {
const QString kThemeDir = QStringLiteral(":/icons/hicolor");

// "48x48" -> 48; the resource holds one folder per size, as the theme does.
int sizeOf(const QString& folder) {
    return folder.section(QLatin1Char('x'), 0, 0).toInt();
}

QString pathFor(const QString& folder) {
    return kThemeDir + QLatin1Char('/') + folder + QStringLiteral("/apps/vyrn.png");
}
} // namespace

namespace AppIcon {

QString name() {
    return QStringLiteral("vyrn");
}

QIcon icon() {
    QIcon result;
    for (const QString& folder : QDir(kThemeDir).entryList(QDir::Dirs)) {
        const int size = sizeOf(folder);
        if (size > 0)
            result.addFile(pathFor(folder), QSize(size, size));
    }
    return result;
}

QImage image(int size) {
    QString best;
    for (const QString& folder : QDir(kThemeDir).entryList(QDir::Dirs)) {
        if (sizeOf(folder) > 0 &&
            (best.isEmpty() || std::abs(sizeOf(folder) - size) < std::abs(sizeOf(best) - size)))
            best = folder;
    }
    return best.isEmpty() ? QImage() : QImage(pathFor(best));
}

bool isInstalled() {
    for (const char* file : {"icons/hicolor/scalable/apps/vyrn.svg", "icons/hicolor/48x48/apps/vyrn.png"}) {
        if (!QStandardPaths::locate(QStandardPaths::GenericDataLocation, QString::fromLatin1(file)).isEmpty())
            return true;
    }
    return false;
}

} // namespace AppIcon
