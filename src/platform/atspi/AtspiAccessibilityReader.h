#pragma once

#include "pipeline/AccessibilityReader.h"

#include <QElapsedTimer>
#include <QObject>
#include <QProcess>
#include <QTimer>

// Reads through AT-SPI in a helper process, vyrn-atspi-reader, started with VYRN. The
// helper's only thread owns its AT-SPI connection and follows the focus from then on.
//
// A process rather than a thread of VYRN: libatspi binds the direct connections it
// opens to applications to GLib's default main context, which Qt's main thread runs,
// so its state would be touched from two threads; it aborts its process (g_error) if
// the accessibility bus is gone at the wrong moment; and its calls block. Apart, none
// of that reaches VYRN: a helper that stops answering is killed and started again.
class AtspiAccessibilityReader : public QObject, public AccessibilityReader {
    Q_OBJECT
public:
    // The helper may take this much longer than the budget before it is given up.
    static constexpr std::chrono::milliseconds answerMargin{750};

    explicit AtspiAccessibilityReader(QString helperPath, QObject* parent = nullptr);
    ~AtspiAccessibilityReader() override;

    // Next to the program, else in the folder it was installed to.
    static QString defaultHelperPath();

    void read(qint64 pid, std::chrono::milliseconds budget, Done done) override;
    void cancel() override;
    bool isReady() const { return m_state == State::ready; }

private:
    enum class State { starting, ready, unavailable };
    struct Request {
        qint64 pid = 0;
        std::chrono::milliseconds budget{0};
        Done done;
    };
    void start();
    void send();
    void onOutput();
    void onFinished();
    void giveUp(const QString& reason, bool restart);
    void answer(std::optional<QString> text);

    QString m_helperPath;
    QProcess* m_process = nullptr;
    State m_state = State::starting;
    QString m_unavailableReason;
    QElapsedTimer m_lastStart;
    int m_quickExits = 0;
    bool m_incompatible = false;
    std::optional<Request> m_request;
    bool m_sent = false;
    quint64 m_requestId = 0;
    QTimer m_guard;
};
