#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Reading freedesktop desktop entries (QSettings reads them wrongly: it takes ';' and
// backslashes as its own syntax).
namespace DesktopEntry {

// A key of the [Desktop Entry] group; empty when absent.
QString value(const QByteArray& text, const QByteArray& key);
// The program an Exec value starts: its first argument, with the string's escapes, the
// quoting and the doubled '%' undone.
QString program(const QString& exec);

struct Found {
    QString path;
    QByteArray text;
};
// The application entries under `dataDirs` (each with an applications/ folder, the first
// winning for a desktop file id) whose Exec starts `program`, compared as canonical paths.
QList<Found> startingProgram(const QString& program, const QStringList& dataDirs);

} // namespace DesktopEntry
