#pragma once

#include <QPoint>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>

// What a desktop gives the programs under test: a window manager (focus, stacking,
// _NET_ACTIVE_WINDOW) and a system tray. Stops what it started.
class X11Desktop {
public:
    ~X11Desktop();
    // Openbox, unless a window manager already runs; true once one manages the screen.
    bool startWindowManager();
    // A tray at the top right of the screen, of a fixed width so that icons do not move
    // as others dock; the caller waits until programs see it.
    bool startTray();
    void stopTray();

    // Runs a command-line tool to its end and gives its standard output, trimmed.
    static QString run(const QString& program, const QStringList& arguments);
    // The window the window manager says is active, 0 when none.
    static qulonglong activeWindow();
    // The visible windows of a process, or with a title matching a regular expression.
    static QList<qulonglong> windowsOf(qint64 pid);
    static QList<qulonglong> windowsNamed(const QString& pattern);
    static QString windowName(qulonglong window);
    static QRect geometryOf(qulonglong window);
    // One of the process's alerts is on screen: a window titled with the program's name
    // that is wider than its tray icon.
    static bool showsAlert(qint64 pid);
    // The window manager has framed the window, so its focus decision is made.
    static bool isManaged(qulonglong window);
    // A click through the X server, as a user's.
    static void click(QPoint at, int button = 1);
    static void key(const QString& keys);
    // Asks the window manager to close the window, as its frame's close button does.
    static void requestClose(qulonglong window);

private:
    static void stop(QProcess& process);
    QProcess m_windowManager;
    QProcess m_tray;
};
