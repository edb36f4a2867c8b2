#pragma once

#include "base/Alerts.h"
#include "engine/ChatStreamReader.h"
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
#include <memory>
#include <mutex>
#include <optional>

class QNetworkAccessManager;
class SettingsManager;
class QNetworkReply;
class QTimer;

// The chat-completions client: one English text in, the model's Markdown answer out.
// At most one request is in flight; a newer translation or cancelCurrentTask() ends
// the older request silently. Network work lives on the main thread.
class TranslationEngine : public QObject {
public:
    // How a translation ended:
    // - success: the model's answer; truncated() when the service cut it at its length limit;
    // - interrupted: the answer broke off after part of it had arrived: text() is that part,
    //   reason() why it broke off;
    // - failure: the details are in the log, and reason() names the cause in one line for the
    //   user (a network error, the HTTP status); what to tell the user is the caller's choice;
    // - missingKey: no API key is configured; the engine has shown its alert;
    // - keyStoreUnavailable: the key store (the desktop's keyring) could not be asked, for
    //   example while it is locked; the engine has shown its alert;
    // - keyRefused: the service refused the key (401, 403); the engine has shown its alert.
    // After the last three the caller shows nothing more (see userWasTold()).
    class Outcome {
    public:
        enum class Kind { success, interrupted, failure, missingKey, keyStoreUnavailable, keyRefused };
        Outcome() = default; // a failure
        static Outcome success(const QString& text, bool truncated = false) {
            Outcome outcome(Kind::success, text, {});
            outcome.m_truncated = truncated;
            return outcome;
        }
        static Outcome interrupted(const QString& partialAnswer, const QString& reason) {
            return Outcome(Kind::interrupted, partialAnswer, reason);
        }
        static Outcome failure(const QString& reason = {}) { return Outcome(Kind::failure, {}, reason); }
        static Outcome missingKey() { return Outcome(Kind::missingKey, {}, {}); }
        static Outcome keyStoreUnavailable() { return Outcome(Kind::keyStoreUnavailable, {}, {}); }
        static Outcome keyRefused() { return Outcome(Kind::keyRefused, {}, {}); }
        Kind kind() const { return m_kind; }
        // True when the engine has already explained the failure to the user in an alert.
        bool userWasTold() const {
            return m_kind != Kind::success && m_kind != Kind::interrupted && m_kind != Kind::failure;
        }
        // The answer of a success, as returned (may be empty), or what arrived of an interrupted one.
        const QString& text() const { return m_text; }
        // The service ended the answer at its length limit: what follows the text is missing.
        bool truncated() const { return m_truncated; }
        // Why a failure or an interruption happened and what to do, e.g. "连接被拒绝 (connection
        // refused)" or "服务繁忙或已达到调用频率上限 (HTTP 429)，请稍后再试".
        const QString& reason() const { return m_reason; }
        bool operator==(const Outcome&) const = default;

    private:
        Outcome(Kind kind, const QString& text, const QString& reason)
            : m_kind(kind), m_text(text), m_reason(reason) {}
        Kind m_kind = Kind::failure;
        QString m_text;
        QString m_reason;
        bool m_truncated = false;
    };
    using Completion = std::function<void(Outcome)>;

    // What has arrived so far of an answer still streaming. Main thread.
    struct AnswerProgress {
        QString answer;             // the answer's content so far, whole (not a delta)
        bool reasoningOnly = false; // nothing of the answer yet, but the model is reasoning
    };
    using Progress = std::function<void(const AnswerProgress&)>;

    // Limits for an answer sent piece by piece. Only pieces of the answer or of the model's
    // reasoning count: keep-alive comments would otherwise hold a dead answer open forever.
    // An answer sent whole is its own first piece.
    struct StreamTimeLimits {
        std::chrono::milliseconds firstPiece{60000}; // request sent -> first piece
        std::chrono::milliseconds silence{30000};    // between pieces
        std::chrono::milliseconds overall{300000};   // the whole answer
    };

    // `openSettings` is offered in the alert about a missing key. Lives on the main thread.
    TranslationEngine(SettingsManager& settings, AlertPresenter& alerts, std::function<void()> openSettings);
    ~TranslationEngine() override;

    // Returns at once; callable from any thread. `completion` runs at most once: never
    // for a cancelled request, synchronously on the calling thread for a failure found
    // before anything is sent, on the main thread otherwise. `stillWanted`, when given, is
    // asked on the main thread right before sending: false drops the request silently, as
    // a cancel does, so a caller on a worker cannot lose a race with its own cancel. A slow key
    // store is waited for as `wait` says (a keyring being unlocked); once `stillWanted` says
    // false meanwhile, nothing more happens. `progress` runs on the main thread after each
    // network read that brought more of the answer, or the first reasoning, never after
    // `completion` nor after a cancel; it may cancel.
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

    void setTimeLimitsForTesting(StreamTimeLimits limits);

private:
    struct PreparedRequest;
    struct Answer;
    enum class TimeLimit { firstPiece, silence, overall };

    void start(const PreparedRequest& prepared);
    void abortCurrentTask(quint64 upToGeneration);
    // Detaches the reply in flight from the engine and ends it, or lets its body end when
    // `letBodyEnd`; returns what was read of it.
    std::unique_ptr<Answer> dropCurrentTask(bool letBodyEnd = false);
    void read(QNetworkReply* reply);
    // Adds what a read brought and reports it; false when the report cancelled the request.
    bool absorb(QNetworkReply* reply, const ChatStreamReader::Update& update);
    // `update` is the read that ended the stream, if one did.
    void finish(QNetworkReply* reply, ChatStreamReader::Update update = {});
    void exceedTimeLimit(TimeLimit limit);
    // Ends the answer being read with `reason`: an interruption when part of it arrived.
    static void breakOff(const Answer& answer, const QString& logLine, const QString& reason);
    static void succeed(const Answer& answer, const QString& text, const QString& finishReason);
    // An `error` object inside a stream (`status` 0), or a status error: what the user is
    // told, or nothing when the engine tells the user itself (a refused key).
    static std::optional<QString> serviceReason(const ServiceError& error, AIProvider provider, int status);
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
    std::unique_ptr<Answer> m_answer; // of m_currentTask
    QTimer* m_pieceTimer = nullptr;   // first piece, then silence
    QTimer* m_overallTimer = nullptr;
    StreamTimeLimits m_taskLimits; // of m_currentTask

    // Translations and cancels are numbered as they are asked for, on any thread, so
    // that a request which has not reached the main thread yet can still lose.
    mutable std::mutex m_generationLock;
    quint64 m_latestGeneration = 0;
    StreamTimeLimits m_limits;
};
