#pragma once

#include <QString>
#include <QStringList>

// What earlier ways of installing VYRN left behind that a start of an installed VYRN mends or
// names: a login entry that starts a build folder's program, and an install into another
// prefix (scripts/install.sh into ~/.local) beside the package.
namespace InstallationCheck {

// `program` is an installed VYRN (…/bin/vyrn with …/libexec/vyrn/vyrn-atspi-reader beside
// it), not a build folder's.
bool isInstalled(const QString& program);
// An enabled login entry whose program is a build folder's, or gone, is rewritten to start
// `program`; one that starts another installed VYRN stays.
void adoptAutostart(const QString& program);
// Log lines about another install: a `vyrn` that the search `path` finds before `program`,
// and a menu entry under its old name (vyrn.desktop) in `dataHome`; empty when none.
QStringList leftovers(const QString& program, const QString& path, const QString& dataHome);
// Both, for the running program when it is installed, into the log.
void run(const QString& program);

} // namespace InstallationCheck
