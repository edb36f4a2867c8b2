#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// What a desktop gives the programs under test: a window manager (focus, stacking,
// _NET_ACTIVE_WINDOW) and a system tray. Stops what it started.
class X11Desktop {
public:
    ~X11Desktop();
    // Openbox, unless a window manager already runs; true once one manages the screen.
    bool startWindowManager();
    // A tray at the top right of the screen; the caller waits until programs see it.
    bool startTray();
    void stopTray();

    // Runs a command-line tool to its end and gives its standard output, trimmed.
    static QString run(const QString& program, const QStringList& arguments);
    // The window the window manager says is active, 0 when none.
    static qulonglong activeWindow();
    // The visible windows of a process.
    static QList<qulonglong> windowsOf(qint64 pid);

private:
    static void stop(QProcess& process);
    QProcess m_windowManager;
    QProcess m_tray;
};
