#pragma once

#include "base/AppRequest.h"

#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>

// An upgrade replaces the program on disk while VYRN runs, and the running instance goes on
// with the old one. When a newer `vyrn` starts and hands its request over, the running one
// makes way: as soon as no translation runs it ends and runs the newer program, which then
// does what that start asked. Main thread only.
class UpgradeRestart : public QObject {
    Q_OBJECT
public:
    // `busy`: a translation is running, or a window holds unsaved work.
    UpgradeRestart(QString ownVersion, QString ownBuild, std::function<bool()> busy);

    // True when `request` came from a newer version and is kept for it; the restart is then
    // due as soon as `busy` says no.
    bool take(const AppRequest& request);
    bool isDue() const { return m_due; }
    // The newer program (empty: this program's own file, which the upgrade replaced) and its
    // arguments, once due: the request it was started with.
    QString program() const { return m_program; }
    QStringList arguments() const;

    // "sender is newer than own": the version first, then the build number.
    static bool isNewer(const QString& version, const QString& build, const QString& ownVersion,
                        const QString& ownBuild);

Q_SIGNALS:
    // Once, when the event loop should end for the restart.
    void due();

private:
    void check();

    QString m_ownVersion;
    QString m_ownBuild;
    std::function<bool()> m_busy;
    QTimer m_poll;
    AppRequest m_request;
    QString m_program;
    bool m_pending = false;
    bool m_due = false;
};
