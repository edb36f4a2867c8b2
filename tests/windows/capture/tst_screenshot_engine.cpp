#include "FakeScreenCapture.h"
#include "platform/null/NullScreenCapture.h"
#include "support/TestEnvironment.h"
#include "windows/capture/OverlayView.h"
#include "windows/capture/ScreenshotEngine.h"

#include <QApplication>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

struct Delivery {
    QRectF selection;
    QImage crop;
    bool overlayShown = false; // when the callback ran
    QString failure;
};

class Recorder {
public:
    QList<Delivery> deliveries;
    ScreenshotEngine* engine = nullptr;

    ScreenshotEngine::DoneCallback callback() {
        return [this](const QRectF& selection, const QImage& crop) {
            deliveries.append({selection, crop, engine->overlayView() && engine->overlayView()->isVisible(),
                               engine->failureMessage()});
        };
    }
};

} // namespace

// A fake display service on Qt's offscreen screen, pictures at 2x.
class TestScreenshotEngine : public QObject {
    Q_OBJECT
    TestEnvironment env;
    FakeScreenCapture* capture = nullptr;
    std::unique_ptr<ScreenshotEngine> engine;
    Recorder recorder;

private Q_SLOTS:
    void init() {
        auto fake = std::make_unique<FakeScreenCapture>();
        QImage image(QGuiApplication::primaryScreen()->size() * 2, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        fake->picture = ScreenCapture::Picture::taken(image);
        capture = fake.get();
        engine = std::make_unique<ScreenshotEngine>(std::move(fake));
        recorder = Recorder();
        recorder.engine = engine.get();
    }
    void cleanup() {
        engine.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void selections_data() {
        QTest::addColumn<QPointF>("from");
        QTest::addColumn<QPointF>("to");
        QTest::addColumn<QRectF>("selection");
        QTest::addColumn<QSize>("crop");
        QTest::newRow("dragged up and right")
            << QPointF(100, 100) << QPointF(150, 120) << QRectF(100, 100, 50, 20) << QSize(100, 40);
        QTest::newRow("dragged down and left")
            << QPointF(150, 120) << QPointF(100, 100) << QRectF(100, 100, 50, 20) << QSize(100, 40);
        QTest::newRow("10.0 wide: cancelled")
            << QPointF(100, 100) << QPointF(110, 300) << QRectF() << QSize(0, 0);
        QTest::newRow("10.5 wide") << QPointF(100, 100) << QPointF(110.5, 300) << QRectF(100, 100, 10.5, 200)
                                   << QSize(21, 400);
        QTest::newRow("click: cancelled")
            << QPointF(100, 100) << QPointF(100, 100) << QRectF() << QSize(0, 0);
    }
    void selections() {
        QFETCH(QPointF, from);
        QFETCH(QPointF, to);
        QFETCH(QRectF, selection);
        QFETCH(QSize, crop);
        engine->start(recorder.callback());
        QVERIFY(engine->isActive());
        engine->mouseDown(from);
        engine->mouseDragged(to);
        engine->mouseUp(to);
        QCOMPARE(recorder.deliveries.size(), 1);
        const Delivery& delivery = recorder.deliveries.first();
        QCOMPARE(delivery.selection, selection);
        QCOMPARE(delivery.crop.size(), crop);
        QVERIFY(delivery.overlayShown);
        QVERIFY(!engine->isActive());
        QVERIFY(!engine->overlayView());
        QCOMPARE(capture->releases, 1);
    }

    void secondStartIsRefused() {
        engine->start(recorder.callback());
        Recorder second;
        second.engine = engine.get();
        engine->start(second.callback());
        QCOMPARE(second.deliveries.size(), 1);
        QCOMPARE(second.deliveries.first().selection, QRectF());
        QVERIFY(recorder.deliveries.isEmpty());
        QVERIFY(engine->isActive());
        engine->mouseDown(QPointF(10, 10));
        engine->mouseUp(QPointF(60, 60));
        QCOMPARE(recorder.deliveries.size(), 1);
        QCOMPARE(recorder.deliveries.first().selection, QRectF(10, 10, 50, 50));
    }

    // A callback that starts the next capture at once keeps it.
    void callbackMayStartAgain() {
        bool restarted = false;
        engine->start([&](const QRectF&, const QImage&) {
            engine->cleanup();
            engine->start(recorder.callback());
            restarted = engine->isActive();
        });
        engine->cancel();
        QVERIFY(restarted);
        QVERIFY(engine->isActive());
        QVERIFY(engine->overlayView());
    }

    // A desktop service answers later; until then the engine is busy, and when the wait ends
    // early the service is told and its late answer ignored.
    void endsWhileWaiting_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("failureShown");
        QTest::newRow("time limit") << "time" << true;
        QTest::newRow("escape in a window of ours") << "escape" << false;
        QTest::newRow("engine cancelled") << "cancel" << false;
    }
    void endsWhileWaiting() {
        QFETCH(QString, how);
        QFETCH(bool, failureShown);
        capture->answersLater = true;
        engine->setCaptureTimeout(std::chrono::milliseconds(50));
        engine->start(recorder.callback());
        QVERIFY(engine->isWaiting() && !engine->overlayView());
        Recorder second;
        second.engine = engine.get();
        engine->start(second.callback());
        QCOMPARE(second.deliveries.size(), 1);
        QVERIFY(recorder.deliveries.isEmpty() && engine->isActive());

        QWidget settings;
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        if (how == u"escape")
            QApplication::sendEvent(&settings, &escape);
        else if (how == u"cancel")
            engine->cancel();
        QTRY_COMPARE(recorder.deliveries.size(), 1);
        QCOMPARE(recorder.deliveries.first().selection, QRectF());
        QCOMPARE(!recorder.deliveries.first().failure.isEmpty(), failureShown);
        QCOMPARE(capture->cancels, 1);
        capture->answer();
        QVERIFY(!engine->isActive() && !engine->overlayView());
    }

    // At once (X11) or later (desktop services): the user hears of it where there is something to say.
    void captureFailure_data() {
        using Status = ScreenCapture::Picture::Status;
        QTest::addColumn<bool>("nullService");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("permissionAsked");
        QTest::newRow("call failed") << false << int(Status::Failed) << "" << 0;
        QTest::newRow("no capture here") << true << int(Status::Failed) << "" << 0;
        QTest::newRow("refused, with a message") << false << int(Status::Failed) << "截图被拒绝" << 0;
        QTest::newRow("permission needed") << false << int(Status::NeedsPermission) << "" << 1;
    }
    void captureFailure() {
        QFETCH(bool, nullService);
        QFETCH(int, status);
        QFETCH(QString, message);
        QFETCH(int, permissionAsked);
        if (nullService) {
            engine = std::make_unique<ScreenshotEngine>(
                std::make_unique<NullScreenCapture>(QStringLiteral("截图翻译暂时需要 X11 会话")));
            recorder.engine = engine.get();
        } else {
            capture->picture = ScreenCapture::Picture::failed(QStringLiteral("Screenshot"), message);
            capture->picture.status = ScreenCapture::Picture::Status(status);
            capture->answersLater = !message.isEmpty() || permissionAsked;
        }
        QSignalSpy permission(engine.get(), &ScreenshotEngine::permissionNeeded);
        engine->start(recorder.callback());
        if (!nullService)
            capture->answer();
        QCOMPARE(recorder.deliveries.size(), 1);
        QCOMPARE(recorder.deliveries.first().selection, QRectF());
        QCOMPARE(recorder.deliveries.first().failure, message);
        QCOMPARE(permission.size(), permissionAsked);
        QVERIFY(!recorder.deliveries.first().overlayShown);
        QVERIFY(!engine->isActive());
        QCOMPARE(engine->unavailableReason().isEmpty(), !nullService);
        for (QWidget* widget : QApplication::topLevelWidgets())
            QVERIFY(!widget->isVisible());
    }
};

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qunsetenv("DISPLAY"); // keeps the offscreen plugin off the X server
    qputenv("QT_SCALE_FACTOR", "1");
    QApplication app(argc, argv);
    TestScreenshotEngine test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_screenshot_engine.moc"
