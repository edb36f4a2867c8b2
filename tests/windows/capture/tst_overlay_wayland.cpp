#include "FakeScreenCapture.h"
#include "support/MutterKeyboard.h"
#include "support/TestEnvironment.h"
#include "support/X11Desktop.h"
#include "windows/capture/OverlayView.h"
#include "windows/capture/ScreenshotEngine.h"

#include <QApplication>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <memory>

// The frozen screen in a headless GNOME Shell or KWin session (scripts/wayland/), on one
// monitor or two; the desktop's picture service is a fake.
namespace {

constexpr int kPatience = 15000;

QRgb pointCode(int x, int y) {
    return qRgb(x & 0xff, y & 0xff, ((x >> 8) << 4) | (y >> 8));
}

// Pixel (x, y) shows point (x / 2, y / 2); each screen is a monitor at scale 2.
ScreenCapture::Picture desktopAt2x() {
    QRect root;
    for (QScreen* screen : QGuiApplication::screens())
        root = root.united(screen->geometry());
    auto picture = ScreenCapture::Picture::taken(QImage(root.size() * 2, QImage::Format_RGB32));
    for (int y = 0; y < picture.image.height(); ++y)
        for (int x = 0; x < picture.image.width(); ++x)
            picture.image.setPixel(x, y, pointCode(x / 2, y / 2));
    picture.wholeDesktop = true;
    for (QScreen* screen : QGuiApplication::screens())
        picture.monitors.append(
            {screen->geometry(), QRect(screen->geometry().topLeft() * 2, screen->size() * 2), 2});
    return picture;
}

} // namespace

class TestOverlayWayland : public QObject {
    Q_OBJECT
    TestEnvironment env;
    std::unique_ptr<MutterKeyboard> keyboard; // GNOME; KWin's is $VYRN_KINPUT
    std::unique_ptr<ScreenshotEngine> engine;
    QList<QImage> crops;
    QRectF frame; // of the screen the selection is on, as the panels are placed from it

    void startAndWaitForFocus() {
        auto service = std::make_unique<FakeScreenCapture>();
        FakeScreenCapture* fake = service.get();
        fake->picture = desktopAt2x();
        fake->overlayKind = ScreenCapture::Overlay::FocusedWindows;
        fake->answersLater = true;
        engine = std::make_unique<ScreenshotEngine>(std::move(service));
        crops.clear();
        engine->start([this](const QRectF&, const QImage& crop) {
            crops.append(crop);
            frame = engine->capturedScreenFrame();
        });
        QTimer::singleShot(100, engine.get(), [fake] { fake->answer(); });
        QTRY_COMPARE_WITH_TIMEOUT(engine->overlayViews().size(), QGuiApplication::screens().size(),
                                  kPatience);
        const QList<OverlayView*> views = engine->overlayViews();
        for (OverlayView* view : views) {
            QVERIFY(QTest::qWaitForWindowExposed(view, kPatience));
            QTRY_COMPARE_WITH_TIMEOUT(view->geometry(), view->screen()->geometry(), kPatience);
        }
        // Keys reach the capture through whichever of them the desktop focuses.
        QTRY_VERIFY_WITH_TIMEOUT(
            std::any_of(views.begin(), views.end(), [](OverlayView* view) { return view->isActiveWindow(); }),
            kPatience);
    }

private Q_SLOTS:
    void initTestCase() {
        if (qEnvironmentVariable("XDG_CURRENT_DESKTOP").contains(QStringLiteral("GNOME")) &&
            !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
            keyboard = std::make_unique<MutterKeyboard>();
            QVERIFY2(keyboard->isOpen(), qPrintable(keyboard->error()));
            QVERIFY(keyboard->leaveOverview());
        } else if (qEnvironmentVariableIsEmpty("VYRN_KINPUT")) {
            QSKIP("needs a headless Wayland session of scripts/wayland/");
        }
    }
    void cleanup() {
        engine.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Esc pressed through the compositor, as the user's keyboard; the pointer through Xwayland.
    void userEndsIt_data() {
        QTest::addColumn<int>("screen"); // where the drag is, or -1: Esc, -2: right-click
        QTest::newRow("escape") << -1;
        QTest::newRow("right click") << -2;
        for (int i = 0; i < QGuiApplication::screens().size(); ++i)
            QTest::addRow("drag on screen %d", i) << i;
    }
    void userEndsIt() {
        QFETCH(int, screen);
        startAndWaitForFocus();
        const QPoint from =
            QGuiApplication::screens().at(std::max(screen, 0))->geometry().topLeft() + QPoint(100, 60);
        const QPoint to = from + QPoint(200, 80);
        const QString pointer =
            QString::asprintf("mousemove %d %d ", from.x(), from.y()) +
            (screen == -2 ? QStringLiteral("click 3")
                          : QString::asprintf("mousedown 1 mousemove %d %d mousemove %d %d mouseup 1",
                                              to.x() - 50, to.y(), to.x(), to.y()));
        if (screen == -1)
            QVERIFY(keyboard ? keyboard->press({0xff1b})
                             : QProcess::execute(qEnvironmentVariable("VYRN_KINPUT"),
                                                 {QStringLiteral("key:1")}) == 0);
        else
            X11Desktop::xdotool(pointer.split(u' '));
        QTRY_COMPARE_WITH_TIMEOUT(crops.size(), 1, kPatience);
        QCOMPARE(crops.first().size(), screen < 0 ? QSize(0, 0) : QSize(400, 160));
        if (screen < 0)
            return;
        QCOMPARE(crops.first().pixel(0, 0) | 0xff000000u, pointCode(from.x(), from.y()));
        const QRect geometry = QGuiApplication::screens().at(screen)->geometry();
        QCOMPARE(QRectF(frame.x(), 0, frame.width(), frame.height()),
                 QRectF(geometry.x(), 0, geometry.width(), geometry.height()));
    }
};

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    TestOverlayWayland test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_overlay_wayland.moc"
