#include "base/NetworkReplies.h"

#include <QMetaEnum>

namespace NetworkReplies {

namespace {
const char cutForSizeProperty[] = "vyrnCutForSize";
}

void limitBodySize(QNetworkReply* reply) {
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64 total) {
        if ((received > maxBodyBytes || total > maxBodyBytes) && !wasCutForSize(reply)) {
            reply->setProperty(cutForSizeProperty, true);
            reply->abort();
        }
    });
}

bool wasCutForSize(const QNetworkReply* reply) {
    return reply->property(cutForSizeProperty).toBool();
}

bool isTransportError(QNetworkReply::NetworkError error) {
    return error > QNetworkReply::NoError && error <= QNetworkReply::UnknownNetworkError;
}

QString errorText(QNetworkReply::NetworkError error) {
    using E = QNetworkReply::NetworkError;
    switch (error) {
    case E::NoError:
        return QString();
    case E::ConnectionRefusedError:
        return QStringLiteral("连接被拒绝 (connection refused)");
    case E::RemoteHostClosedError:
        return QStringLiteral("服务器断开了连接 (remote host closed)");
    case E::HostNotFoundError:
        return QStringLiteral("找不到服务器，请检查网络和地址 (host not found)");
    case E::TimeoutError:
    // Qt ends a request that exceeded its transfer time-out as cancelled; a caller's own
    // cancels are silent and never ask for a text.
    case E::OperationCanceledError:
        return QStringLiteral("请求超时 (timeout)");
    case E::SslHandshakeFailedError:
        return QStringLiteral("安全连接失败 (SSL handshake failed)");
    case E::TemporaryNetworkFailureError:
    case E::NetworkSessionFailedError:
    case E::BackgroundRequestNotAllowedError:
        return QStringLiteral("网络不可用 (network unavailable)");
    case E::TooManyRedirectsError:
        return QStringLiteral("重定向次数过多 (too many redirects)");
    case E::InsecureRedirectError:
        return QStringLiteral("拒绝了不安全的重定向 (insecure redirect)");
    case E::ProxyConnectionRefusedError:
    case E::ProxyConnectionClosedError:
    case E::ProxyNotFoundError:
    case E::ProxyTimeoutError:
    case E::ProxyAuthenticationRequiredError:
    case E::UnknownProxyError:
        return QStringLiteral("代理服务器出错 (proxy error)");
    case E::ProtocolUnknownError:
    case E::ProtocolInvalidOperationError:
    case E::ProtocolFailure:
        return QStringLiteral("通信协议出错 (protocol error)");
    case E::UnknownNetworkError:
        return QStringLiteral("网络出错 (network error)");
    default:
        break;
    }
    // Errors that come with an HTTP status are reported by their status; this is a last resort.
    const char* name = QMetaEnum::fromType<QNetworkReply::NetworkError>().valueToKey(int(error));
    return QStringLiteral("网络出错 (") + (name ? QString::fromLatin1(name) : QString::number(int(error))) +
           QLatin1Char(')');
}

} // namespace NetworkReplies
