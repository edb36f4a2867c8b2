#pragma once

#include <QObject>

#include <csignal>
#include <initializer_list>

class QSocketNotifier;

// Turns SIGINT/SIGTERM into a queued Qt signal on the main thread (self-pipe), so
// that a terminal's Ctrl+C or a session logout quits through the normal exit path.
class UnixSignalWatcher : public QObject {
    Q_OBJECT
public:
    explicit UnixSignalWatcher(std::initializer_list<int> signalNumbers, QObject* parent = nullptr);
    ~UnixSignalWatcher() override;

Q_SIGNALS:
    void received(int signalNumber);

private:
    static void handler(int signalNumber);
    void drain();

    QSocketNotifier* m_notifier = nullptr;
    static int s_pipe[2];
};
