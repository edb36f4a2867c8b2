#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>

// Real programs for the tests that run under Xvfb: started, found by window title,
// driven with xdotool, and ended when the test is done with them.
class DesktopProgram {
public:
    DesktopProgram(const QString& program, const QStringList& arguments,
                   const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());
    ~DesktopProgram();
    DesktopProgram(const DesktopProgram&) = delete;
    DesktopProgram& operator=(const DesktopProgram&) = delete;

    bool isRunning() const { return m_process.state() == QProcess::Running; }
    qint64 pid() const { return m_process.processId(); }
    // Waits (at most `timeoutMs`) for a line of standard output starting with `line`.
    bool waitForLine(const QByteArray& line, int timeoutMs = 10000);
    void write(const QByteArray& data);

private:
    QProcess m_process;
    QByteArray m_output;
};

namespace Desktop {

// Runs xdotool with `arguments`; its standard output, trimmed; empty on failure.
QString xdotool(const QStringList& arguments, int timeoutMs = 15000);
// The id of the first window whose title is `title`, waiting for it to appear; 0 when none.
quint32 waitForWindow(const QString& title, int timeoutMs = 15000);
// Raises and focuses the window, and waits until it has the focus.
bool activate(quint32 window);
// Whether a window manager runs (EWMH _NET_SUPPORTING_WM_CHECK on the root).
bool hasWindowManager();
// Whether the accessibility bus is there (at-spi-bus-launcher registered on the session bus).
bool hasAccessibilityBus();
// Empties the CLIPBOARD and PRIMARY selections.
void clearSelections();

} // namespace Desktop
