#include "engine/ChatStreamReader.h"

#include <QTest>

using Update = ChatStreamReader::Update;
using Failure = ChatStreamReader::Failure;
Q_DECLARE_METATYPE(Update)

namespace {

QByteArray chunk(const char* delta, const char* finishReason = nullptr) {
    return QByteArray("data: {\"choices\":[{\"delta\":") + delta + ",\"finish_reason\":" +
           (finishReason ? QByteArray("\"") + finishReason + '"' : QByteArray("null")) + "}]}\n\n";
}

// Everything the reads brought, as one update.
Update readAll(const QList<QByteArray>& reads) {
    ChatStreamReader reader;
    Update all;
    for (qsizetype i = 0; i <= reads.size(); ++i) {
        all.append(i < reads.size() ? reader.feed(reads[i]) : reader.finish());
    }
    return all;
}

Update complete(const QString& content, const QString& finishReason, bool reasoning = false) {
    return Update{content, reasoning, finishReason, true, std::nullopt};
}

Update failed(const QString& content, Failure::Kind kind, const ServiceError& error = {}) {
    return Update{content, false, {}, false, Failure{kind, error}};
}

} // namespace

class TestChatStreamReader : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void read_data() {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<Update>("expected");
        const QByteArray partial = chunk(R"({"content":"部分"})");
        QTest::newRow("pieces in order, comments and keep-alives, nothing after [DONE]")
            << ": hello\n\n" + chunk(R"({"role":"assistant","content":""})") + "\r\n" +
                   QByteArray(chunk(R"({"content":"你好"})") + chunk(R"({"content":"，世界😀"})"))
                       .replace("\n\n", "\r\n\r\n") +
                   ":\n\nevent: x\n" + chunk("{}", "stop") + "data: [DONE]\n\n" + partial
            << complete(u"你好，世界😀"_qs, u"stop"_qs);
        QTest::newRow("reasoning first, cut at the length limit, no [DONE]")
            << chunk(R"({"reasoning_content":"想"})") + chunk(R"({"content":"答"})") + chunk("{}", "length")
            << complete(u"答"_qs, u"length"_qs, true);
        QTest::newRow("error event halfway")
            << partial + "event: error\ndata: {\"error\":{\"message\":\"overloaded\"}}\n\n" + partial
            << failed(u"部分"_qs, Failure::Kind::service, {ServiceError::Kind::other, u"overloaded"_qs});
        QTest::newRow("dropped inside an event")
            << partial + "data: {\"choices\"" << failed(u"部分"_qs, Failure::Kind::dropped);
        QTest::newRow("dropped between events") << partial << failed(u"部分"_qs, Failure::Kind::dropped);
        QTest::newRow("malformed line")
            << "data: {\"choices\":[}\n\n" + partial << failed({}, Failure::Kind::malformed);
        QTest::newRow("invalid UTF-8")
            << QByteArray("data: {\"a\":\"\xff\"}\n\n") << failed({}, Failure::Kind::malformed);
        QTest::newRow("one JSON body")
            << QByteArray(
                   "\n {\"choices\":[{\"message\":{\"content\":\"整段😀\"},\"finish_reason\":\"length\"}]}")
            << complete(u"整段😀"_qs, u"length"_qs);
        QTest::newRow("empty") << QByteArray() << failed({}, Failure::Kind::dropped);
    }

    // Any split into reads, inside a line or inside a character, reads the same.
    void read() {
        QFETCH(QByteArray, stream);
        QFETCH(Update, expected);
        QCOMPARE(readAll({stream}), expected);
        for (qsizetype at = 0; at <= stream.size(); ++at)
            QCOMPARE(readAll({stream.first(at), stream.sliced(at)}), expected);
        QList<QByteArray> bytes;
        for (const char byte : stream)
            bytes.append(QByteArray(1, byte));
        QCOMPARE(readAll(bytes), expected);
    }

    void overTheCap() {
        ChatStreamReader reader;
        const QByteArray megabyte = chunk(("{\"content\":\"" + QByteArray(1 << 20, 'a') + "\"}").constData());
        Update last;
        for (int i = 0; i < 9 && !last.failure; ++i)
            last = reader.feed(megabyte);
        QCOMPARE(last.failure, (Failure{Failure::Kind::tooLarge, {}}));
        QCOMPARE(reader.finish(), Update());
    }
};

QTEST_APPLESS_MAIN(TestChatStreamReader)
#include "tst_chat_stream_reader.moc"
