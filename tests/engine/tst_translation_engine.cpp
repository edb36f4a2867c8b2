#include "app/Alerts.h"
#include "app/SettingsWindowHook.h"
#include "engine/KeychainHelper.h"
#include "engine/PromptTemplates.h"
#include "engine/SettingsManager.h"
#include "engine/TranslationEngine.h"
#include "support/FakeKeyStore.h"
#include "support/LocalHttpServer.h"
#include "support/TestEnvironment.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTest>
#include <QThreadPool>

using Outcome = TranslationEngine::Outcome;
using Answer = LocalHttpServer::Response;
Q_DECLARE_METATYPE(AIProvider)
Q_DECLARE_METATYPE(std::optional<QString>)
Q_DECLARE_METATYPE(Outcome)
Q_DECLARE_METATYPE(Answer)

// Readable failures for QCOMPARE.
char* toString(const Outcome& outcome) {
    switch (outcome.kind()) {
    case Outcome::Kind::success:
        return QTest::toString(QStringLiteral("success(") + outcome.text() + QLatin1Char(')'));
    case Outcome::Kind::failure:
        return qstrdup("failure");
    case Outcome::Kind::missingKey:
        return qstrdup("missingKey");
    }
    return nullptr;
}

namespace {

const QString testKey = QStringLiteral("sk-test-4f1d9c");

// Every completion call, with the thread it ran on.
struct Calls {
    QMutex mutex;
    QList<Outcome> outcomes;
    QList<bool> onMainThread;

    TranslationEngine::Completion recorder() {
        return [this](Outcome outcome) {
            QMutexLocker lock(&mutex);
            outcomes.append(outcome);
            onMainThread.append(QThread::currentThread() == QCoreApplication::instance()->thread());
        };
    }
    qsizetype count() {
        QMutexLocker lock(&mutex);
        return outcomes.size();
    }
};

// The log lines written after `mark`, as "INFO message" / "ERROR message".
QStringList logLinesSince(qsizetype mark) {
    static const QRegularExpression line(
        QStringLiteral("^\\[(INFO|ERROR)\\] \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} (.*)$"));
    QStringList result;
    const QStringList lines = readLog().mid(mark).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& text : lines) {
        const QRegularExpressionMatch match = line.match(text);
        result.append(match.hasMatch() ? match.captured(1) + QLatin1Char(' ') + match.captured(2) : text);
    }
    return result;
}

qsizetype logMark() {
    return readLog().size();
}

QByteArray answerBody(const QJsonValue& content) {
    const QJsonObject message{{QStringLiteral("role"), QStringLiteral("assistant")},
                              {QStringLiteral("content"), content}};
    const QJsonObject body{
        {QStringLiteral("id"), QStringLiteral("x")},
        {QStringLiteral("choices"), QJsonArray{QJsonObject{{QStringLiteral("message"), message}}}}};
    return QJsonDocument(body).toJson(QJsonDocument::Compact);
}

Answer answer(int status, const QByteArray& body) {
    Answer a;
    a.status = status;
    a.body = body;
    return a;
}

void spin(int ms) {
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

void runOnWorker(const std::function<void()>& work) {
    QThreadPool pool;
    pool.start(work);
    pool.waitForDone();
}

} // namespace

class TestTranslationEngine : public QObject {
    Q_OBJECT
    TestEnvironment env;
    LocalHttpServer server;
    FakeKeyStore* keys = nullptr;
    int hookCalls = 0;

    SettingsManager& settings() { return SettingsManager::shared(); }

    // A fresh store pointing both providers at the local server, with `key` for `provider`.
    void configure(AIProvider provider, const std::optional<QString>& key = testKey) {
        auto store = std::make_unique<FakeKeyStore>();
        keys = store.get();
        KeychainHelper::setBackend(std::move(store));
        SettingsManager::resetSharedForTesting(env.newPreferencesPath());
        settings().setApiProvider(provider);
        for (AIProvider p : AIProviders::allCases())
            settings().store().setValue(QStringLiteral("kavelin.baseURL.") + AIProviders::rawValue(p),
                                        server.baseUrl().toString());
        if (key)
            keys->write(KeychainHelper::service,
                        QStringLiteral("kavelin.apikey.") + AIProviders::rawValue(provider), key->toUtf8());
        server.reset();
    }

    Outcome translateAndWait(const QString& text, bool fromWorker = false) {
        Calls calls;
        if (fromWorker)
            runOnWorker([&] { TranslationEngine::shared().translate(text, calls.recorder()); });
        else
            TranslationEngine::shared().translate(text, calls.recorder());
        if (!QTest::qWaitFor([&] { return calls.count() > 0; }, 10000))
            return Outcome::failure();
        spin(50); // a second call would show up here
        [&] {
            QCOMPARE(calls.count(), 1);
            QVERIFY(calls.onMainThread.first());
        }();
        return calls.outcomes.first();
    }

private Q_SLOTS:
    // Created by a worker, as the flows do: the engine must still do its network work on the main thread.
    void initTestCase() {
        runOnWorker([] { TranslationEngine::shared(); });
        QCOMPARE(TranslationEngine::shared().thread(), QCoreApplication::instance()->thread());
    }

    void init() {
        hookCalls = 0;
        SettingsWindowHook::setShowHandler([this] { ++hookCalls; });
        TranslationEngine::shared().setTimeoutForTesting(TranslationEngine::defaultTimeout);
    }

    void sendsTheDocumentedRequest_data() {
        QTest::addColumn<AIProvider>("provider");
        QTest::addColumn<std::optional<QString>>("storedModel");
        QTest::addColumn<bool>("usesDefault");
        QTest::addColumn<std::optional<QString>>("storedCustom");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("fromWorker");
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("prompt");

        const QString prompt = PromptTemplates::defaultPromptTemplate();
        const QByteArray deepseekPath("/chat/completions");
        const QByteArray qwenPath("/compatible-mode/v1/chat/completions");
        const std::optional<QString> none;
        QTest::newRow("deepseek defaults")
            << AIProvider::deepseek << none << true << none << QStringLiteral("Hello, world.") << false
            << deepseekPath << QStringLiteral("deepseek-v4-flash") << prompt;
        QTest::newRow("qwen from a worker")
            << AIProvider::qwen << none << true << none << QStringLiteral("Hello.") << true << qwenPath
            << QStringLiteral("qwen-plus") << prompt;
        QTest::newRow("model override")
            << AIProvider::qwen << std::optional(QStringLiteral("qwen-max")) << true << none
            << QStringLiteral("x") << false << qwenPath << QStringLiteral("qwen-max") << prompt;
        QTest::newRow("empty model override")
            << AIProvider::deepseek << std::optional(QString()) << true << none << QStringLiteral("x")
            << false << deepseekPath << QStringLiteral("deepseek-v4-flash") << prompt;
        const QString custom = QStringLiteral(" Translate {text} into Chinese.\n ");
        QTest::newRow("custom prompt, unchanged")
            << AIProvider::deepseek << none << false << std::optional(custom) << QStringLiteral("x") << true
            << deepseekPath << QStringLiteral("deepseek-v4-flash") << custom;
        QTest::newRow("blank custom prompt")
            << AIProvider::deepseek << none << false << std::optional(QStringLiteral(" \n\t "))
            << QStringLiteral("x") << false << deepseekPath << QStringLiteral("deepseek-v4-flash") << prompt;
        QTest::newRow("custom prompt not chosen")
            << AIProvider::qwen << none << true << std::optional(custom) << QStringLiteral("x") << false
            << qwenPath << QStringLiteral("qwen-plus") << prompt;
        QTest::newRow("text verbatim")
            << AIProvider::deepseek << none << true << none
            << QStringLiteral("  \"Quoted\" \\ back\tslash\n\nnaïve 😀 </script>\u2028  ") << false
            << deepseekPath << QStringLiteral("deepseek-v4-flash") << prompt;
    }

    void sendsTheDocumentedRequest() {
        QFETCH(AIProvider, provider);
        QFETCH(std::optional<QString>, storedModel);
        QFETCH(bool, usesDefault);
        QFETCH(std::optional<QString>, storedCustom);
        QFETCH(QString, text);
        QFETCH(bool, fromWorker);
        QFETCH(QByteArray, path);
        QFETCH(QString, model);
        QFETCH(QString, prompt);

        configure(provider);
        const QString raw = AIProviders::rawValue(provider);
        // Raw writes: the accessors would refuse the empty and blank values under test.
        if (storedModel)
            settings().store().setValue(QStringLiteral("kavelin.model.") + raw, *storedModel);
        if (storedCustom)
            settings().store().setValue(QStringLiteral("kavelin.prompt.custom"), *storedCustom);
        settings().setUsesDefaultPrompt(usesDefault);
        server.enqueue(answer(200, answerBody(QStringLiteral("好"))));

        const qsizetype mark = logMark();
        QCOMPARE(translateAndWait(text, fromWorker), Outcome::success(QStringLiteral("好")));

        const QList<LocalHttpServer::Request> requests = server.requests();
        QCOMPARE(requests.size(), 1);
        const LocalHttpServer::Request& request = requests.first();
        QCOMPARE(request.method, QByteArray("POST"));
        QCOMPARE(request.path, path);
        QCOMPARE(request.headers.value("content-type"), QByteArray("application/json"));
        QCOMPARE(request.headers.value("authorization"), QByteArray("Bearer ") + testKey.toUtf8());

        // Compact JSON: a line break can only appear escaped inside a string.
        QVERIFY(!request.body.contains('\n'));
        QVERIFY(request.body.contains("\"max_tokens\":4096"));
        QVERIFY(request.body.contains("\"temperature\":0.1"));
        const QJsonObject body = QJsonDocument::fromJson(request.body).object();
        QStringList members{QStringLiteral("max_tokens"), QStringLiteral("messages"), QStringLiteral("model"),
                            QStringLiteral("stream"), QStringLiteral("temperature")};
        if (provider == AIProvider::deepseek)
            members.append(QStringLiteral("thinking"));
        QCOMPARE(body.keys(), members);
        QCOMPARE(body.value(QStringLiteral("model")).toString(), model);
        QCOMPARE(body.value(QStringLiteral("temperature")).toDouble(), 0.1);
        QCOMPARE(body.value(QStringLiteral("stream")), QJsonValue(false));
        if (provider == AIProvider::deepseek)
            QCOMPARE(body.value(QStringLiteral("thinking")).toObject(),
                     QJsonObject({{QStringLiteral("type"), QStringLiteral("disabled")}}));

        const QJsonArray messages = body.value(QStringLiteral("messages")).toArray();
        QCOMPARE(messages.size(), 2);
        const QJsonObject system = messages.at(0).toObject();
        const QJsonObject user = messages.at(1).toObject();
        QCOMPARE(system.keys(), QStringList({QStringLiteral("content"), QStringLiteral("role")}));
        QCOMPARE(user.keys(), QStringList({QStringLiteral("content"), QStringLiteral("role")}));
        QCOMPARE(system.value(QStringLiteral("role")).toString(), QStringLiteral("system"));
        QCOMPARE(user.value(QStringLiteral("role")).toString(), QStringLiteral("user"));
        QCOMPARE(system.value(QStringLiteral("content")).toString().toUtf8(), prompt.toUtf8());
        QCOMPARE(
            user.value(QStringLiteral("content")).toString().toUtf8(),
            QByteArray("\xe8\xaf\xb7\xe5\x88\x86\xe6\x9e\x90\xe4\xbb\xa5\xe4\xb8\x8b\xe8\x8b\xb1\xe6\x96\x87"
                       "\xe6\x96\x87\xe6\x9c\xac\xef\xbc\x9a\n\n") +
                text.toUtf8());

        QCOMPARE(logLinesSince(mark),
                 QStringList({QStringLiteral("INFO 调用 ") + AIProviders::displayName(provider) +
                                  QStringLiteral(" API..."),
                              QStringLiteral("INFO API 返回 1 字符")}));
        QCOMPARE(TranslationEngine::shared().currentTask(), nullptr);
    }

    void handlesEachAnswer_data() {
        QTest::addColumn<Answer>("response");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<QString>("logLine"); // a regular expression for the whole line

        const auto exact = [](const QString& text) { return QRegularExpression::escape(text); };
        // Grapheme clusters: an emoji with a skin tone and an e with a combining accent count once each.
        QTest::newRow("answer")
            << answer(200, answerBody(QStringLiteral("## 中文翻译\n你好 👍🏽 e\u0301 ")))
            << Outcome::success(QStringLiteral("## 中文翻译\n你好 👍🏽 e\u0301 "))
            << exact(QStringLiteral("INFO API 返回 15 字符"));
        QTest::newRow("empty answer") << answer(200, answerBody(QString())) << Outcome::success(QString())
                                      << exact(QStringLiteral("INFO API 返回 0 字符"));
        QTest::newRow("no choices") << answer(200, R"({"choices":[]})") << Outcome::failure()
                                    << exact(QStringLiteral("INFO API 返回 0 字符"));
        QTest::newRow("null content") << answer(200, answerBody(QJsonValue::Null)) << Outcome::failure()
                                      << exact(QStringLiteral("INFO API 返回 0 字符"));
        QTest::newRow("not JSON") << answer(200, "<html>busy</html>") << Outcome::failure()
                                  << exact(QStringLiteral("INFO API 返回 0 字符"));
        QTest::newRow("429 empty") << answer(429, QByteArray()) << Outcome::failure()
                                   << exact(QStringLiteral("ERROR API 失败: HTTP 429, 响应体长度=0 字节"));
        QTest::newRow("500") << answer(500, R"({"error":"boom"})") << Outcome::failure()
                             << exact(QStringLiteral("ERROR API 失败: HTTP 500, 响应体长度=16 字节"));
        QTest::newRow("400") << answer(400, "bad") << Outcome::failure()
                             << exact(QStringLiteral("ERROR API 失败: HTTP 400, 响应体长度=3 字节"));
        QTest::newRow("401") << answer(401, "{}") << Outcome::failure()
                             << exact(QStringLiteral("ERROR API 失败: HTTP 401, 响应体长度=2 字节"));
        Answer cut = answer(200, answerBody(QString(400, QLatin1Char('a'))));
        cut.cutAfterBodyBytes = 40;
        QTest::newRow("cut mid-body")
            << cut << Outcome::failure()
            << exact(QStringLiteral("ERROR API 失败: 网络: ")) + QStringLiteral(".+");
    }

    void handlesEachAnswer() {
        QFETCH(Answer, response);
        QFETCH(Outcome, outcome);
        QFETCH(QString, logLine);

        configure(AIProvider::deepseek);
        server.enqueue(response);
        const qsizetype mark = logMark();
        QCOMPARE(translateAndWait(QStringLiteral("Hi")), outcome);
        const QStringList lines = logLinesSince(mark);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines.first(), QStringLiteral("INFO 调用 DeepSeek（国内 · 推荐） API..."));
        QVERIFY2(
            QRegularExpression(QRegularExpression::anchoredPattern(logLine)).match(lines.last()).hasMatch(),
            qPrintable(lines.last()));
        QCOMPARE(TranslationEngine::shared().currentTask(), nullptr);
    }

    void unreachableServerFails() {
        configure(AIProvider::qwen);
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 port = closed.serverPort();
        closed.close();
        settings().store().setValue(QStringLiteral("kavelin.baseURL.qwen"),
                                    QStringLiteral("http://127.0.0.1:%1").arg(port));
        const qsizetype mark = logMark();
        QCOMPARE(translateAndWait(QStringLiteral("Hi")), Outcome::failure());
        const QStringList lines = logLinesSince(mark);
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines.last().startsWith(QStringLiteral("ERROR API 失败: 网络: ")), qPrintable(lines.last()));
    }

    // The transfer time-out must end in a failure, although Qt reports it as a cancel.
    void silentServerTimesOut() {
        configure(AIProvider::deepseek);
        Answer silent;
        silent.neverAnswer = true;
        server.enqueue(silent);
        TranslationEngine::shared().setTimeoutForTesting(std::chrono::milliseconds(300));
        const qsizetype mark = logMark();
        QCOMPARE(translateAndWait(QStringLiteral("Hi")), Outcome::failure());
        QCOMPARE(logLinesSince(mark).last(), QStringLiteral("ERROR API 失败: 网络: 请求超时"));
        QCOMPARE(TranslationEngine::shared().currentTask(), nullptr);
    }

    // The key goes with every redirect hop, so only a same-origin redirect is followed.
    void refusesRedirectToAnotherOrigin() {
        configure(AIProvider::deepseek);
        LocalHttpServer elsewhere;
        Answer redirect = answer(307, QByteArray());
        // The scripted server writes the content type as given: carry the Location header in it.
        redirect.contentType =
            "text/plain\r\nLocation: " + elsewhere.baseUrl().toEncoded() + "/chat/completions";
        server.enqueue(redirect);
        elsewhere.enqueue(answer(200, answerBody(QStringLiteral("stolen"))));
        QCOMPARE(translateAndWait(QStringLiteral("Hi")), Outcome::failure());
        QCOMPARE(server.requests().size(), 1);
        QVERIFY(elsewhere.requests().isEmpty());
    }

    void missingKeyAlert_data() {
        QTest::addColumn<AIProvider>("provider");
        QTest::addColumn<std::optional<QString>>("key");
        QTest::addColumn<int>("button");
        QTest::addColumn<bool>("fromWorker");
        const std::optional<QString> none;
        QTest::newRow("no key, open settings") << AIProvider::deepseek << none << 0 << false;
        QTest::newRow("no key, cancel") << AIProvider::qwen << none << 1 << true;
        QTest::newRow("empty key, open settings")
            << AIProvider::qwen << std::optional(QString()) << 0 << true;
        QTest::newRow("empty key, closed") << AIProvider::deepseek << std::optional(QString()) << -1 << false;
    }

    void missingKeyAlert() {
        QFETCH(AIProvider, provider);
        QFETCH(std::optional<QString>, key);
        QFETCH(int, button);
        QFETCH(bool, fromWorker);

        configure(provider, key);
        const qsizetype mark = logMark();
        Calls calls;
        Alerts::setNextAnswer(button);
        const auto call = [&] {
            TranslationEngine::shared().translate(QStringLiteral("Hi"), calls.recorder());
        };
        if (fromWorker)
            runOnWorker(call);
        else
            call();
        QCOMPARE(calls.count(), 0); // only after the alert, which waits for the main loop
        QTRY_COMPARE(calls.count(), 1);
        spin(100);
        QCOMPARE(calls.count(), 1);
        QCOMPARE(calls.outcomes.first(), Outcome::missingKey());
        QVERIFY(calls.onMainThread.first());
        QVERIFY(server.requests().isEmpty());
        QCOMPARE(hookCalls, button == 0 ? 1 : 0);

        const std::optional<AlertSpec> alert = Alerts::lastAlert();
        QVERIFY(alert);
        QCOMPARE(alert->messageText, QStringLiteral("未配置 API Key"));
        QCOMPARE(alert->informativeText,
                 QStringLiteral("请前往 偏好设置 配置 ") + AIProviders::displayName(provider) +
                     QStringLiteral(" API Key。\n访问 ") + AIProviders::consoleHost(provider) +
                     QStringLiteral(" 注册获取。"));
        QCOMPARE(alert->style, AlertSpec::Style::Warning);
        QCOMPARE(alert->buttons, QStringList({QStringLiteral("打开偏好设置"), QStringLiteral("取消")}));
        const QStringList expected{QStringLiteral("INFO 未配置 ") + AIProviders::displayName(provider) +
                                   QStringLiteral(" API Key")};
        // The hook logs its own line while no settings window is installed; here one is.
        QCOMPARE(logLinesSince(mark), expected);
    }

    void controlCharacterKeyIsNeverSent_data() {
        QTest::addColumn<QString>("key");
        QTest::newRow("trailing line feed") << QStringLiteral("sk-secret-a1\n");
        QTest::newRow("header injection") << QStringLiteral("sk-secret-a2\r\nX-Injected: 1");
        QTest::newRow("tab") << QStringLiteral("sk-secret-a3\tx");
        QTest::newRow("nul") << QStringLiteral("sk-secret-a4") + QChar(0) + QStringLiteral("x");
        QTest::newRow("delete") << QStringLiteral("sk-secret-a5\x7f");
        QTest::newRow("line separator") << QStringLiteral("sk-secret-a6\u2028");
    }

    void controlCharacterKeyIsNeverSent() {
        QFETCH(QString, key);
        configure(AIProvider::deepseek, key);
        const qsizetype mark = logMark();
        Calls calls;
        TranslationEngine::shared().translate(QStringLiteral("Hi"), calls.recorder());
        QCOMPARE(calls.count(), 1); // a local failure answers at once, on the caller's thread
        QCOMPARE(calls.outcomes.first(), Outcome::failure());
        spin(100);
        QCOMPARE(calls.count(), 1);
        QVERIFY(server.requests().isEmpty());
        const QStringList lines = logLinesSince(mark);
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.first().startsWith(QStringLiteral("ERROR API Key 含换行或其他控制字符")),
                 qPrintable(lines.first()));
        QVERIFY(lines.first().contains(QStringLiteral("长度=") + QString::number(key.size())));
        QVERIFY(!lines.first().contains(QStringLiteral("sk-secret")));
    }

    void newerTranslationSilencesTheOlder_data() {
        QTest::addColumn<bool>("fromWorker");
        QTest::newRow("main thread") << false;
        QTest::newRow("worker") << true;
    }

    void newerTranslationSilencesTheOlder() {
        QFETCH(bool, fromWorker);
        configure(AIProvider::deepseek);
        Answer slow = answer(200, answerBody(QStringLiteral("first")));
        slow.delayMs = 800;
        server.enqueue(slow);
        server.enqueue(answer(200, answerBody(QStringLiteral("second"))));

        const qsizetype mark = logMark();
        Calls first, second;
        TranslationEngine& engine = TranslationEngine::shared();
        const auto call = [&](Calls& calls, const QString& text) {
            if (fromWorker)
                runOnWorker([&] { engine.translate(text, calls.recorder()); });
            else
                engine.translate(text, calls.recorder());
        };
        call(first, QStringLiteral("one"));
        QVERIFY(server.waitForRequests(1));
        QVERIFY(engine.currentTask() != nullptr);
        call(second, QStringLiteral("two"));
        QTRY_COMPARE(second.count(), 1);
        QCOMPARE(second.outcomes.first(), Outcome::success(QStringLiteral("second")));
        QCOMPARE(engine.currentTask(), nullptr);
        spin(1000); // past the moment the first answer would have come
        QCOMPARE(first.count(), 0);
        QCOMPARE(second.count(), 1);
        QCOMPARE(logLinesSince(mark), QStringList({QStringLiteral("INFO 调用 DeepSeek（国内 · 推荐） API..."),
                                                   QStringLiteral("INFO 调用 DeepSeek（国内 · 推荐） API..."),
                                                   QStringLiteral("INFO API 返回 6 字符")}));
    }

    void cancelFromOutsideReportsNothing() {
        configure(AIProvider::qwen);
        Answer slow = answer(200, answerBody(QStringLiteral("late")));
        slow.delayMs = 500;
        server.enqueue(slow);
        Calls calls;
        TranslationEngine& engine = TranslationEngine::shared();
        engine.translate(QStringLiteral("Hi"), calls.recorder());
        QVERIFY(server.waitForRequests(1));
        const qsizetype mark = logMark();
        engine.cancelCurrentTask();
        QCOMPARE(engine.currentTask(), nullptr);
        spin(800);
        QCOMPARE(calls.count(), 0);
        QCOMPARE(logLinesSince(mark), QStringList());
    }

    // A cancel that comes while a worker's request is still on its way to the main thread wins.
    void cancelBeforeTheRequestStarts() {
        configure(AIProvider::deepseek);
        server.enqueue(answer(200, answerBody(QStringLiteral("late"))));
        Calls calls;
        runOnWorker([&] { TranslationEngine::shared().translate(QStringLiteral("Hi"), calls.recorder()); });
        TranslationEngine::shared().cancelCurrentTask();
        spin(300);
        QVERIFY(server.requests().isEmpty());
        QCOMPARE(calls.count(), 0);
        QCOMPARE(TranslationEngine::shared().currentTask(), nullptr);
    }

    void keysNeverReachTheLog() {
        const QString log = readLog();
        QVERIFY(!log.isEmpty());
        QVERIFY(!log.contains(testKey));
        QVERIFY(!log.contains(QStringLiteral("sk-secret")));
    }
};

QTEST_GUILESS_MAIN(TestTranslationEngine)
#include "tst_translation_engine.moc"
