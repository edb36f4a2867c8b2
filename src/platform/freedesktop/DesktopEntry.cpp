#include "platform/freedesktop/DesktopEntry.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace DesktopEntry {

QString value(const QByteArray& text, const QByteArray& key) {
    bool inEntry = false;
    for (const QByteArray& raw : text.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.startsWith('['))
            inEntry = line == "[Desktop Entry]";
        else if (inEntry && line.startsWith(key + '='))
            return QString::fromUtf8(line.mid(key.size() + 1)).trimmed();
    }
    return {};
}

QString program(const QString& value) {
    static const QString escaped = QStringLiteral("\\sntr"), meant = QStringLiteral("\\ \n\t\r");
    QString exec;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const qsizetype kind = i + 1 < value.size() && value[i] == u'\\' ? escaped.indexOf(value[i + 1]) : -1;
        exec += kind < 0 ? value[i] : meant[kind];
        i += kind < 0 ? 0 : 1;
    }
    const bool quoted = exec.startsWith(u'"');
    QString argument;
    for (qsizetype i = quoted ? 1 : 0; i < exec.size() && exec[i] != (quoted ? u'"' : u' '); ++i) {
        if (quoted && exec[i] == u'\\' && i + 1 < exec.size())
            ++i;
        argument += exec[i];
    }
    return argument.replace(QStringLiteral("%%"), QStringLiteral("%"));
}

QList<Found> startingProgram(const QString& program, const QStringList& dataDirs) {
    const QString wanted = QFileInfo(program).canonicalFilePath();
    QList<Found> found;
    QSet<QString> seenIds;
    for (const QString& dataDir : dataDirs) {
        const QDir applications(dataDir + QStringLiteral("/applications"));
        QDirIterator it(applications.path(), {QStringLiteral("*.desktop")}, QDir::Files,
                        QDirIterator::Subdirectories);
        QStringList paths;
        while (it.hasNext())
            paths.append(it.next());
        paths.sort();
        for (const QString& path : paths) {
            // An entry in an earlier folder hides the one of the same id in a later folder.
            const QString id = applications.relativeFilePath(path).replace(u'/', u'-');
            if (seenIds.contains(id))
                continue;
            seenIds.insert(id);
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const QByteArray text = file.readAll();
            if (value(text, "Type") != QLatin1String("Application") ||
                value(text, "Hidden") == QLatin1String("true"))
                continue;
            const QString started = DesktopEntry::program(value(text, "Exec"));
            if (!wanted.isEmpty() && !started.isEmpty() && QFileInfo(started).canonicalFilePath() == wanted)
                found.append(Found{path, text});
        }
    }
    return found;
}

} // namespace DesktopEntry
