#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// What a start of `vyrn` asks of the program: the plain start (show the settings window of
// a running instance, or start one) or one of the actions of the command line.
enum class AppAction { Activate, Screenshot, Selection, Settings, Quit };

struct AppRequest {
    AppAction action = AppAction::Activate;
    // The desktop's launch of this request (DESKTOP_STARTUP_ID, XDG_ACTIVATION_TOKEN): a window
    // opened for it may take the focus, and the launch feedback ends when it is done.
    QByteArray startupId;
    QByteArray activationToken;
    // Which VYRN sent it, when another start of `vyrn` did: its version ("0.1.0", build "2")
    // and the program it runs, as the kernel names it (empty when unknown).
    QString senderVersion{};
    QString senderBuild{};
    QString senderProgram{};
};

// The name of an action in the desktop file and on the session bus ("screenshot", ...);
// empty for Activate.
QString appActionName(AppAction action);
// The action a name stands for; nothing for an unknown name.
std::optional<AppAction> appActionNamed(const QString& name);
