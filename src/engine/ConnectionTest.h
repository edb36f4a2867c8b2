#pragma once

#include "settings/AIProvider.h"

#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QString>

#include <chrono>
#include <optional>

class QNetworkAccessManager;
class SettingsManager;

// How a status line of the settings window reads: plain, or coloured for its outcome.
enum class StatusTone { secondary, success, warning, failure };

struct StatusMessage {
    QString text;
    StatusTone tone = StatusTone::secondary;
    bool operator==(const StatusMessage&) const = default;
};

// Why a key with a line break or other control character inside was neither sent nor stored.
StatusMessage unusableKeyStatus();

// "测试连接": the smallest chat request the provider accepts ("hi", one token), to the
// endpoint the translations use, with the key to be checked. One test at a time: a new one
// ends the previous without a report. Main thread.
class ConnectionTest : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds defaultTimeout{10000};

    explicit ConnectionTest(const SettingsManager& settings, QObject* parent = nullptr);
    ~ConnectionTest() override;

    // `key` as trimmed from the field. Returns what to show now: "测试中..." while the
    // request runs, or why nothing was sent.
    StatusMessage start(AIProvider provider, const QString& key, const std::optional<QString>& modelInput);
    // Ends the running test without a report.
    void cancel();
    bool isRunning() const { return !m_reply.isNull(); }

    // Time without any transfer after which a test fails.
    void setTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }

    // The report for an answer: its HTTP status when one arrived, else the network error;
    // nothing for an answer that is neither.
    static std::optional<StatusMessage> statusFor(QNetworkReply::NetworkError error,
                                                  std::optional<int> httpStatus);

Q_SIGNALS:
    void finished(const StatusMessage& status);

private:
    const SettingsManager& m_settings;
    QNetworkAccessManager* m_network = nullptr;
    QPointer<QNetworkReply> m_reply;
    std::chrono::milliseconds m_timeout = defaultTimeout;
};
