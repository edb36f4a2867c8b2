#include "support/X11Desktop.h"

#include <QDeadlineTimer>
#include <QTest>

namespace {
bool windowManagerRuns() {
    const QString check = X11Desktop::run(
        QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")});
    const QString id = check.section(QLatin1Char('#'), 1).trimmed();
    // A window manager that went away may leave the property behind: its window must exist.
    return !id.isEmpty() && X11Desktop::run(QStringLiteral("xprop"),
                                            {QStringLiteral("-id"), id, QStringLiteral("_NET_WM_NAME")})
                                .contains(QLatin1Char('='));
}
} // namespace

X11Desktop::~X11Desktop() {
    stop(m_tray);
    stop(m_windowManager);
}

void X11Desktop::stop(QProcess& process) {
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000))
        process.kill();
    process.waitForFinished(5000);
}

bool X11Desktop::startWindowManager() {
    if (windowManagerRuns())
        return true;
    m_windowManager.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_windowManager.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
    if (!m_windowManager.waitForStarted())
        return false;
    for (QDeadlineTimer deadline(10000); !windowManagerRuns(); QTest::qWait(50)) {
        if (deadline.hasExpired())
            return false;
    }
    return true;
}

bool X11Desktop::startTray() {
    m_tray.start(QStringLiteral("trayer"),
                 {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                  QStringLiteral("right"), QStringLiteral("--widthtype"), QStringLiteral("request"),
                  QStringLiteral("--height"), QStringLiteral("24"), QStringLiteral("--SetDockType"),
                  QStringLiteral("true"), QStringLiteral("--transparent"), QStringLiteral("false")});
    return m_tray.waitForStarted();
}

void X11Desktop::stopTray() {
    stop(m_tray);
}

QString X11Desktop::run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(10000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

qulonglong X11Desktop::activeWindow() {
    return run(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")}).toULongLong();
}

QList<qulonglong> X11Desktop::windowsOf(qint64 pid) {
    QList<qulonglong> windows;
    const QString found =
        run(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                        QStringLiteral("--pid"), QString::number(pid)});
    for (const QString& line : found.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        windows.append(line.toULongLong());
    return windows;
}
