#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

// A D-Bus session bus of one test's own, so that each start of the real program under
// test is the only VYRN on its bus, whatever other tests run beside it. No service is
// activated on it (no key store, no notification server unless the test brings one).
class PrivateSessionBus {
public:
    PrivateSessionBus();
    ~PrivateSessionBus();
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

    bool isRunning() const { return !m_address.isEmpty(); }
    QString address() const { return m_address; }
    // `environment` with this bus as the session bus.
    QProcessEnvironment environment(QProcessEnvironment environment) const;
    // Makes this the session bus of the test process itself. Called before the application
    // object exists, so that nothing starts a desktop service (a settings portal, a
    // notification server) whose name a fake of the test must own.
    void becomeThisProcessBus() const;

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_address;
};
