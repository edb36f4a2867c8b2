#include "update/UpdateChecker.h"

#include "base/Alerts.h"
#include "base/AppConstants.h"
#include "base/BuildInfo.h"
#include "base/Logger.h"
#include "base/NetworkReplies.h"
#include "base/WebAddress.h"
#include "settings/SettingsManager.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>
#include <QUrlQuery>
#include <QWindow>

#include <limits>

namespace {

// A standard integer parse: optional sign, ASCII digits only, the whole 64-bit range
// (down to -9223372036854775808, whose magnitude has no positive counterpart).
std::optional<qint64> parseComponent(QStringView piece) {
    qsizetype i = 0;
    bool negative = false;
    if (!piece.isEmpty() && (piece[0] == u'+' || piece[0] == u'-')) {
        negative = piece[0] == u'-';
        i = 1;
    }
    if (i == piece.size())
        return std::nullopt;
    const quint64 limit = quint64(std::numeric_limits<qint64>::max()) + (negative ? 1 : 0);
    quint64 magnitude = 0;
    for (; i < piece.size(); ++i) {
        const char16_t c = piece[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        const unsigned digit = c - u'0';
        if (magnitude > (limit - digit) / 10)
            return std::nullopt;
        magnitude = magnitude * 10 + digit;
    }
    if (!negative || magnitude == 0)
        return qint64(magnitude);
    return -qint64(magnitude - 1) - 1;
}

QList<qint64> versionComponents(const QString& version) {
    QList<qint64> components;
    for (QStringView piece : QStringView(version).split(u'.', Qt::SkipEmptyParts)) {
        if (const std::optional<qint64> value = parseComponent(piece))
            components.append(*value);
    }
    return components;
}

bool applicationHasWindow() {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return false;
    return !QGuiApplication::topLevelWindows().isEmpty();
}

} // namespace

UpdateChecker::UpdateChecker(SettingsManager& settings, AlertPresenter& alerts, QObject* parent)
    : QObject(parent), m_settings(settings), m_alerts(alerts),
      m_openUrl([](const QUrl& url) { QDesktopServices::openUrl(url); }),
      m_currentVersion(APP_SHORT_VERSION) {}

void UpdateChecker::check() {
    if (m_hasChecked)
        return;
    m_hasChecked = true;
    if (!serviceBaseURL(m_settings)) {
        logi(QStringLiteral("未配置更新服务：不检查更新"));
        return;
    }
    QTimer::singleShot(m_checkDelay, this, [this] { performCheck(); });
}

std::optional<QUrl> UpdateChecker::serviceBaseURL(const SettingsManager& settings) {
    const QString configured = settings.updateBaseURL().value_or(QStringLiteral(VYRN_UPDATE_BASE_URL_STRING));
    return webAddress(configured);
}

void UpdateChecker::performCheck() {
    std::optional<QUrl> url = serviceBaseURL(m_settings);
    if (!url) {
        Q_EMIT checkFinished();
        return;
    }
    QString path = url->path();
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    url->setPath(path + QStringLiteral("/api/update"));
    url->setFragment(QString());
    url->setQuery(QString());
    if (m_settings.telemetryEnabled()) {
        QUrlQuery query;
        query.addQueryItem(QStringLiteral("id"), m_settings.installID());
        url->setQuery(query);
    }

    QNetworkRequest request(*url);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("VYRN/") + m_currentVersion);
    request.setTransferTimeout(int(m_requestTimeout.count()));
    if (!m_network)
        m_network = new QNetworkAccessManager(this);
    QNetworkReply* reply = m_network->get(request);
    NetworkReplies::limitBodySize(reply); // cut off silently, like every other failure of the check
    connect(reply, &QNetworkReply::finished, this, [this, reply] { handleReply(reply); });
}

void UpdateChecker::handleReply(QNetworkReply* reply) {
    reply->deleteLater();
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (reply->error() != QNetworkReply::NoError || NetworkReplies::wasCutForSize(reply) ||
        !status.isValid() || status.toInt() != 200) {
        Q_EMIT checkFinished();
        return;
    }
    const std::optional<UpdateRecord> record = parseUpdateResponse(reply->readAll());
    if (!record) {
        Q_EMIT checkFinished();
        return;
    }
    const std::optional<QString> skipped = m_settings.skipUpdateVersion();
    if (!isNewer(record->version, m_currentVersion) || (skipped && *skipped == record->version)) {
        Q_EMIT checkFinished();
        return;
    }
    // The alert runs its own loop; let the reply finish unwinding first.
    QMetaObject::invokeMethod(
        this,
        [this, record] {
            showUpdateAlert(record->version, record->url);
            Q_EMIT checkFinished();
        },
        Qt::QueuedConnection);
}

std::optional<UpdateChecker::UpdateRecord> UpdateChecker::parseUpdateResponse(const QByteArray& data) {
    const QJsonDocument document = QJsonDocument::fromJson(data);
    if (!document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    const QJsonValue version = object.value(QLatin1String("version"));
    const QJsonValue url = object.value(QLatin1String("url"));
    if (!version.isString() || !url.isString())
        return std::nullopt;
    UpdateRecord record{version.toString(), url.toString()};
    if (record.version.startsWith(QLatin1Char('v')))
        record.version.remove(0, 1);
    if (record.version.isEmpty() || record.url.isEmpty() || !webAddress(record.url))
        return std::nullopt;
    return record;
}

bool UpdateChecker::isNewer(const QString& remote, const QString& local) {
    const QList<qint64> remoteParts = versionComponents(remote);
    const QList<qint64> localParts = versionComponents(local);
    const qsizetype count = std::max(remoteParts.size(), localParts.size());
    for (qsizetype i = 0; i < count; ++i) {
        const qint64 r = remoteParts.value(i, 0);
        const qint64 l = localParts.value(i, 0);
        if (r != l)
            return r > l;
    }
    return false;
}

void UpdateChecker::showUpdateAlert(const QString& version, const QString& url) {
    AlertRequest alert;
    alert.style = AlertRequest::Style::Informational;
    alert.messageText = QStringLiteral("发现新版本 v") + version;
    if (applicationHasWindow()) {
        alert.informativeText = QStringLiteral("当前版本：v") + m_currentVersion +
                                QStringLiteral("\n最新版本：v") + version +
                                QStringLiteral("\n\n点击「前往下载」打开下载页面。");
    } else {
        alert.informativeText =
            QStringLiteral("VYRN v") + version + QStringLiteral(" 已发布。前往下载页面获取最新版。");
    }
    alert.buttons = {QStringLiteral("前往下载"), QStringLiteral("跳过此版本"), QStringLiteral("稍后提醒")};
    m_alerts.open(alert, [self = QPointer<UpdateChecker>(this), version, url](int response) {
        if (self)
            self->handleAlertResult(response, version, url);
    });
}

void UpdateChecker::handleAlertResult(int response, const QString& version, const QString& url) {
    switch (response) {
    case DownloadButton: {
        std::optional<QUrl> target = webAddress(url);
        if (!target) {
            // Falls back to the service's home page.
            target = serviceBaseURL(m_settings);
            if (target)
                *target = target->resolved(QUrl(QStringLiteral("/")));
        }
        if (target)
            m_openUrl(*target);
        break;
    }
    case SkipVersionButton:
        m_settings.setSkipUpdateVersion(version);
        logi(QStringLiteral("跳过版本: v") + version);
        break;
    default:
        break;
    }
}
