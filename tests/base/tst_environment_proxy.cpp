#include "base/EnvironmentProxy.h"
#include "support/LocalHttpServer.h"
#include "support/TestEnvironment.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTest>

class TestEnvironmentProxy : public QObject {
    Q_OBJECT
    TestEnvironment env;

    static QProcessEnvironment environment(const QString& variables) {
        QProcessEnvironment environment;
        for (const QString& variable : variables.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            environment.insert(variable.section(QLatin1Char('='), 0, 0),
                               variable.section(QLatin1Char('='), 1));
        return environment;
    }

private Q_SLOTS:
    void choosesTheProxy_data() {
        QTest::addColumn<QString>("variables");
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("proxy"); // empty: direct
        const char* both = "https_proxy=http://secure.lan:3128 http_proxy=plain.lan:8080 "
                           "no_proxy=example.com,.corp.lan,10.0.0.0/8";
        const char* rows[][4] = {
            {"https", both, "https://api.deepseek.com/chat", "http secure.lan:3128"},
            {"http, no scheme", both, "http://updates.vyrn.app/", "http plain.lan:8080"},
            {"no_proxy domain", both, "https://api.example.com/", ""},
            {"no_proxy is no mere suffix", both, "https://notexample.com/", "http secure.lan:3128"},
            {"no_proxy leading dot", both, "https://corp.lan/", ""},
            {"no_proxy range", both, "https://10.2.3.4/", ""},
            {"upper case, lower first", "HTTPS_PROXY=upper:1 https_proxy=lower:2", "https://a.com/",
             "http lower:2"},
            {"all_proxy, socks", "ALL_PROXY=socks5h://me:pw@socks.lan", "http://a.com/",
             "socks5 me@socks.lan:1080"},
            {"no_proxy star", "all_proxy=p:1 NO_PROXY=*", "https://a.com/", ""},
            {"loopback address", "all_proxy=p:1", "http://127.0.0.2:8080/", ""},
            {"localhost", "all_proxy=p:1", "https://api.localhost/", ""},
            {"a proxy Qt cannot speak", "https_proxy=https://tls.lan", "https://a.com/", ""},
        };
        for (const auto& row : rows)
            QTest::newRow(row[0]) << QString(row[1]) << QString(row[2]) << QString(row[3]);
    }

    void choosesTheProxy() {
        QFETCH(QString, variables);
        QFETCH(QString, url);
        QFETCH(QString, proxy);
        const QNetworkProxy chosen = EnvironmentProxy(environment(variables)).proxyFor(QUrl(url));
        QString described;
        if (chosen.type() != QNetworkProxy::NoProxy)
            described = QLatin1String(chosen.type() == QNetworkProxy::Socks5Proxy ? "socks5 " : "http ") +
                        (chosen.user().isEmpty() ? QString() : chosen.user() + QLatin1Char('@')) +
                        chosen.hostName() + QLatin1Char(':') + QString::number(chosen.port());
        QCOMPARE(described, proxy);
    }

    // A real request to a host only the proxy knows, and one to a loopback address, which goes
    // direct. The local server plays the proxy: it records the target each request names.
    void requestsTakeIt() {
        LocalHttpServer proxy;
        const QString address = QStringLiteral("127.0.0.1:%1").arg(proxy.port());
        QNetworkProxyFactory::setApplicationProxyFactory(
            new EnvironmentProxy(environment("http_proxy=" + address)));
        QNetworkAccessManager network;
        for (const QString& url :
             {QStringLiteral("http://chat.vyrn.test/v1"), "http://" + address + "/direct"}) {
            std::unique_ptr<QNetworkReply> reply(network.get(QNetworkRequest(QUrl(url))));
            QTRY_VERIFY(reply->isFinished());
            QCOMPARE(reply->error(), QNetworkReply::NoError);
        }
        const QList<LocalHttpServer::Request> requests = proxy.requests();
        QCOMPARE(requests.size(), 2);
        QCOMPARE(requests[0].path, "http://chat.vyrn.test/v1");
        QCOMPARE(requests[1].path, "/direct");
    }
};

QTEST_GUILESS_MAIN(TestEnvironmentProxy)
#include "tst_environment_proxy.moc"
