#include "engine/ResponseParser.h"

#include <QTest>

#include <optional>

Q_DECLARE_METATYPE(std::optional<QString>)
Q_DECLARE_METATYPE(ServiceError)

class TestResponseParser : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void parse_data() {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<std::optional<QString>>("expected");
        const std::optional<QString> none;

        QTest::newRow("answer, not trimmed, escapes decoded")
            << QByteArray(
                   R"({"choices":[{"message":{"role":"assistant","content":"  a\nb\u00e9\ud83d\ude00  "}}]})")
            << std::optional(QStringLiteral("  a\nbé😀  "));
        QTest::newRow("empty content")
            << QByteArray(R"({"choices":[{"message":{"content":""}}]})") << std::optional(QString());
        QTest::newRow("only the first choice, other members ignored")
            << QByteArray(R"({"id":1,"usage":null,"choices":[{"index":0,"message":{"content":"one"},"x":[]},)"
                          R"({"message":{"content":"two"}}]})")
            << std::optional(QStringLiteral("one"));
        QTest::newRow("not JSON") << QByteArray("<html>502</html>") << none;
        QTest::newRow("invalid UTF-8")
            << QByteArray("{\"choices\":[{\"message\":{\"content\":\"\xff\xfe\"}}]}") << none;
        QTest::newRow("no choices") << QByteArray(R"({"error":{"message":"quota"}})") << none;
        QTest::newRow("empty choices") << QByteArray(R"({"choices":[]})") << none;
        QTest::newRow("a later choice not an object")
            << QByteArray(R"({"choices":[{"message":{"content":"a"}},null]})") << none;
        QTest::newRow("message is text") << QByteArray(R"({"choices":[{"message":"a"}]})") << none;
        QTest::newRow("null content") << QByteArray(R"({"choices":[{"message":{"content":null}}]})") << none;
    }

    void parse() {
        QFETCH(QByteArray, data);
        QFETCH(std::optional<QString>, expected);
        QCOMPARE(ResponseParser::parse(data), expected);
    }

    // 401 and 402 are the engine's.
    void parseError_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<ServiceError>("expected");
        using K = ServiceError::Kind;
        QTest::newRow("403, no body") << 403 << QByteArray() << ServiceError{K::keyRefused, {}};
        QTest::newRow("400, unpaid") << 400
                                     << QByteArray(R"({"error":{"message":"Denied","code":"Arrearage"}})")
                                     << ServiceError{K::balance, QStringLiteral("Denied")};
        QTest::newRow("429, used up") << 429 << QByteArray(R"({"error":{"type":"insufficient_quota"}})")
                                      << ServiceError{K::balance, {}};
        QTest::newRow("429") << 429 << QByteArray(R"({"error":{"message":"Rate limit","code":429}})")
                             << ServiceError{K::rateLimited, QStringLiteral("Rate limit")};
        QTest::newRow("503, HTML") << 503 << QByteArray("<html>busy</html>")
                                   << ServiceError{K::serviceFailed, {}};
        QTest::newRow("400, error as text") << 400 << QByteArray(R"({"error":"bad model"})")
                                            << ServiceError{K::other, QStringLiteral("bad model")};
    }

    void parseError() {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(ServiceError, expected);
        QCOMPARE(ResponseParser::parseError(status, body), expected);
    }
};

QTEST_APPLESS_MAIN(TestResponseParser)
#include "tst_response_parser.moc"
