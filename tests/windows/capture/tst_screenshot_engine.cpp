#include "FakeScreenCapture.h"
#include "platform/null/NullScreenCapture.h"
#include "support/TestEnvironment.h"
#include "windows/capture/OverlayView.h"
#include "windows/capture/ScreenshotEngine.h"

#include <QApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryFile>
#include <QTest>

#include <memory>

namespace {

struct Delivery {
    QRectF selection;
    QImage crop;
    bool overlayShown = false; // when the callback ran
    QString failure;
    QRectF frame;
};

class Recorder {
public:
    QList<Delivery> deliveries;
    ScreenshotEngine* engine = nullptr;

    ScreenshotEngine::DoneCallback callback() {
        return [this](const QRectF& selection, const QImage& crop) {
            deliveries.append({selection, crop, engine->overlayView() && engine->overlayView()->isVisible(),
                               engine->failureMessage(), engine->capturedScreenFrame()});
        };
    }
};

} // namespace

// A fake display service on Qt's offscreen screens (1280 × 800 and 1024 × 768 to its right),
// pictures at 2x.
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
        QVERIFY(engine->isActive() && engine->isWaiting());
        QVERIFY(!engine->overlayView());
        Recorder second;
        second.engine = engine.get();
        engine->start(second.callback());
        QCOMPARE(second.deliveries.size(), 1);
        QVERIFY(recorder.deliveries.isEmpty());
        QCOMPARE(capture->cancels, 0);

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
        QVERIFY(!engine->isActive());
        capture->answer();
        QCOMPARE(recorder.deliveries.size(), 1);
        QVERIFY(!engine->overlayView());
    }

    void failedAnswer_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("permissionAsked");
        using Status = ScreenCapture::Picture::Status;
        QTest::newRow("refused, with a message") << int(Status::Failed) << "截图被拒绝" << 0;
        QTest::newRow("failed quietly") << int(Status::Failed) << "" << 0;
        QTest::newRow("permission needed") << int(Status::NeedsPermission) << "" << 1;
        QTest::newRow("taken without a picture") << int(Status::Taken) << "" << 0;
    }
    void failedAnswer() {
        QFETCH(int, status);
        QFETCH(QString, message);
        QFETCH(int, permissionAsked);
        capture->answersLater = true;
        capture->picture = ScreenCapture::Picture::failed(QStringLiteral("Screenshot"), message);
        capture->picture.status = ScreenCapture::Picture::Status(status);
        QSignalSpy permission(engine.get(), &ScreenshotEngine::permissionNeeded);
        engine->start(recorder.callback());
        capture->answer();
        QCOMPARE(recorder.deliveries.size(), 1);
        QCOMPARE(recorder.deliveries.first().selection, QRectF());
        QCOMPARE(recorder.deliveries.first().failure, message);
        QCOMPARE(permission.size(), permissionAsked);
        QVERIFY(!engine->isActive());
        QCOMPARE(capture->cancels, 0);
    }

    // A whole-desktop picture goes to a focused window on every screen; the drag's screen decides.
    void focusedWindowsOnEveryScreen_data() {
        QTest::addColumn<QList<ScreenCapture::MonitorArea>>("monitors");
        QTest::addColumn<QSize>("picture");
        QTest::newRow("monitors told")
            << QList<ScreenCapture::MonitorArea>{{QRect(0, 0, 1280, 800), QRect(0, 0, 2560, 1600), 2},
                                                 {QRect(1280, 0, 1024, 768), QRect(2560, 0, 2048, 1536), 2}}
            << QSize(4608, 1600);
        QTest::newRow("monitors not told") << QList<ScreenCapture::MonitorArea>{} << QSize(4608, 1600);
    }
    void focusedWindowsOnEveryScreen() {
        QFETCH(QList<ScreenCapture::MonitorArea>, monitors);
        QFETCH(QSize, picture);
        QCOMPARE(QGuiApplication::screens().size(), 2);
        QImage desktop(picture, QImage::Format_RGB32);
        desktop.fill(Qt::black);
        // On the right screen: a blue square 100 px in from its corner.
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 200; ++x)
                desktop.setPixel(2560 + 100 + x, 100 + y, qRgb(0, 0, 255));
        capture->picture = ScreenCapture::Picture::taken(desktop);
        capture->picture.wholeDesktop = true;
        capture->picture.monitors = monitors;
        capture->overlayKind = ScreenCapture::Overlay::FocusedWindows;
        capture->answersLater = true;
        engine->start(recorder.callback());
        capture->answer();
        const QList<OverlayView*> views = engine->overlayViews();
        QCOMPARE(views.size(), 2);
        QVERIFY(!(views[0]->windowFlags() & Qt::X11BypassWindowManagerHint));
        QCOMPARE(views[1]->geometry(), QRect(1280, 0, 1024, 768));
        // 50 points in from the right screen's top-left corner, 100 points large (y upwards).
        engine->mouseDown(QPointF(50, 768 - 50), views[1]);
        engine->mouseDown(QPointF(10, 10), views[0]); // a second button on another screen
        engine->mouseUp(QPointF(150, 768 - 150));
        QCOMPARE(recorder.deliveries.size(), 1);
        QCOMPARE(recorder.deliveries.first().frame, QRectF(1280, 32, 1024, 768));
        const QImage crop = recorder.deliveries.first().crop;
        QCOMPARE(crop.size(), QSize(200, 200));
        QCOMPARE(crop.pixelColor(0, 0), QColor(Qt::blue));
        QCOMPARE(crop.pixelColor(199, 199), QColor(Qt::blue));
        QCOMPARE(capture->releases, 0);
    }

    void captureFailure_data() {
        QTest::addColumn<bool>("nullService");
        QTest::newRow("call failed") << false;
        QTest::newRow("no capture here") << true;
    }
    void captureFailure() {
        QFETCH(bool, nullService);
        if (nullService) {
            engine = std::make_unique<ScreenshotEngine>(
                std::make_unique<NullScreenCapture>(QStringLiteral("截图翻译暂时需要 X11 会话")));
            recorder.engine = engine.get();
        } else {
            capture->picture = ScreenCapture::Picture::failed(QStringLiteral("xcb_get_image"));
        }
        engine->start(recorder.callback());
        QCOMPARE(recorder.deliveries.size(), 1);
        QCOMPARE(recorder.deliveries.first().selection, QRectF());
        QVERIFY(!recorder.deliveries.first().overlayShown);
        QVERIFY(!engine->isActive());
        QCOMPARE(engine->unavailableReason().isEmpty(), !nullService);
        for (QWidget* widget : QApplication::topLevelWidgets())
            QVERIFY(!widget->isVisible());
    }
};

int main(int argc, char** argv) {
    QTemporaryFile screens;
    if (!screens.open())
        return 1;
    screens.write(R"({"screens": [{"name": "left", "x": 0, "y": 0, "width": 1280, "height": 800},
                  {"name": "right", "x": 1280, "y": 0, "width": 1024, "height": 768}]})");
    screens.flush();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + screens.fileName().toLocal8Bit());
    qunsetenv("DISPLAY"); // keeps the offscreen plugin off the X server
    qputenv("QT_SCALE_FACTOR", "1");
    QApplication app(argc, argv);
    TestScreenshotEngine test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_screenshot_engine.moc"
