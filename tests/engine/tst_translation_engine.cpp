#include "engine/TranslationEngine.h"
#include "settings/KeyStore.h"
#include "settings/PromptTemplates.h"
#include "settings/SettingsManager.h"
#include "support/FakeKeyStore.h"
#include "support/LocalHttpServer.h"
#include "support/ScriptedAlerts.h"
#include "support/TestEnvironment.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <QThreadPool>

using Outcome = TranslationEngine::Outcome;
using Answer = LocalHttpServer::Response;
Q_DECLARE_METATYPE(AIProvider)
Q_DECLARE_METATYPE(std::optional<QString>)
Q_DECLARE_METATYPE(Outcome)
Q_DECLARE_METATYPE(Answer)

namespace {

const QString testKey = QStringLiteral("sk-test-4f1d9c");

// Every completion call, with the thread it ran on, and the progress reported before it.
struct Calls {
    QMutex mutex;
    QList<Outcome> outcomes;
    QList<bool> onMainThread;
    QStringList progress; // the answer so far, or "…" while the model only reasons

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
    TranslationEngine::Progress progressRecorder() {
        return [this](const TranslationEngine::AnswerProgress& now) {
            QVERIFY(outcomes.isEmpty());
            QCOMPARE(now.reasoningOnly, now.answer.isEmpty());
            progress.append(now.reasoningOnly ? QStringLiteral("…") : now.answer);
        };
    }
};

// Runs `work` here, or on a worker thread as the capture flows do.
void runOn(bool worker, const std::function<void()>& work) {
    if (!worker)
        return work();
    QThreadPool pool;
    pool.start(work);
    pool.waitForDone();
}

} // namespace

class TestTranslationEngine : public QObject {
    Q_OBJECT
    TestEnvironment env;
    LocalHttpServer server;
    int hookCalls = 0;

    ScriptedAlerts alerts;
    std::unique_ptr<SettingsManager> m_settings;
    std::unique_ptr<TranslationEngine> m_engine;
    FakeKeyStore* m_keys = nullptr; // the settings' own

    SettingsManager& settings() { return *m_settings; }
    TranslationEngine& engine() { return *m_engine; }

    // Fresh settings pointing `provider` at the local server, with `key` for it.
    void configure(AIProvider provider, const std::optional<QString>& key = testKey,
                   int keyReadStatus = KeyStoreStatus::success) {
        auto keys = std::make_unique<FakeKeyStore>();
        if (key)
            keys->write(KeyStore::service,
                        QStringLiteral("kavelin.apikey.") + AIProviders::rawValue(provider), key->toUtf8());
        keys->readStatus = keyReadStatus;
        m_keys = keys.get();
        m_engine.reset();
        m_settings = std::make_unique<SettingsManager>(env.newPreferencesPath(), std::move(keys));
        m_engine = std::make_unique<TranslationEngine>(*m_settings, alerts, [this] { ++hookCalls; });
        settings().setApiProvider(provider);
        settings().store().setValue(QStringLiteral("kavelin.baseURL.") + AIProviders::rawValue(provider),
                                    server.baseUrl().toString());
        server.reset();
    }

    // The single completion, which must come after `translate` returns and on the main thread;
    // what progress reported before it goes to `progress`.
    Outcome translateAndWait(const QString& text, bool fromWorker = false, QStringList* progress = nullptr) {
        Calls calls;
        runOn(fromWorker,
              [&] { engine().translate(text, calls.recorder(), {}, {}, calls.progressRecorder()); });
        [&] {
            QCOMPARE(calls.count(), 0);
            QVERIFY(QTest::qWaitFor([&] { return calls.count() > 0; }, 10000));
            QCoreApplication::sendPostedEvents(); // delivers a second call already on its way
            QCOMPARE(calls.count(), 1);
            QVERIFY(calls.onMainThread.first());
        }();
        if (progress)
            *progress = calls.progress;
        return calls.outcomes.value(0, Outcome::failure());
    }

private Q_SLOTS:
    void init() {
        hookCalls = 0;
        alerts.reset();
    }

    void sendsTheChatRequest_data() {
        QTest::addColumn<AIProvider>("provider");
        QTest::addColumn<std::optional<QString>>("storedModel");
        QTest::addColumn<std::optional<QString>>("storedCustomPrompt");
        QTest::addColumn<bool>("fromWorker");
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("prompt");
        const QString prompt = PromptTemplates::defaultPromptTemplate();
        const QString custom = QStringLiteral(" Translate {text} into Chinese.\n ");
        const std::optional<QString> none;
        QTest::newRow("deepseek defaults")
            << AIProvider::deepseek << none << none << false << QStringLiteral("deepseek-v4-flash") << prompt;
        QTest::newRow("qwen overrides, from a worker")
            << AIProvider::qwen << std::optional(QStringLiteral("qwen-max")) << std::optional(custom) << true
            << QStringLiteral("qwen-max") << custom;
        QTest::newRow("empty model, blank prompt")
            << AIProvider::deepseek << std::optional(QString()) << std::optional(QStringLiteral(" \n\t "))
            << false << QStringLiteral("deepseek-v4-flash") << prompt;
    }

    void sendsTheChatRequest() {
        QFETCH(AIProvider, provider);
        QFETCH(std::optional<QString>, storedModel);
        QFETCH(std::optional<QString>, storedCustomPrompt);
        QFETCH(bool, fromWorker);
        QFETCH(QString, model);
        QFETCH(QString, prompt);
        configure(provider);
        // Raw writes: the setters refuse the empty and blank values.
        if (storedModel)
            settings().store().setValue(QStringLiteral("kavelin.model.") + AIProviders::rawValue(provider),
                                        *storedModel);
        if (storedCustomPrompt) {
            settings().setUsesDefaultPrompt(false);
            settings().store().setValue(QStringLiteral("kavelin.prompt.custom"), *storedCustomPrompt);
        }
        server.enqueue(Answer::chat(QStringLiteral("好")));
        const QString text = QStringLiteral("  \"Quoted\" \\ back\tslash\n\nnaïve 😀 </script>\u2028  ");

        QCOMPARE(translateAndWait(text, fromWorker), Outcome::success(QStringLiteral("好")));
        QCOMPARE(server.requests().size(), 1);
        const LocalHttpServer::Request request = server.requests().first();
        QCOMPARE(request.method, QByteArray("POST"));
        QCOMPARE(request.path,
                 QByteArray(provider == AIProvider::qwen ? "/compatible-mode/v1/chat/completions"
                                                         : "/chat/completions"));
        QCOMPARE(request.headers.value("content-type"), QByteArray("application/json"));
        QCOMPARE(request.headers.value("authorization"), "Bearer " + testKey.toUtf8());
        QVERIFY(!request.body.contains('\n')); // compact: line breaks only escaped inside strings

        QJsonObject body = QJsonDocument::fromJson(request.body).object();
        const auto message = [](const char* role, const QString& content) {
            return QJsonObject{{QStringLiteral("role"), QLatin1String(role)},
                               {QStringLiteral("content"), content}};
        };
        // The user message prefix ends in a fullwidth colon.
        QCOMPARE(body.take(QStringLiteral("messages")).toArray(),
                 QJsonArray({message("system", prompt),
                             message("user", QStringLiteral("请分析以下英文文本：\n\n") + text)}));
        const QByteArray others =
            "{\"max_tokens\":4096,\"temperature\":0.1,\"stream\":true,\"model\":\"" + model.toUtf8() + "\"" +
            (provider == AIProvider::deepseek ? ",\"thinking\":{\"type\":\"disabled\"}}" : "}");
        QCOMPARE(body, QJsonDocument::fromJson(others).object());
        QCOMPARE(engine().currentTask(), nullptr);
    }

    void handlesEachAnswer_data() {
        QTest::addColumn<Answer>("response");
        QTest::addColumn<Outcome>("outcome");

        const QString text = QStringLiteral("## 中文翻译\n你好 👍🏽 e\u0301 ");
        QTest::newRow("answer") << Answer::chat(text) << Outcome::success(text);
        QTest::newRow("answer cut for length")
            << Answer::chat(text, 200, QStringLiteral("length")) << Outcome::success(text, true);
        QTest::newRow("empty answer") << Answer::chat(QString()) << Outcome::success(QString());
        QTest::newRow("not an answer")
            << Answer{200, "<html>busy</html>"} << Outcome::failure(QStringLiteral("无法解析服务器的回答"));
        // The service's words go to the log, never the key it may quote.
        QTest::newRow("401") << Answer{401, R"({"error":{"message":"Your api key ****1d9c is invalid"}})"}
                             << Outcome::keyRefused();
        QTest::newRow("402")
            << Answer{402, R"({"error":{"message":"Insufficient Balance"}})"}
            << Outcome::failure(QStringLiteral(
                   "DeepSeek 账户余额不足 (HTTP 402)，请前往 platform.deepseek.com 充值后重试"));
        Answer cut = Answer::chat(QString(400, QLatin1Char('a')));
        cut.cutAfterBodyBytes = 40;
        QTest::newRow("cut mid-body")
            << cut << Outcome::failure(QStringLiteral("服务器断开了连接 (remote host closed)"));
        QTest::newRow("over 8 MB") << Answer::chat(QString(8 * 1024 * 1024, QLatin1Char('a')))
                                   << Outcome::failure(QStringLiteral("响应体超过 8 MB"));
    }

    void handlesEachAnswer() {
        QFETCH(Answer, response);
        QFETCH(Outcome, outcome);
        configure(AIProvider::deepseek);
        server.enqueue(response);
        alerts.nextAnswer = 0;
        QCOMPARE(translateAndWait(QStringLiteral("Hi")), outcome);
        QCOMPARE(engine().currentTask(), nullptr);
        QCOMPARE(alerts.last ? alerts.last->messageText : QString(),
                 outcome.userWasTold() ? QStringLiteral("API Key 无效") : QString());
        QCOMPARE(hookCalls, int(outcome.userWasTold())); // "打开偏好设置"
        QVERIFY(!readLog().contains(QStringLiteral("1d9c")));
        if (outcome.userWasTold())
            QVERIFY(readLog().contains(QStringLiteral("服务返回: Your api key *** is invalid")));
    }

    // Streamed answers, their pieces 40 ms apart: each read that brings more of the answer
    // is reported, reasoning once while nothing else has come.
    void streams_data() {
        QTest::addColumn<Answer>("response");
        QTest::addColumn<QStringList>("progress");
        QTest::addColumn<Outcome>("outcome");
        const auto pieces = [](const QList<QByteArray>& bytes, bool chunked = true, bool drop = false) {
            Answer answer;
            for (const QByteArray& piece : bytes)
                answer.pieces.append({40, piece});
            answer.chunked = chunked;
            answer.dropAfterPieces = drop;
            return answer;
        };
        const QByteArray done = Answer::event({}, {}, QStringLiteral("stop")) + "data: [DONE]\n\n";
        const QString text = QStringLiteral("你好，世界。再见！");
        QTest::newRow("at a pace") << Answer::stream(text, 3, 40)
                                   << QStringList{text.left(3), text.left(6), text} << Outcome::success(text);
        Answer byClose = Answer::stream(text, 2, 40, 0, QStringLiteral("length"));
        byClose.chunked = false;
        QTest::newRow("ended by close, cut for length")
            << byClose << QStringList{text.left(4), text} << Outcome::success(text, true);
        // The euro sign's three bytes and a "data:" field name, each split between two reads.
        const QByteArray split = Answer::event(QStringLiteral("Caf")) + Answer::event(QStringLiteral("é €5"));
        const qsizetype euro = split.indexOf("\xe2\x82\xac") + 1;
        const qsizetype field = split.indexOf("data:", 5) + 2;
        QTest::newRow("split character and line")
            << pieces({split.left(field), split.mid(field, euro - field), split.mid(euro) + done})
            << QStringList{QStringLiteral("Caf"), QStringLiteral("Café €5")}
            << Outcome::success(QStringLiteral("Café €5"));
        const QString part = QStringLiteral("一半");
        const QList<QByteArray> partFirst{Answer::event(part)};
        const QByteArray keepAlive = ": keep-alive\n\n";
        QTest::newRow("keep-alives only") << pieces(QList<QByteArray>(40, keepAlive)) << QStringList{}
                                          << Outcome::failure(QStringLiteral("1 秒内没有收到回答"));
        QTest::newRow("keep-alives after a piece")
            << pieces(partFirst + QList<QByteArray>(40, keepAlive)) << QStringList{part}
            << Outcome::interrupted(part, QStringLiteral("回答中断，0.25 秒没有新内容"));
        const QByteArray thinking = Answer::event({}, QStringLiteral("Let me think"));
        QTest::newRow("reasoning first")
            << pieces({thinking, thinking, Answer::event(QStringLiteral("好")),
                       Answer::event(QStringLiteral("的")), done})
            << QStringList{QStringLiteral("…"), QStringLiteral("好"), QStringLiteral("好的")}
            << Outcome::success(QStringLiteral("好的"));
        QTest::newRow("reasoning past the overall limit")
            << pieces(partFirst + QList<QByteArray>(60, thinking)) << QStringList{part}
            << Outcome::interrupted(part, QStringLiteral("回答超过 1.5 秒总时限"));
        QTest::newRow("error event halfway")
            << pieces(partFirst + QList<QByteArray>{"data: {\"error\":{\"message\":\"Insufficient Balance "
                                                    "for sk-test-4f1d9c\"}}\n\n"})
            << QStringList{part}
            << Outcome::interrupted(part, QStringLiteral("DeepSeek 账户余额不足，请前往 "
                                                         "platform.deepseek.com 充值后重试"));
        const QString closed = QStringLiteral("服务器断开了连接 (remote host closed)");
        QTest::newRow("dropped halfway, chunked")
            << pieces(partFirst, true, true) << QStringList{part} << Outcome::interrupted(part, closed);
        QTest::newRow("dropped halfway, closing")
            << pieces(partFirst, false) << QStringList{part} << Outcome::interrupted(part, closed);
        QTest::newRow("dropped before the answer")
            << pieces({thinking}, true, true) << QStringList{QStringLiteral("…")} << Outcome::failure(closed);
    }

    void streams() {
        QFETCH(Answer, response);
        QFETCH(QStringList, progress);
        QFETCH(Outcome, outcome);
        configure(AIProvider::deepseek);
        engine().setTimeLimitsForTesting({std::chrono::milliseconds(1000), std::chrono::milliseconds(250),
                                          std::chrono::milliseconds(1500)});
        server.enqueue(response);
        QStringList seen;
        QCOMPARE(translateAndWait(QStringLiteral("Hi"), false, &seen), outcome);
        QCOMPARE(seen, progress);
        QCOMPARE(engine().currentTask(), nullptr);
        QVERIFY(!readLog().contains(QStringLiteral("4f1d9c")));
    }

    // Closing the result while the answer streams: the connection goes at once, nothing more comes.
    void cancelWhileStreaming() {
        configure(AIProvider::deepseek);
        server.enqueue(Answer::stream(QStringLiteral("一二三四五六"), 6, 50));
        Calls calls;
        engine().translate(QStringLiteral("Hi"), calls.recorder(), {}, {}, [&](const auto& now) {
            calls.progress.append(now.answer);
            engine().cancelCurrentTask();
        });
        QVERIFY(server.waitForAbandoned(1) && server.requests().value(0).abandoned);
        QTest::qWait(100);
        QCOMPARE(calls.progress, QStringList{QStringLiteral("一")});
        QCOMPARE(calls.count(), 0);
    }

    // The key goes with every redirect hop, so only a same-origin redirect is followed.
    void refusesRedirectToAnotherOrigin() {
        configure(AIProvider::deepseek);
        LocalHttpServer elsewhere;
        // The scripted content type is written as given: it carries the Location header.
        server.enqueue(
            {307, {}, "text/plain\r\nLocation: " + elsewhere.baseUrl().toEncoded() + "/chat/completions"});
        elsewhere.enqueue(Answer::chat(QStringLiteral("stolen")));
        QCOMPARE(translateAndWait(QStringLiteral("Hi")).kind(), Outcome::Kind::failure);
        QCOMPARE(server.requests().size(), 1);
        QVERIFY(elsewhere.requests().isEmpty());
    }

    // Nothing is sent without a key; the user hears why from the engine, once.
    void keyAlerts_data() {
        QTest::addColumn<AIProvider>("provider");
        QTest::addColumn<std::optional<QString>>("key");
        QTest::addColumn<int>("keyReadStatus");
        QTest::addColumn<int>("button");
        QTest::addColumn<bool>("fromWorker");
        QTest::addColumn<Outcome>("outcome");
        const std::optional<QString> none;
        const Outcome missing = Outcome::missingKey();
        const int ok = KeyStoreStatus::success;
        QTest::newRow("no key, open settings") << AIProvider::deepseek << none << ok << 0 << false << missing;
        QTest::newRow("no key, cancel") << AIProvider::qwen << none << ok << 1 << true << missing;
        QTest::newRow("empty key, closed")
            << AIProvider::deepseek << std::optional(QString()) << ok << -1 << false << missing;
        // A locked keyring holds a key it cannot give: not the missing-key alert.
        QTest::newRow("key store timed out")
            << AIProvider::qwen << std::optional(testKey) << KeyStoreStatus::timedOut << 0 << true
            << Outcome::keyStoreUnavailable();
    }

    void keyAlerts() {
        QFETCH(AIProvider, provider);
        QFETCH(std::optional<QString>, key);
        QFETCH(int, keyReadStatus);
        QFETCH(int, button);
        QFETCH(bool, fromWorker);
        QFETCH(Outcome, outcome);
        configure(provider, key, keyReadStatus);
        alerts.nextAnswer = button;
        QCOMPARE(translateAndWait(QStringLiteral("Hi"), fromWorker), outcome);
        QVERIFY(outcome.userWasTold());
        QVERIFY(server.requests().isEmpty());

        const std::optional<AlertRequest> alert = alerts.last;
        QVERIFY(alert);
        QCOMPARE(alert->style, AlertRequest::Style::Warning);
        const QString name = AIProviders::displayName(provider);
        if (outcome == Outcome::keyStoreUnavailable()) {
            QCOMPARE(alert->messageText, QStringLiteral("无法打开密钥存储"));
            QVERIFY(alert->informativeText.contains(QStringLiteral("解锁登录密钥环")));
            QCOMPARE(hookCalls, 0);
            return;
        }
        QCOMPARE(hookCalls, button == 0 ? 1 : 0);
        QCOMPARE(alert->messageText, QStringLiteral("未配置 API Key"));
        QCOMPARE(alert->informativeText,
                 QStringLiteral("请前往 偏好设置 配置 ") + name + QStringLiteral(" API Key。\n访问 ") +
                     AIProviders::consoleHost(provider) + QStringLiteral(" 注册获取。"));
    }

    // The key is read once a session: a key changed behind VYRN's back is used once the service
    // has refused the one in memory, a key saved in the settings at once.
    void keyIsKeptUntilRefused() {
        configure(AIProvider::deepseek);
        const auto sentKey = [this](int status) {
            server.enqueue(status == 200 ? Answer::chat(QStringLiteral("好")) : Answer{status, "{}"});
            translateAndWait(QStringLiteral("Hi"));
            return server.requests().last().headers.value("authorization");
        };
        QCOMPARE(sentKey(200), "Bearer " + testKey.toUtf8());
        m_keys->items.insert(QStringLiteral("com.vyrn.kavelin/kavelin.apikey.deepseek"), "sk-changed");
        QCOMPARE(sentKey(401), "Bearer " + testKey.toUtf8());
        QCOMPARE(sentKey(200), QByteArray("Bearer sk-changed"));
        QVERIFY(settings().setApiKey(QStringLiteral("sk-saved"), AIProvider::deepseek));
        QCOMPARE(sentKey(200), QByteArray("Bearer sk-saved"));
    }

    void controlCharacterKeyIsNeverSent_data() {
        QTest::addColumn<QString>("key");
        QTest::newRow("header injection") << QStringLiteral("sk-secret-a2\r\nX-Injected: 1");
        QTest::newRow("nul") << QStringLiteral("sk-secret-a3") + QChar(0) + QStringLiteral("x");
        QTest::newRow("delete") << QStringLiteral("sk-secret-a4\x7f");
        QTest::newRow("line separator") << QStringLiteral("sk-secret-a5\u2028");
    }

    void controlCharacterKeyIsNeverSent() {
        QFETCH(QString, key);
        configure(AIProvider::deepseek, key);
        Calls calls;
        engine().translate(QStringLiteral("Hi"), calls.recorder());
        QCOMPARE(calls.count(), 1); // at once, on the caller's thread
        QVERIFY(!server.waitForRequests(1, 100));
        QCOMPARE(calls.outcomes, QList<Outcome>{Outcome::failure(QStringLiteral(
                                     "API Key 含换行或其他控制字符，请在偏好设置中重新填写"))});
        QVERIFY(!readLog().contains(QStringLiteral("sk-secret"))); // the refusal never logs the key
    }

    void overtakenTranslationStaysSilent_data() {
        QTest::addColumn<bool>("fromWorker");
        QTest::addColumn<bool>("byCancel");
        QTest::newRow("newer translation") << false << false;
        QTest::newRow("newer translation from a worker") << true << false;
        QTest::newRow("cancel") << false << true;
        // The cancel comes while the worker's request is still on its way to the main thread.
        QTest::newRow("cancel before the request starts") << true << true;
    }

    void overtakenTranslationStaysSilent() {
        QFETCH(bool, fromWorker);
        QFETCH(bool, byCancel);
        configure(AIProvider::deepseek);
        server.enqueue(Answer::silence()); // ends only when the engine drops it
        server.enqueue(Answer::chat(QStringLiteral("second")));
        Calls first;
        runOn(fromWorker, [&] { engine().translate(QStringLiteral("one"), first.recorder()); });
        const bool started = !(byCancel && fromWorker);
        if (started)
            QVERIFY(server.waitForRequests(1) && engine().currentTask());
        if (byCancel)
            engine().cancelCurrentTask();
        else
            QCOMPARE(translateAndWait(QStringLiteral("two"), fromWorker),
                     Outcome::success(QStringLiteral("second")));
        QCoreApplication::sendPostedEvents(); // a start still queued by the worker gives up here
        QCOMPARE(engine().currentTask(), nullptr);
        // The first request's connection is gone, so its answer can never come.
        if (started)
            QVERIFY(server.waitForAbandoned(1));
        QCOMPARE(first.count(), 0);
        QCOMPARE(server.requests().size(), int(started) + int(!byCancel));
    }

    // A worker's request that its caller gave up on before it reached the main thread.
    void unwantedRequestIsNeverSent() {
        configure(AIProvider::deepseek);
        server.enqueue(Answer::chat(QStringLiteral("late")));
        Calls calls;
        int asked = 0;
        runOn(true, [&] {
            engine().translate(QStringLiteral("Hi"), calls.recorder(), [&asked] {
                ++asked;
                return false;
            });
        });
        QCoreApplication::sendPostedEvents(); // the request's start, on the main thread
        QCOMPARE(asked, 1);
        QCOMPARE(engine().currentTask(), nullptr);
        QVERIFY(server.requests().isEmpty());
        QCOMPARE(calls.count(), 0);
    }
};

QTEST_GUILESS_MAIN(TestTranslationEngine)
#include "tst_translation_engine.moc"
