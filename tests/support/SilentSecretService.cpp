#include "support/SilentSecretService.h"

SilentSecretService::SilentSecretService() {
    if (!m_bus.isRunning())
        return;
    m_service.setProcessEnvironment(m_bus.environment(QProcessEnvironment::systemEnvironment()));
    m_service.start(QStringLiteral(VYRN_SILENT_SECRET_SERVICE), {});
    m_running = m_service.waitForReadyRead(20000) && m_service.readAll() == "ready\n";
}

SilentSecretService::~SilentSecretService() {
    m_service.kill();
    m_service.waitForFinished();
}

QProcessEnvironment SilentSecretService::environment(QProcessEnvironment environment) const {
    return m_bus.environment(std::move(environment));
}
