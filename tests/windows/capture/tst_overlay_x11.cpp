#include "PrivateDisplay.h"
#include "platform/PlatformLoader.h"
#include "platform/PlatformServices.h"
#include "platform/ScreenCapture.h"
#include "support/TestEnvironment.h"
#include "support/X11Desktop.h"
#include "windows/capture/OverlayView.h"
#include "windows/capture/ScreenshotEngine.h"

#include <QApplication>
#include <QLineEdit>
#include <QPainter>
#include <QProcess>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace {

// Generous: each step waits on the X server and the window manager, which a busy machine slows.
constexpr int kPatience = 15000;

// Cells of 8 points, each its own colour, so that any shift of the crop shows.
class PatternWindow : public QWidget {
public:
    PatternWindow() {
        setWindowTitle(QStringLiteral("VYRN 测试图案"));
        setFixedSize(400, 240);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        for (int x = 0; x < width(); x += 8)
            for (int y = 0; y < height(); y += 8)
                painter.fillRect(x, y, 8, 8, QColor(x / 8 * 5, y / 8 * 8, 255 - x / 8 * 3));
    }
};

template <typename T> using Reply = std::unique_ptr<T, decltype(&std::free)>;
template <typename T> Reply<T> reply(T* data) {
    return Reply<T>(data, &std::free);
}

// A second client of the display, as another program would be.
class OtherClient {
public:
    OtherClient() : m_connection(xcb_connect(nullptr, nullptr)) {
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    }
    ~OtherClient() { xcb_disconnect(m_connection); }

    bool grabKeyboard() {
        auto answer =
            reply(xcb_grab_keyboard_reply(m_connection,
                                          xcb_grab_keyboard(m_connection, 0, m_root, XCB_CURRENT_TIME,
                                                            XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
                                          nullptr));
        return answer && answer->status == XCB_GRAB_STATUS_SUCCESS;
    }
    void ungrab() {
        xcb_ungrab_keyboard(m_connection, XCB_CURRENT_TIME);
        xcb_ungrab_pointer(m_connection, XCB_CURRENT_TIME);
        reply(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    }
    QPoint originOf(WId window) {
        auto answer = reply(xcb_translate_coordinates_reply(
            m_connection, xcb_translate_coordinates(m_connection, xcb_window_t(window), m_root, 0, 0),
            nullptr));
        return answer ? QPoint(answer->dst_x, answer->dst_y) : QPoint(-1, -1);
    }
    // What is on the screen there, whoever drew it.
    QRgb screenPixel(QPoint native) {
        auto answer =
            reply(xcb_get_image_reply(m_connection,
                                      xcb_get_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, m_root,
                                                    int16_t(native.x()), int16_t(native.y()), 1, 1, ~0u),
                                      nullptr));
        return answer ? *reinterpret_cast<const quint32*>(xcb_get_image_data(answer.get())) | 0xff000000u : 0;
    }

private:
    xcb_connection_t* m_connection;
    xcb_window_t m_root = 0;
};

bool xdotool(const QString& command) {
    return QProcess::execute(QStringLiteral("xdotool"), command.split(u' ')) == 0;
}

int mismatches(const QImage& seen, const QImage& expected) {
    if (seen.size() != expected.size())
        return -1;
    int count = 0;
    for (int y = 0; y < seen.height(); ++y)
        for (int x = 0; x < seen.width(); ++x)
            count += (seen.pixel(x, y) & 0xffffff) != (expected.pixel(x, y) & 0xffffff);
    return count;
}

struct Delivery {
    QRectF selection;
    QImage crop;
    bool overlayShown = false;
};

} // namespace

// Runs at 1x and, through QT_SCALE_FACTOR=2, at 2x.
class TestOverlayX11 : public QObject {
    Q_OBJECT
    TestEnvironment env;
    PatternWindow pattern;
    QLineEdit typing;
    QWidget keptAbove{nullptr, Qt::WindowStaysOnTopHint};
    std::unique_ptr<ScreenshotEngine> engine;
    QList<Delivery> deliveries;
    qreal scale = 1;

    QPoint native(QWidget* window, QPoint logical) {
        return OtherClient().originOf(window->winId()) + logical * scale;
    }

    // The grabbed pointer's core events reach Qt in whole points; a drag between pixels
    // inside a point selects the whole point.
    QPoint onWholePoints(QPoint native) { return (QPointF(native) / scale).toPoint() * scale; }

    void startAndWaitForOverlay() {
        engine->start([this](const QRectF& selection, const QImage& crop) {
            deliveries.append({selection, crop, engine->overlayView() && engine->overlayView()->isVisible()});
        });
        QVERIFY(engine->overlayView());
        QSignalSpy painted(engine->overlayView(), &OverlayView::painted);
        QTRY_VERIFY_WITH_TIMEOUT(engine->holdsInput() && !painted.isEmpty(), kPatience);
    }

private Q_SLOTS:
    void initTestCase() {
        scale = QGuiApplication::primaryScreen()->devicePixelRatio();
        pattern.move(40, 40);
        typing.setWindowTitle(QStringLiteral("VYRN 测试输入"));
        typing.setGeometry(480, 40, 140, 40);
        keptAbove.setWindowTitle(QStringLiteral("VYRN 测试置顶"));
        keptAbove.setGeometry(20, 320, 60, 60);
        QPalette red = keptAbove.palette();
        red.setColor(QPalette::Window, QColor(200, 0, 0));
        keptAbove.setPalette(red);
        keptAbove.setAutoFillBackground(true);
        for (QWidget* window :
             {static_cast<QWidget*>(&pattern), static_cast<QWidget*>(&typing), &keptAbove}) {
            window->show();
            // The window manager maps it; on a busy machine that can take a while.
            QVERIFY2(QTest::qWaitForWindowExposed(window, 30000), qPrintable(window->windowTitle()));
        }
    }

    void init() {
        engine = std::make_unique<ScreenshotEngine>(
            std::move(PlatformLoader::load(SessionType::X11)->screenCapture));
        deliveries.clear();
    }
    void cleanup() {
        engine.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void dragDeliversTheWindowsPixels_data() {
        QTest::addColumn<QPoint>("from"); // in the pattern window, points
        QTest::addColumn<QPoint>("to");
        QTest::newRow("down and right") << QPoint(20, 30) << QPoint(220, 130);
        QTest::newRow("up and left") << QPoint(333, 201) << QPoint(101, 17);
    }
    void dragDeliversTheWindowsPixels() {
        QFETCH(QPoint, from);
        QFETCH(QPoint, to);
        const QPoint start = onWholePoints(native(&pattern, from)), end = onWholePoints(native(&pattern, to));
        OtherClient screen;
        const QPoint keptAboveInside = native(&keptAbove, QPoint(30, 30));
        QTRY_COMPARE_WITH_TIMEOUT(screen.screenPixel(keptAboveInside), qRgb(200, 0, 0), kPatience);
        QVERIFY(xdotool(QStringLiteral("mousemove %1 %2").arg(start.x()).arg(start.y())));
        startAndWaitForOverlay();
        QVERIFY(!X11Desktop::inputIsFree(true));
        // Panels and windows kept above others stay under the overlay; 85 % of the picture shows through.
        const QRgb dimmed = screen.screenPixel(keptAboveInside);
        QVERIFY2(std::abs(qRed(dimmed) - 170) <= 1 && qGreen(dimmed) == 0,
                 qPrintable(QString::number(dimmed, 16)));
        QVERIFY(xdotool(QStringLiteral("mousedown 1 mousemove %1 %2 mousemove %3 %2 mouseup 1")
                            .arg((start.x() + end.x()) / 2)
                            .arg(end.y())
                            .arg(end.x())));
        QTRY_COMPARE_WITH_TIMEOUT(deliveries.size(), 1, kPatience);
        QVERIFY(deliveries.first().overlayShown);

        const QRect pixels(QPoint(std::min(start.x(), end.x()), std::min(start.y(), end.y())),
                           QSize(std::abs(end.x() - start.x()), std::abs(end.y() - start.y())));
        const qreal screenHeight = QGuiApplication::primaryScreen()->geometry().height();
        const QRectF points(pixels.x() / scale, screenHeight - (pixels.y() + pixels.height()) / scale,
                            pixels.width() / scale, pixels.height() / scale);
        QCOMPARE(deliveries.first().selection, points);
        const QImage window = pattern.grab().toImage();
        const QImage expected = window.copy(pixels.translated(-native(&pattern, QPoint())));
        QCOMPARE(mismatches(deliveries.first().crop, expected), 0);

        QVERIFY(!engine->overlayView());
        QVERIFY(X11Desktop::inputIsFree(true));
        // Nothing dims the screen any more.
        QTRY_COMPARE_WITH_TIMEOUT(screen.screenPixel(pixels.topLeft() + QPoint(1, 1)),
                                  expected.pixel(1, 1) | 0xff000000u, kPatience);
    }

    // With one of our own windows focused (as the settings window may be), no key reaches it
    // while the overlay is up.
    void endsWithoutSelection_data() {
        QTest::addColumn<QString>("actions");
        QTest::newRow("escape") << "key z z Escape";
        QTest::newRow("escape while dragging")
            << "mousemove 200 200 mousedown 1 mousemove 260 240 key Escape";
        QTest::newRow("right click") << "mousemove 200 200 click 3";
        QTest::newRow("safety timer") << "";
    }
    void endsWithoutSelection() {
        QFETCH(QString, actions);
        typing.clear();
        QVERIFY(xdotool(QStringLiteral("windowactivate --sync %1").arg(typing.winId())));
        QTRY_VERIFY_WITH_TIMEOUT(typing.hasFocus(), kPatience);
        startAndWaitForOverlay();
        if (actions.isEmpty())
            engine->setSafetyTimeout(std::chrono::milliseconds(300)); // restarts the running timer
        else
            QVERIFY(xdotool(actions));
        QTRY_COMPARE_WITH_TIMEOUT(deliveries.size(), 1, kPatience);
        QCOMPARE(deliveries.first().selection, QRectF());
        QVERIFY(deliveries.first().crop.isNull());
        QVERIFY(deliveries.first().overlayShown);
        QVERIFY(!engine->overlayView());
        QVERIFY(X11Desktop::inputIsFree(true));
        // A late release goes to nobody; the keys typed after it prove it was processed.
        QVERIFY(xdotool(QStringLiteral("mouseup 1")));
        QVERIFY(xdotool(QStringLiteral("type ok")));
        QTRY_COMPARE_WITH_TIMEOUT(typing.text(), QStringLiteral("ok"), kPatience);
        QCOMPARE(deliveries.size(), 1);
    }

    // A desktop shortcut's keys may still be down: another program's grab is waited out for
    // a second.
    void waitsForInputHeldElsewhere_data() {
        QTest::addColumn<bool>("released");
        QTest::newRow("released in time") << true;
        QTest::newRow("never released") << false;
    }
    void waitsForInputHeldElsewhere() {
        QFETCH(bool, released);
        OtherClient other;
        QVERIFY(other.grabKeyboard());
        engine->start([this](const QRectF& selection, const QImage& crop) {
            deliveries.append({selection, crop});
        });
        QVERIFY(engine->isActive());
        QVERIFY(!engine->holdsInput());
        if (released) {
            other.ungrab();
            QTRY_VERIFY_WITH_TIMEOUT(engine->holdsInput(), kPatience);
            QVERIFY(xdotool(QStringLiteral("key Escape")));
        }
        QTRY_COMPARE_WITH_TIMEOUT(deliveries.size(), 1, kPatience);
        QCOMPARE(deliveries.first().selection, QRectF());
        QVERIFY(!engine->overlayView());
        other.ungrab();
        QVERIFY(X11Desktop::inputIsFree(true));
    }
};

int main(int argc, char** argv) {
    PrivateDisplay display;
    const QString failure = display.start(QSize(1280, 800), true);
    if (!failure.isEmpty()) {
        qCritical("%s", qPrintable(failure));
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    // Nothing here draws with OpenGL; Mesa's GLX driver, unloaded at exit, leaves
    // allocations the leak checker cannot name.
    qputenv("QT_XCB_GL_INTEGRATION", "none");
    QApplication app(argc, argv);
    TestOverlayX11 test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_overlay_x11.moc"
