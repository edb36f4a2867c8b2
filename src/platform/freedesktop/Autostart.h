#pragma once

#include <QByteArray>
#include <QString>

// The entry that starts VYRN in the background when the user logs in:
// $XDG_CONFIG_HOME/autostart/vyrn.desktop (freedesktop autostart), run with --background.
namespace Autostart {

QString entryPath();
// The entry exists and is not switched off the way desktops' own start-up settings do it
// (Hidden=true, X-GNOME-Autostart-enabled=false).
bool isEnabled();
// Writes the entry for `program` (an absolute path; the running binary when empty) or
// removes it. False, with a Chinese reason in `error`, when that failed.
bool setEnabled(bool enabled, QString* error = nullptr, const QString& program = {});

// The program the entry starts: its Exec line's first argument, unquoted; empty without one.
QString program();

// The entry's text.
QByteArray entryText(const QString& program);
// One argument of an Exec line, quoted when it holds a reserved character and escaped for a
// desktop entry's string value: /opt/my apps/vyrn → "/opt/my apps/vyrn".
QString execArgument(const QString& argument);

} // namespace Autostart
