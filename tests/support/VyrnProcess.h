#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// The real program under test. Its standard output (the log's echo) is collected as it
// comes, so a test can wait for lines and count them.
class VyrnProcess {
public:
    // The test's environment without leak checking in the child (Qt's plugins leak after
    // they are unloaded, with stacks no suppression can name) and without OMP_THREAD_LIMIT,
    // as a desktop starts it.
    static QProcessEnvironment environment();

    explicit VyrnProcess(const QProcessEnvironment& environment = VyrnProcess::environment());
    ~VyrnProcess();

    bool start(const QStringList& arguments = {});
    // Started, and through its start-up ("就绪" in its output).
    bool startReady(const QStringList& arguments = {}) {
        return start(arguments) && waitFor(QStringLiteral(" 就绪 — "));
    }
    qint64 pid() const { return m_process.processId(); }
    QString output();
    int count(const QString& text) { return int(output().count(text)); }
    // Until `text` has appeared `times` times.
    bool waitFor(const QString& text, int times = 1, int timeoutMs = 30000);
    void signal(int signalNumber);
    // Exit 0 after "VYRN 已退出" as the last line.
    bool waitForCleanExit();
    // SIGTERM, as a session ends, and a clean exit.
    bool terminate();
    QProcess& process() { return m_process; }

    struct Finished {
        int exitCode = -1;
        QString output;
        QString errors;
    };
    // Runs `vyrn arguments` to its end.
    static Finished run(const QStringList& arguments, const QProcessEnvironment& environment);

private:
    QProcess m_process;
    QString m_output;
};
