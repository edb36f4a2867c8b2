#pragma once

#include <QNetworkProxyFactory>
#include <QProcessEnvironment>
#include <QStringList>

// The proxy every request of the program takes, chosen as curl and most Linux programs do
// from the environment: `https_proxy` for https, `http_proxy` for http, `all_proxy` for
// either when those are unset (each also in upper case, lower case first); `no_proxy` lists
// host names and domains (".example.com" and "example.com" both cover sub.example.com),
// addresses, or "*" for none. A proxy address without a scheme is an HTTP proxy;
// "socks5://" and "socks5h://" are SOCKS 5. Loopback hosts always go direct.
//
//   QNetworkProxyFactory::setApplicationProxyFactory(new EnvironmentProxy); // once, at start
class EnvironmentProxy : public QNetworkProxyFactory {
public:
    explicit EnvironmentProxy(
        const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());

    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery& query) override;
    QNetworkProxy proxyFor(const QUrl& url) const;

private:
    bool bypasses(const QString& host) const;

    QNetworkProxy m_https;
    QNetworkProxy m_http;
    QStringList m_noProxy; // lower case, without a leading "." or "*."
};
