#pragma once

#include "base/AppRequest.h"

#include <QString>
#include <QStringList>

#include <optional>

// What the command line asks for. Options only; Qt's own options are not taken, so that
// every argument is either understood or refused.
struct CommandLine {
    enum class Kind {
        Run,     // start, or pass the action to the running instance
        Help,    // print the usage, exit 0
        Version, // print the version, exit 0
        Invalid, // print `error` and the usage on standard error, exit 2
    };
    Kind kind = Kind::Run;
    std::optional<AppAction> action; // --screenshot, --selection, --settings, --quit
    bool background = false;         // --background: no settings window at start
    QString error;

    AppRequest request() const { return {action.value_or(AppAction::Activate), {}, {}}; }
};

// The arguments after the program's name.
CommandLine parseCommandLine(const QStringList& arguments);
QString commandLineUsage();
// "VYRN 0.1.0 (1)".
QString commandLineVersion();
