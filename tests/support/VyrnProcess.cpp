#include "support/VyrnProcess.h"

#include <QTest>

#include <csignal>

QProcessEnvironment VyrnProcess::environment() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("OMP_THREAD_LIMIT"));
    environment.insert(QStringLiteral("ASAN_OPTIONS"),
                       environment.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":detect_leaks=0"));
    return environment;
}

VyrnProcess::VyrnProcess(const QProcessEnvironment& environment) {
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

VyrnProcess::~VyrnProcess() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool VyrnProcess::start(const QStringList& arguments) {
    m_process.start(QStringLiteral(VYRN_BINARY), arguments);
    return m_process.waitForStarted();
}

QString VyrnProcess::output() {
    m_output += QString::fromUtf8(m_process.readAllStandardOutput());
    return m_output;
}

bool VyrnProcess::waitFor(const QString& text, int times, int timeoutMs) {
    return QTest::qWaitFor([&] { return count(text) >= times; }, timeoutMs);
}

void VyrnProcess::signal(int signalNumber) {
    ::kill(pid_t(m_process.processId()), signalNumber);
}

bool VyrnProcess::waitForCleanExit() {
    if (!m_process.waitForFinished(20000) || m_process.exitStatus() != QProcess::NormalExit ||
        m_process.exitCode() != 0) {
        qWarning("vyrn: exit status %d, code %d", int(m_process.exitStatus()), m_process.exitCode());
        return false;
    }
    return output().endsWith(QStringLiteral(" VYRN 已退出\n"));
}

bool VyrnProcess::terminate() {
    signal(SIGTERM);
    return waitForCleanExit();
}

VyrnProcess::Finished VyrnProcess::run(const QStringList& arguments, const QProcessEnvironment& environment) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(VYRN_BINARY), arguments);
    Finished finished;
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished(5000);
        return finished;
    }
    finished.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    finished.output = QString::fromUtf8(process.readAllStandardOutput());
    finished.errors = QString::fromUtf8(process.readAllStandardError());
    return finished;
}
