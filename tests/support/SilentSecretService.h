#pragma once

#include "support/PrivateSessionBus.h"

#include <QProcess>
#include <QProcessEnvironment>

// A session bus of the test's own on which org.freedesktop.secrets is owned by a service
// that never answers, as a keyring waiting behind an unlock prompt that nobody sees.
class SilentSecretService {
public:
    SilentSecretService();
    ~SilentSecretService();
    SilentSecretService(const SilentSecretService&) = delete;
    SilentSecretService& operator=(const SilentSecretService&) = delete;

    bool isRunning() const { return m_running; }
    // `environment` with this bus as the session bus.
    QProcessEnvironment environment(QProcessEnvironment environment) const;

private:
    PrivateSessionBus m_bus;
    QProcess m_service;
    bool m_running = false;
};
