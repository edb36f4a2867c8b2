#pragma once

#include <QPoint>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>

// A real program beside the one under test: started, its lines awaited, and ended when the
// test is done with it.
class DesktopProgram {
public:
    DesktopProgram(const QString& program, const QStringList& arguments,
                   const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());
    ~DesktopProgram();
    DesktopProgram(const DesktopProgram&) = delete;
    DesktopProgram& operator=(const DesktopProgram&) = delete;

    bool isRunning() const { return m_process.state() == QProcess::Running; }
    qint64 pid() const { return m_process.processId(); }
    // Waits for a line of standard output starting with `line`; false once the program ended.
    bool waitForLine(const QByteArray& line, int timeoutMs = 10000);
    void write(const QByteArray& data);

private:
    QProcess m_process;
    QByteArray m_output;
};

// What a desktop gives the programs under test: a window manager (focus, stacking,
// _NET_ACTIVE_WINDOW), a system tray, the accessibility bus, and a user's keys and clicks.
// Stops what it started.
class X11Desktop {
public:
    ~X11Desktop();
    // Openbox, unless a window manager already runs; true once one manages the screen.
    bool startWindowManager();
    // A tray at the top right of the screen, of a fixed width so that icons do not move
    // as others dock; the caller waits until programs see it.
    bool startTray();

    static bool hasWindowManager();
    // The accessibility bus launcher is registered on the session bus.
    static bool hasAccessibilityBus();
    // Runs a command-line tool to its end and gives its standard output, trimmed.
    static QString run(const QString& program, const QStringList& arguments);
    static QString xdotool(const QStringList& arguments) { return run(QStringLiteral("xdotool"), arguments); }
    // The window the window manager says is active, 0 when none.
    static qulonglong activeWindow();
    // The visible windows of a process, or with a title matching a regular expression.
    static QList<qulonglong> windowsOf(qint64 pid);
    static QList<qulonglong> windowsNamed(const QString& pattern);
    // The first window titled exactly `title`, once it shows; 0 when none did.
    static qulonglong waitForWindow(const QString& title);
    // Raises and focuses the window, and waits until it has the focus.
    static bool activate(qulonglong window);
    static QString windowName(qulonglong window);
    static QRect geometryOf(qulonglong window);
    // One of the process's alerts is on screen: a window titled with the program's name
    // that is wider than its tray icon.
    static bool showsAlert(qint64 pid);
    // The window manager has framed the window, so its focus decision is made.
    static bool isManaged(qulonglong window);
    // Another client could take the keyboard (and the pointer) now: nobody holds them.
    static bool inputIsFree(bool pointerToo = false);
    // A click and keys through the X server, as a user's.
    static void click(QPoint at, int button = 1);
    static void key(const QString& keys);
    // Asks the window manager to close the window, as its frame's close button does.
    static void requestClose(qulonglong window);
    // Empties the CLIPBOARD and PRIMARY selections.
    static void clearSelections();

private:
    static void stop(QProcess& process);
    QProcess m_windowManager;
    QProcess m_tray;
};
