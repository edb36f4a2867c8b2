#include "PipelineFakes.h"
#include "ocr/OCREngine.h"
#include "ocr/TableExtractor.h"
#include "pipeline/CopySelectionFallback.h"
#include "pipeline/LoadingPanelPlacement.h"
#include "pipeline/TranslationPipeline.h"
#include "support/FakeSelectionServices.h"
#include "support/TestEnvironment.h"

#include <QTest>

using Outcome = TranslationEngine::Outcome;
using OptionalText = std::optional<QString>;
using State = AccessibilitySupport::State;
Q_DECLARE_METATYPE(OptionalText)
Q_DECLARE_METATYPE(Outcome)
Q_DECLARE_METATYPE(TextObservation)
Q_DECLARE_METATYPE(LoadingPanelPlacement::Screen)

namespace {

// A line as the recogniser reports it, from a box in pixels of a 600 x 200 crop.
TextObservation line(const QString& text, const QRectF& pixels) {
    const double w = 600, h = 200;
    return {text, QRectF(pixels.x() / w, 1.0 - pixels.bottom() / h, pixels.width() / w, pixels.height() / h)};
}

const QImage kCrop = [] {
    QImage crop(600, 200, QImage::Format_RGB32);
    crop.fill(Qt::white);
    return crop;
}();

// What the pipeline drives, all fake, and the pipeline itself.
struct Rig {
    RecordingAlerts alerts;
    FakeSelectionServices selection;
    FakeDesktop* desktop = new FakeDesktop;
    std::shared_ptr<FakeTranslator> translator = std::make_shared<FakeTranslator>();
    FakeAccessibilitySupport* accessibility = new FakeAccessibilitySupport;
    FakeRecognizer* recognizer = new FakeRecognizer;
    OCREngine ocr{std::unique_ptr<TextRecognizer>(recognizer)};
    std::unique_ptr<TranslationPipeline> pipeline;

    Rig() {
        auto reader = std::make_unique<SelectedTextReader>(selection.take());
        reader->findChild<CopySelectionFallback*>()->setPollIntervalForTesting(std::chrono::milliseconds(1));
        TranslationPipeline::Services services;
        services.desktop.reset(desktop);
        services.translator = translator;
        services.selection = std::move(reader);
        services.accessibility.reset(accessibility);
        services.ocr = &ocr;
        services.alerts = &alerts;
        pipeline = std::make_unique<TranslationPipeline>(std::move(services));
        pipeline->captureSelectionSource();
    }

    // A selection translation up to the request, with `text` selected where AT-SPI sees it.
    bool selectionSent(const QString& text) {
        selection.accessibility->answer = text;
        pipeline->startTextTranslation();
        return QTest::qWaitFor([this] { return translator->count() == 1; }, 5000);
    }
    // A screenshot translation up to the request, OCR reading `lines`.
    bool screenshotSent(const QList<TextObservation>& lines) {
        recognizer->lines = lines;
        pipeline->start();
        desktop->deliver({QRectF(40.7, 60.2, 600, 200), QRectF(1040.7, 160.2, 600, 200), kCrop, {}});
        return QTest::qWaitFor([this] { return translator->count() == 1; }, 5000);
    }
    // The answer arrives from the network, on the main thread.
    void answer(const Outcome& outcome, int call = 0) {
        translator->call(call).completion(outcome);
        QCoreApplication::sendPostedEvents();
    }
    // Once the flow ended: a success shown and notified, or the alert (none: none opened).
    void verifyEnd(const Outcome& outcome, const QString& original, const QRectF& source,
                   const QString& alert) {
        QTRY_VERIFY(!pipeline->isLoading());
        QCoreApplication::sendPostedEvents(); // alerts open on the next turn
        const bool success = outcome.kind() == Outcome::Kind::success;
        QCOMPARE(desktop->results.size(), success ? 1 : 0);
        QCOMPARE(desktop->notifications.size(), success ? 1 : 0);
        if (success)
            QCOMPARE((std::tuple{desktop->results[0].markdown, desktop->results[0].originalText,
                                 desktop->results[0].sourceRect}),
                     (std::tuple{outcome.text(), original, source}));
        QCOMPARE(alerts.opened.value(0).informativeText, alert);
        QCOMPARE(alerts.opened.size(), alert.isEmpty() ? 0 : 1);
    }
};

} // namespace

class TestTranslationPipeline : public QObject {
    Q_OBJECT
    TestEnvironment env;

private Q_SLOTS:

    // One translation at a time, for both flows; a refusal takes no generation.
    void refusals_data() {
        QTest::addColumn<bool>("screenshot");
        QTest::addColumn<QString>("busyWith");
        for (const bool screenshot : {false, true}) {
            const char* flow = screenshot ? "screenshot, " : "selection, ";
            for (const char* busyWith : {"panel", "loading", "reading", "capturing"})
                QTest::addRow("%s%s", flow, busyWith) << screenshot << QString(busyWith);
        }
    }
    void refusals() {
        QFETCH(bool, screenshot);
        QFETCH(QString, busyWith);
        const bool alert = busyWith == QLatin1String("panel");
        Rig rig;
        if (busyWith == QLatin1String("panel")) {
            rig.desktop->resultPanelOpen = true;
        } else if (busyWith == QLatin1String("loading")) {
            QVERIFY(rig.selectionSent(QStringLiteral("first")));
        } else if (busyWith == QLatin1String("reading")) {
            rig.selection.accessibility->hang = true;
            rig.pipeline->startTextTranslation();
        } else {
            rig.pipeline->start();
        }
        const qint64 generation = rig.pipeline->currentTaskGeneration();
        const int reads = rig.selection.accessibility->reads, captures = rig.desktop->captures;

        screenshot ? rig.pipeline->start() : rig.pipeline->startTextTranslation();
        QCoreApplication::sendPostedEvents();
        QCOMPARE(rig.pipeline->currentTaskGeneration(), generation);
        QCOMPARE(rig.selection.accessibility->reads, reads);
        QCOMPARE(rig.desktop->captures, captures);
        QCOMPARE(rig.translator->count(), busyWith == QLatin1String("loading") ? 1 : 0);
        QCOMPARE(rig.alerts.opened.size(), alert ? 1 : 0);
    }

    // From the selected text to what is sent, shown and said.
    void selectionOutcomes_data() {
        QTest::addColumn<OptionalText>("selected");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<bool>("failsBeforeSending");
        QTest::addColumn<QString>("sent");
        QTest::addColumn<QString>("alert");
        const Outcome answer = Outcome::success(QStringLiteral("## 中文翻译\n你好"));
        QTest::newRow("answer") << OptionalText("Hello world") << answer << false << "Hello world"
                                << QString();
        QTest::newRow("empty answer shown like any other")
            << OptionalText("Hi") << Outcome::success(QString()) << false << "Hi" << QString();
        QTest::newRow("tab-separated sent as a table")
            << OptionalText("Name\tAge\nAnn\t31\nBob\t42") << answer << false
            << "| Name | Age |\n|---|---|\n| Ann | 31 |\n| Bob | 42 |" << QString();
        QTest::newRow("model failed")
            << OptionalText("Hello 👍🏽") << Outcome::failure(QStringLiteral("服务器返回 HTTP 500"))
            << false << "Hello 👍🏽"
            << "AI 翻译失败。\n原因：服务器返回 HTTP 500\n选中文本长度：7";
        QTest::newRow("failure found before sending")
            << OptionalText("Hi") << Outcome::failure(QStringLiteral("API 地址无效")) << true << "Hi"
            << "AI 翻译失败。\n原因：API 地址无效\n选中文本长度：2";
        QTest::newRow("missing key: the engine told the user")
            << OptionalText("Hi") << Outcome::missingKey() << true << "Hi" << QString();
    }
    void selectionOutcomes() {
        QFETCH(OptionalText, selected);
        QFETCH(Outcome, outcome);
        QFETCH(bool, failsBeforeSending);
        QFETCH(QString, sent);
        QFETCH(QString, alert);
        Rig rig;
        rig.desktop->pointer = QPointF(300, 200);
        if (failsBeforeSending)
            rig.translator->answerAtOnce = outcome;
        QVERIFY(rig.selectionSent(*selected));
        const FakeTranslator::Call call = rig.translator->call(0);
        QCOMPARE(call.text, sent);
        QVERIFY(!call.onMainThread); // the key store may take its time
        QCOMPARE(rig.desktop->loadingShown.size(), 1);
        QVERIFY(call.stillWanted() || failsBeforeSending);
        if (!failsBeforeSending)
            rig.answer(outcome);
        // The original before any table conversion, beside the pointer.
        rig.verifyEnd(outcome, *selected, QRectF(295, 195, 10, 10), alert);
        QVERIFY(!rig.desktop->loadingVisible && !rig.desktop->cancelKey);
    }

    // An answer arriving in pieces: the loading panel stays until the first piece of the
    // answer, then the result panel fills; how it ended is said on the page, and only a
    // complete answer is announced as done.
    void streamedAnswer_data() {
        QTest::addColumn<bool>("reasoningFirst");
        QTest::addColumn<QStringList>("pieces");
        QTest::addColumn<Outcome>("end");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QStringList>("endLines");
        const QStringList pieces{QStringLiteral("## 中"), QStringLiteral("## 中文翻译\n你")};
        const QString whole = QStringLiteral("## 中文翻译\n你好。");
        QTest::newRow("complete") << false << pieces << Outcome::success(whole) << whole << QStringList();
        QTest::newRow("reasoning first")
            << true << pieces << Outcome::success(whole) << whole << QStringList();
        QTest::newRow("whole answer at once")
            << false << QStringList() << Outcome::success(whole) << whole << QStringList();
        QTest::newRow("cut off for length")
            << false << pieces << Outcome::success(whole, true) << whole
            << QStringList{QStringLiteral(
                   "⚠️ 回答达到长度上限，以上内容不完整。可缩短原文后重试。")};
        QTest::newRow("broken off") << false << pieces
                                    << Outcome::interrupted(pieces[1], QStringLiteral("连接被重置"))
                                    << pieces[1]
                                    << QStringList{QStringLiteral(
                                           "⚠️ 连接中断，回答不完整：连接被重置")};
        QTest::newRow("failure after pieces")
            << false << pieces << Outcome::failure(QStringLiteral("服务出错 (HTTP 500)")) << pieces[1]
            << QStringList{QStringLiteral("⚠️ 连接中断，回答不完整：服务出错 (HTTP 500)")};
    }
    void streamedAnswer() {
        QFETCH(bool, reasoningFirst);
        QFETCH(QStringList, pieces);
        QFETCH(Outcome, end);
        QFETCH(QString, shown);
        QFETCH(QStringList, endLines);
        Rig rig;
        QVERIFY(rig.selectionSent(QStringLiteral("Hello. World.")));
        const FakeTranslator::Call call = rig.translator->call(0);
        if (reasoningFirst) {
            call.progress({QString(), true});
            QCoreApplication::sendPostedEvents();
            QCOMPARE(rig.desktop->loadingShown.last(), QStringLiteral("模型正在思考，稍后开始输出译文"));
        }
        QVERIFY(rig.desktop->loadingVisible && !rig.desktop->shown);
        for (const QString& piece : pieces) {
            call.progress({piece, false});
            QCoreApplication::sendPostedEvents();
            QCOMPARE(rig.desktop->shown->markdown, piece);
            QVERIFY(!rig.desktop->loadingVisible && !rig.desktop->cancelKey);
        }
        rig.answer(end);
        QCOMPARE(rig.desktop->results.size(), 1);
        QCOMPARE(rig.desktop->results[0].markdown, shown);
        QCOMPARE(rig.desktop->results[0].endLines, endLines);
        QCOMPARE(rig.desktop->notifications.size(), endLines.isEmpty() ? 1 : 0);
        QVERIFY(rig.alerts.opened.isEmpty());
    }

    // Closing the panel while the answer arrives ends the request; nothing later shows.
    void panelClosedWhileStreaming() {
        Rig rig;
        QVERIFY(rig.selectionSent(QStringLiteral("Hello")));
        const FakeTranslator::Call call = rig.translator->call(0);
        call.progress({QStringLiteral("你"), false});
        QCoreApplication::sendPostedEvents();
        rig.desktop->closeResult();
        QCOMPARE(rig.translator->cancels.load(), 1);
        QVERIFY(!call.stillWanted());
        call.progress({QStringLiteral("你好"), false});
        rig.answer(Outcome::success(QStringLiteral("你好")));
        QCOMPARE(rig.desktop->shown->markdown, QStringLiteral("你"));
        QVERIFY(rig.desktop->results.isEmpty() && rig.desktop->notifications.isEmpty());
    }

    // A selection longer than one answer covers is cut at a sentence end; the page says so.
    void longSelectionIsCut() {
        Rig rig;
        QVERIFY(rig.selectionSent(QStringLiteral("Read this line. ").repeated(500)));
        const QString sent = rig.translator->call(0).text;
        QCOMPARE(sent, QStringLiteral("Read this line. ").repeated(375).trimmed());
        rig.answer(Outcome::success(QStringLiteral("答")));
        QCOMPARE(rig.desktop->results.value(0).originalText, sent);
        QCOMPARE(
            rig.desktop->results.value(0).notice,
            QStringLiteral("原文较长（共 8000 字），本次只翻译了前 5999 字。其余部分请另行选择后翻译。"));
    }

    // Nothing selected anywhere: the alert, nothing sent, no loading panel.
    void nothingSelected() {
        Rig rig;
        rig.pipeline->startTextTranslation();
        QTRY_COMPARE(rig.alerts.opened.size(), 1);
        QCOMPARE(rig.translator->count(), 0);
        QVERIFY(rig.desktop->loadingShown.isEmpty());
        QCOMPARE(rig.selection.clipboard->restores, 0); // the clipboard was never touched
    }

    // The selection is read from the window captured last (at the hotkey, or as the tray's
    // menu opened), not from the one in front when the translation starts.
    void readsTheCapturedSource() {
        Rig rig; // captured pid 4242
        rig.selection.probe->source = fakeSource(777);
        QVERIFY(rig.selectionSent(QStringLiteral("a")));
        QCOMPARE(rig.selection.accessibility->lastPid, 4242);
    }

    // Esc, or the loading panel closed from its frame, while the request runs: its late
    // answer shows nothing, and a request still on its way is not wanted any more.
    void escapeDuringTheRequest_data() {
        QTest::addColumn<bool>("screenshot");
        QTest::addColumn<bool>("closeButton");
        QTest::newRow("selection, Esc") << false << false;
        QTest::newRow("screenshot, Esc") << true << false;
        QTest::newRow("selection, close button") << false << true;
        QTest::newRow("screenshot, close button") << true << true;
    }
    void escapeDuringTheRequest() {
        QFETCH(bool, screenshot);
        QFETCH(bool, closeButton);
        Rig rig;
        QVERIFY(screenshot ? rig.screenshotSent({line(QStringLiteral("Hello"), QRectF(10, 10, 200, 20))})
                           : rig.selectionSent(QStringLiteral("Hello")));
        const qint64 generation = rig.pipeline->currentTaskGeneration();
        (closeButton ? rig.desktop->closeLoading : rig.desktop->cancelKey)();
        QCOMPARE(rig.pipeline->currentTaskGeneration(), generation + 1);
        QCOMPARE(rig.translator->cancels.load(), 1);
        QVERIFY(!rig.pipeline->isLoading() && !rig.desktop->loadingVisible && !rig.desktop->cancelKey);
        QVERIFY(!rig.translator->call(0).stillWanted());

        rig.answer(Outcome::success(QStringLiteral("late")));
        rig.answer(Outcome::failure());
        QVERIFY(rig.desktop->results.isEmpty());
        QVERIFY(rig.desktop->notifications.isEmpty());
        QVERIFY(rig.alerts.opened.isEmpty());
        // Free for the next translation.
        rig.selection.accessibility->answer = QStringLiteral("next");
        rig.pipeline->startTextTranslation();
        QTRY_COMPARE(rig.translator->count(), 2);
    }

    // A keyring being unlocked: the panel says what the translation waits for, until the key
    // store answers; leaving gives up the wait rather than wait for it.
    void waitingForTheKeyStore() {
        Rig rig;
        QVERIFY(rig.selectionSent(QStringLiteral("Hi")));
        const FakeTranslator::Call call = rig.translator->call(0);
        call.wait.waiting(true);
        QTRY_COMPARE(rig.desktop->loadingShown.last(),
                     QStringLiteral("正在等待解锁密钥环，请在弹出的窗口中输入密码"));
        call.wait.waiting(false);
        QTRY_COMPARE(rig.desktop->loadingShown.last(), QStringLiteral("划词翻译 → AI 翻译分析"));
        rig.pipeline.reset();
        QVERIFY(!call.stillWanted());
    }

    // Esc cannot be had: the translation goes on without it.
    void cancelKeyTaken() {
        Rig rig;
        rig.desktop->cancelKeyFailure = QStringLiteral("该组合键已被其他程序占用");
        QVERIFY(rig.selectionSent(QStringLiteral("Hi")));
        QVERIFY(rig.desktop->loadingVisible);
        rig.answer(Outcome::success(QStringLiteral("答")));
        QTRY_COMPARE(rig.desktop->results.size(), 1);
    }

    // The prompt to switch on the desktop's accessibility support: once per run, only after
    // a selection that neither AT-SPI nor PRIMARY gave, and only while it is off.
    void accessibilityPrompt_data() {
        QTest::addColumn<OptionalText>("accessible");
        QTest::addColumn<OptionalText>("copied");
        QTest::addColumn<State>("state");
        QTest::addColumn<bool>("prompted");
        const OptionalText none;
        QTest::newRow("read through AT-SPI") << OptionalText("text") << none << State::disabled << false;
        QTest::newRow("only the copy found it") << none << OptionalText("text") << State::disabled << true;
        QTest::newRow("nothing found") << none << none << State::disabled << true;
        QTest::newRow("no accessibility bus") << none << none << State::unavailable << true;
        QTest::newRow("support already on") << none << none << State::enabled << false;
    }
    void accessibilityPrompt() {
        QFETCH(OptionalText, accessible);
        QFETCH(OptionalText, copied);
        QFETCH(State, state);
        QFETCH(bool, prompted);
        Rig rig;
        rig.accessibility->state = state;
        rig.selection.accessibility->answer = accessible;
        FakeClipboard* clipboard = rig.selection.clipboard;
        if (copied)
            rig.selection.keyboard->onCopy = [clipboard, copied] { clipboard->change(copied); };
        for (int run = 0; run < 2; ++run) {
            rig.pipeline->startTextTranslation();
            QTRY_VERIFY(rig.translator->count() == run + 1 || rig.alerts.opened.size() == run + 1);
            if (rig.pipeline->isLoading())
                rig.desktop->cancelKey();
            if (rig.alerts.opened.size() == run + 1) {
                // The prompt waits for the no-text alert's answer: it would cover the alert.
                QCoreApplication::processEvents();
                if (run == 0)
                    QCOMPARE(rig.desktop->prompts, 0);
                rig.alerts.answers.last()(0);
            }
        }
        QCOMPARE(rig.desktop->prompts, prompted ? 1 : 0);
    }

    void accessibilityPromptAnswers_data() {
        QTest::addColumn<bool>("enable");
        QTest::addColumn<OptionalText>("failure");
        QTest::newRow("later") << false << OptionalText();
        QTest::newRow("switched on") << true << OptionalText();
        QTest::newRow("switching failed")
            << true << OptionalText("桌面没有运行辅助功能总线（org.a11y.Bus）。");
    }
    void accessibilityPromptAnswers() {
        QFETCH(bool, enable);
        QFETCH(OptionalText, failure);
        Rig rig;
        rig.accessibility->enableFailure = failure;
        rig.pipeline->startTextTranslation();
        QTRY_COMPARE(rig.alerts.opened.size(), 1); // nothing selected
        rig.alerts.answers.last()(0);
        QTRY_VERIFY(rig.desktop->promptAnswer);
        rig.alerts.opened.clear();
        rig.desktop->promptAnswer(enable);
        QCOMPARE(rig.accessibility->enables, enable ? 1 : 0);
        QCOMPARE(rig.alerts.opened.size(), failure ? 1 : 0);
        if (failure)
            QCOMPARE(rig.alerts.opened[0].informativeText, *failure);
    }

    // From what OCR read to what is sent, shown and said.
    void screenshotOutcomes_data() {
        QTest::addColumn<QList<TextObservation>>("lines");
        QTest::addColumn<bool>("table");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<QString>("alert");
        const QList<TextObservation> paragraph{line("The quick brown fox", QRectF(10, 10, 300, 20)),
                                               line("jumps over the dog.", QRectF(10, 34, 280, 20))};
        QList<TextObservation> cells;
        for (int row = 0; row < 3; ++row) {
            cells.append(line(QStringLiteral("Item %1").arg(row), QRectF(10, 10 + 40 * row, 90, 20)));
            cells.append(line(QStringLiteral("%1 kg").arg(row * 7), QRectF(300, 10 + 40 * row, 60, 20)));
        }
        const Outcome answer = Outcome::success(QStringLiteral("## 中文翻译\n狐狸"));
        QTest::newRow("paragraph") << paragraph << false << answer << QString();
        QTest::newRow("table") << cells << true << answer << QString();
        QTest::newRow("model failed")
            << paragraph << false << Outcome::failure(QStringLiteral("连接被拒绝 (connection refused)"))
            << "AI 翻译失败。\n原因：连接被拒绝 (connection refused)\nOCR 已识别文本：\n"
               "The quick brown fox\njumps over the dog.";
        QTest::newRow("missing key") << paragraph << false << Outcome::missingKey() << QString();
        // The alert shows the first 200 user-perceived characters of what OCR read.
        const QString head = QString(199, QLatin1Char('a')) + QStringLiteral("👍🏽");
        QTest::newRow("long text cut in the alert")
            << QList<TextObservation>{line(head + QStringLiteral("tail"), QRectF(10, 10, 580, 20))} << false
            << Outcome::failure(QStringLiteral("请求超时 (timeout)"))
            << QStringLiteral("AI 翻译失败。\n原因：请求超时 (timeout)\nOCR 已识别文本：\n") + head;
    }
    void screenshotOutcomes() {
        QFETCH(QList<TextObservation>, lines);
        QFETCH(bool, table);
        QFETCH(Outcome, outcome);
        QFETCH(QString, alert);
        Rig rig;
        QVERIFY(rig.screenshotSent(lines));
        QCOMPARE(rig.desktop->loadingShown.size(), 1);
        const QList<OCRBlock> blocks = *rig.ocr.recognizeWithPositions(kCrop);
        const std::optional<QString> markdown = TableExtractor::tableMarkdown(blocks);
        QCOMPARE(bool(markdown), table);
        const QString sent = table ? *markdown : TableExtractor::flatText(blocks);
        QCOMPARE(rig.translator->call(0).text, sent);
        QVERIFY(!rig.translator->call(0).onMainThread);
        rig.answer(outcome);
        rig.verifyEnd(outcome, sent, QRectF(1040.7, 160.2, 600, 200), alert); // on the desktop
    }

    // Nothing to translate in the region: the loading panel, then the alert.
    void nothingRecognised_data() {
        QTest::addColumn<QList<TextObservation>>("lines");
        QTest::newRow("no lines") << QList<TextObservation>{};
        QTest::newRow("only blanks") << QList<TextObservation>{
            line(QStringLiteral("  "), QRectF(10, 10, 50, 20))};
    }
    void nothingRecognised() {
        QFETCH(QList<TextObservation>, lines);
        Rig rig;
        rig.recognizer->lines = lines;
        rig.pipeline->start();
        rig.desktop->deliver({QRectF(0, 0, 600, 200), QRectF(0, 0, 600, 200), kCrop, {}});
        QCOMPARE(rig.desktop->loadingShown.size(), 1);
        QTRY_COMPARE(rig.alerts.opened.size(), 1);
        QVERIFY(!rig.pipeline->isLoading());
        QCOMPARE(rig.translator->count(), 0);
    }

    // Esc while OCR runs: recognition stops and nothing is sent.
    void escapeDuringRecognition() {
        Rig rig;
        rig.recognizer->runUntilCancelled = true;
        rig.pipeline->start();
        rig.desktop->deliver({QRectF(0, 0, 600, 200), QRectF(0, 0, 600, 200), kCrop, {}});
        QTRY_VERIFY(rig.recognizer->running);
        rig.desktop->cancelKey();
        rig.pipeline->waitForWorkers();
        QCoreApplication::sendPostedEvents();
        QVERIFY(!rig.recognizer->running);
        QVERIFY(!rig.pipeline->isLoading() && !rig.desktop->loadingVisible);
        QCOMPARE(rig.translator->count(), 0);
        QVERIFY(rig.alerts.opened.isEmpty());
    }

    // The overlay ended without a region, or cannot run here.
    void noRegion() {
        Rig rig;
        rig.pipeline->start();
        // A capture service that failed says why.
        rig.desktop->deliver({QRectF(), QRectF(), QImage(), QStringLiteral("截图服务没有回应")});
        QVERIFY(rig.desktop->loadingShown.isEmpty());
        QVERIFY(!rig.pipeline->isLoading());
        QCoreApplication::sendPostedEvents();
        QCOMPARE(rig.alerts.opened.value(0).informativeText, QStringLiteral("截图服务没有回应"));
        rig.alerts.opened.clear();

        rig.desktop->unavailableReason = QStringLiteral("截图翻译暂时需要 X11 会话");
        const qint64 generation = rig.pipeline->currentTaskGeneration();
        rig.pipeline->start();
        QCoreApplication::sendPostedEvents();
        QCOMPARE(rig.desktop->captures, 1);
        QCOMPARE(rig.pipeline->currentTaskGeneration(), generation);
        QCOMPARE(rig.alerts.opened.size(), 1);
        QCOMPARE(rig.alerts.opened[0].informativeText, rig.desktop->unavailableReason);
    }

    void loadingPanelPlacement_data() {
        using Screen = LoadingPanelPlacement::Screen;
        QTest::addColumn<QList<Screen>>("screens");
        QTest::addColumn<QPointF>("pointer");
        QTest::addColumn<QRectF>("frame");
        // A notebook with a top bar beside a larger screen with a dock on its left (Qt's coordinates).
        const QList<Screen> two{{QRectF(0, 0, 1512, 982), QRectF(0, 25, 1512, 957)},
                                {QRectF(1512, 0, 1920, 1080), QRectF(1582, 0, 1850, 1080)}};
        QTest::newRow("first screen") << two << QPointF(10, 10) << QRectF(606, 433.5, 300, 140);
        QTest::newRow("on the edge between them") << two << QPointF(1512, 500) << QRectF(2357, 470, 300, 140);
        QTest::newRow("below the shorter screen: main")
            << two << QPointF(100, 1000) << QRectF(606, 433.5, 300, 140);
        QTest::newRow("no screen") << QList<Screen>{} << QPointF(5, 5) << QRectF(100, 100, 300, 140);
    }
    void loadingPanelPlacement() {
        QFETCH(QList<LoadingPanelPlacement::Screen>, screens);
        QFETCH(QPointF, pointer);
        QFETCH(QRectF, frame);
        QCOMPARE(LoadingPanelPlacement::frame(screens, 0, pointer, QSizeF(300, 140)), frame);
    }
};

QTEST_GUILESS_MAIN(TestTranslationPipeline)
#include "tst_translation_pipeline.moc"
