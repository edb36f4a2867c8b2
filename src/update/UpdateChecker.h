#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

#include <chrono>
#include <functional>
#include <optional>

class QByteArray;
class AlertPresenter;
class SettingsManager;
class QNetworkAccessManager;
class QNetworkReply;

// Once per launch, asks the update service whether a newer version exists and
// offers to open its download page. With the user's consent the request carries
// the installation's anonymous identifier; nothing else is sent. Every failure is
// silent: a missed update check is not worth a word to the user. Main thread only.
class UpdateChecker : public QObject {
    Q_OBJECT
public:
    struct UpdateRecord {
        QString version; // without a leading "v"
        QString url;
    };
    // Button indexes of the update alert.
    enum AlertResponse { DownloadButton = 0, SkipVersionButton = 1, RemindLaterButton = 2 };
    using UrlOpener = std::function<void(const QUrl&)>;

    UpdateChecker(SettingsManager& settings, AlertPresenter& alerts, QObject* parent = nullptr);

    bool hasChecked() const { return m_hasChecked; }
    // Schedules the one check of this run, when an update service is configured; later
    // calls do nothing.
    void check();
    void performCheck();

    static std::optional<UpdateRecord> parseUpdateResponse(const QByteArray& data);
    // Dot-separated integers compared in order, missing components counting as 0.
    static bool isNewer(const QString& remote, const QString& local);

    void showUpdateAlert(const QString& version, const QString& url);
    void handleAlertResult(int response, const QString& version, const QString& url);

    // The preference `kavelin.updateBaseURL` when set, else the address given at build time
    // (none by default); nothing unless it is an http(s) address with a host.
    static std::optional<QUrl> serviceBaseURL(const SettingsManager& settings);

    // Test hooks.
    void setCheckDelay(std::chrono::milliseconds delay) { m_checkDelay = delay; }
    void setRequestTimeout(std::chrono::milliseconds timeout) { m_requestTimeout = timeout; }
    void setUrlOpener(UrlOpener opener) { m_openUrl = std::move(opener); }
    void setCurrentVersion(const QString& version) { m_currentVersion = version; }

Q_SIGNALS:
    // A check has run to its end: failed, found nothing, or its alert was answered.
    void checkFinished();

private:
    void handleReply(QNetworkReply* reply);

    SettingsManager& m_settings;
    AlertPresenter& m_alerts;
    bool m_hasChecked = false;
    std::chrono::milliseconds m_checkDelay{3000};
    std::chrono::milliseconds m_requestTimeout{10000};
    UrlOpener m_openUrl;
    QString m_currentVersion; // APP_SHORT_VERSION unless a test sets another
    QNetworkAccessManager* m_network = nullptr;
};
