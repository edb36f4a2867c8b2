#pragma once

#include "base/Alerts.h"
#include "settings/AIProvider.h"
#include "settings/KeyWait.h"

#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>

#include <chrono>
#include <functional>
#include <mutex>
#include <optional>

class QNetworkAccessManager;

// What has arrived so far of an answer still streaming. Main thread.
struct AnswerProgress {
    QString answer;             // the answer's content so far, whole (not a delta)
    bool reasoningOnly = false; // nothing of the answer yet, but the model is reasoning
};
using Progress = std::function<void(const AnswerProgress&)>;
class SettingsManager;
class QNetworkReply;

// The chat-completions client: one English text in, the model's Markdown answer out.
// At most one request is in flight; a newer translation or cancelCurrentTask() ends
// the older request silently. Network work lives on the main thread.
class TranslationEngine : public QObject {
public:
    // How a translation ended:
    // - success: the model's answer;
    // - failure: the details are in the log, and reason() names the cause in one line for the
    //   user (a network error, the HTTP status); what to tell the user is the caller's choice;
    // - missingKey: no API key is configured; the engine has shown its alert;
    // - keyStoreUnavailable: the key store (the desktop's keyring) could not be asked, for
    //   example while it is locked; the engine has shown its alert;
    // - keyRefused: the service refused the key (401, 403); the engine has shown its alert.
    // After the last three the caller shows nothing more (see userWasTold()).
    class Outcome {
    public:
        enum class Kind { success, failure, missingKey, keyStoreUnavailable, keyRefused, interrupted };
        Outcome() = default; // a failure
        static Outcome success(const QString& text, bool truncated = false) {
            Outcome outcome(Kind::success, text);
            outcome.m_truncated = truncated;
            return outcome;
        }
        static Outcome interrupted(const QString& partialAnswer, const QString& reason) {
            Outcome outcome(Kind::interrupted, partialAnswer);
            outcome.m_reason = reason;
            return outcome;
        }
        bool truncated() const { return m_truncated; }
        static Outcome failure(const QString& reason = {}) { return Outcome(Kind::failure, reason); }
        static Outcome missingKey() { return Outcome(Kind::missingKey, {}); }
        static Outcome keyStoreUnavailable() { return Outcome(Kind::keyStoreUnavailable, {}); }
        static Outcome keyRefused() { return Outcome(Kind::keyRefused, {}); }
        Kind kind() const { return m_kind; }
        // True when the engine has already explained the failure to the user in an alert.
        bool userWasTold() const {
            return m_kind != Kind::success && m_kind != Kind::failure && m_kind != Kind::interrupted;
        }
        // The answer of a success, as returned (may be empty).
        const QString& text() const { return m_text; }
        // Why a failure happened and what to do, e.g. "连接被拒绝 (connection refused)" or
        // "服务繁忙或已达到调用频率上限 (HTTP 429)，请稍后再试".
        QString reason() const {
            return m_kind == Kind::failure ? m_text : m_kind == Kind::interrupted ? m_reason : QString();
        }
        bool operator==(const Outcome&) const = default;

    private:
        Outcome(Kind kind, const QString& text) : m_kind(kind), m_text(text) {}
        Kind m_kind = Kind::failure;
        QString m_text;
        QString m_reason;
        bool m_truncated = false;
    };
    using Completion = std::function<void(Outcome)>;

    // `openSettings` is offered in the alert about a missing key. Lives on the main thread.
    TranslationEngine(SettingsManager& settings, AlertPresenter& alerts, std::function<void()> openSettings);
    ~TranslationEngine() override;

    // Returns at once; callable from any thread. `completion` runs at most once: never
    // for a cancelled request, synchronously on the calling thread for a failure found
    // before anything is sent, on the main thread otherwise. `stillWanted`, when given, is
    // asked on the main thread right before sending: false drops the request silently, as
    // a cancel does, so a caller on a worker cannot lose a race with its own cancel. A slow key
    // store is waited for as `wait` says (a keyring being unlocked); once `stillWanted` says
    // false meanwhile, nothing more happens.
    void translate(const QString& text, Completion completion, std::function<bool()> stillWanted = {},
                   KeyWait wait = {}, Progress progress = {});

    // The request in flight, or null. Main thread only.
    QNetworkReply* currentTask() const;
    // Ends the request in flight, and one about to start, without a report. Any thread.
    void cancelCurrentTask();

    // "Bearer " + key, or nothing when the key holds a line break or other control
    // character, which must never reach a header.
    static std::optional<QByteArray> authorizationValue(const QString& key);

    static QJsonObject chatBody(AIProvider provider, const QString& model,
                                const QList<QMap<QString, QString>>& messages);

    static constexpr std::chrono::milliseconds defaultTimeout{120000};
    // Time without any transfer after which a request fails. For tests.
    void setTimeoutForTesting(std::chrono::milliseconds timeout);

private:
    struct PreparedRequest;

    void start(const PreparedRequest& prepared);
    void abortCurrentTask(quint64 upToGeneration);
    void finish(QNetworkReply* reply, AIProvider provider, const Completion& completion);
    void presentMissingKey(AIProvider provider, Completion completion);
    void presentKeyStoreUnavailable(AIProvider provider, Completion completion);
    void presentKeyRefused(AIProvider provider, int status, Completion completion);
    // An answer of any status but 200: a line for the log, and what the user is to do.
    void failWithStatus(const QNetworkReply& reply, AIProvider provider, int status, const QByteArray& body,
                        const Completion& completion);
    // The answer of an alert whose first button is "打开偏好设置".
    AlertAnswer settingsButton();
    // On the main thread: opens `alert`, then completes with `outcome`.
    void tellUser(const AlertRequest& alert, AlertAnswer onAnswer, Outcome outcome, Completion completion);

    SettingsManager& m_settings;
    AlertPresenter& m_alerts;
    std::function<void()> m_openSettings;
    QNetworkAccessManager* m_network = nullptr; // created on the main thread
    QPointer<QNetworkReply> m_currentTask;
    quint64 m_currentTaskGeneration = 0;

    // Translations and cancels are numbered as they are asked for, on any thread, so
    // that a request which has not reached the main thread yet can still lose.
    mutable std::mutex m_generationLock;
    quint64 m_latestGeneration = 0;
    std::chrono::milliseconds m_timeout = defaultTimeout;
};
