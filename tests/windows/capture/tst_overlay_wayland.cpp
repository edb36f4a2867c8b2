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
#include <QWindow>

#include <memory>

// The frozen screen inside a headless GNOME Shell or KWin session (scripts/wayland/): a focused
// window on every screen that Xwayland shows, Esc pressed through the compositor, a drag on
// each screen. The desktop's capture service is replaced by a picture that says, in every
// pixel, where on the X root it is.
namespace {

constexpr int kPatience = 15000;

QImage coordinatePicture(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb(x & 0xff, y & 0xff, ((x >> 8) << 4) | (y >> 8)));
    return image;
}

QPoint whereFrom(QRgb pixel) {
    return {qRed(pixel) | ((qBlue(pixel) >> 4) << 8), qGreen(pixel) | ((qBlue(pixel) & 0xf) << 8)};
}

class DesktopService final : public ScreenCapture {
public:
    QString unavailableReason() const override { return {}; }
    Overlay overlay() const override { return Overlay::FocusedWindows; }
    void capture(QScreen*, PictureReady ready) override {
        QRect root;
        for (QScreen* screen : QGuiApplication::screens())
            root = root.united(screen->geometry());
        Picture picture = Picture::taken(coordinatePicture(root.size()));
        picture.wholeDesktop = true;
        QTimer::singleShot(100, &m_context, [ready, picture] { ready(picture); });
    }
    void cancelCapture() override { m_context.disconnect(); }

private:
    QObject m_context;
};

} // namespace

class TestOverlayWayland : public QObject {
    Q_OBJECT
    TestEnvironment env;
    std::unique_ptr<MutterKeyboard> keyboard;
    std::unique_ptr<ScreenshotEngine> engine;
    QList<QRectF> selections;
    QList<QImage> crops;

    bool pressEscape() {
        if (keyboard)
            return keyboard->press({0xff1b});
        return QProcess::execute(qEnvironmentVariable("VYRN_KINPUT"), {QStringLiteral("key:1")}) == 0;
    }

    void startAndWaitForFocus() {
        engine->start([this](const QRectF& selection, const QImage& crop) {
            selections.append(selection);
            crops.append(crop);
        });
        QTRY_COMPARE_WITH_TIMEOUT(engine->overlayViews().size(), QGuiApplication::screens().size(),
                                  kPatience);
        for (OverlayView* view : engine->overlayViews())
            QTRY_VERIFY_WITH_TIMEOUT(view->isVisible() && view->geometry() == view->screen()->geometry(),
                                     kPatience);
        QTRY_VERIFY_WITH_TIMEOUT(
            QGuiApplication::focusWindow() == engine->overlayViews().first()->windowHandle(), kPatience);
    }

private Q_SLOTS:
    void initTestCase() {
        if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
            QSKIP("needs a headless Wayland session of scripts/wayland/");
        if (qEnvironmentVariable("XDG_CURRENT_DESKTOP").contains(QStringLiteral("GNOME"))) {
            keyboard = std::make_unique<MutterKeyboard>();
            QVERIFY2(keyboard->isOpen(), qPrintable(keyboard->error()));
            QVERIFY(keyboard->press({0xff1b})); // the shell starts in its overview
        } else if (qEnvironmentVariableIsEmpty("VYRN_KINPUT")) {
            QSKIP("needs a headless Wayland session of scripts/wayland/");
        }
    }
    void init() {
        engine = std::make_unique<ScreenshotEngine>(std::make_unique<DesktopService>());
        selections.clear();
        crops.clear();
    }
    void cleanup() {
        engine.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void escapeLeaves() {
        startAndWaitForFocus();
        QVERIFY(pressEscape());
        QTRY_COMPARE_WITH_TIMEOUT(selections.size(), 1, kPatience);
        QCOMPARE(selections.first(), QRectF());
        QVERIFY(!engine->isActive());
    }

    void dragOnEveryScreen_data() {
        QTest::addColumn<int>("index");
        for (int i = 0; i < QGuiApplication::screens().size(); ++i)
            QTest::addRow("screen %d", i) << i;
    }
    void dragOnEveryScreen() {
        QFETCH(int, index);
        startAndWaitForFocus();
        const QPoint from = QGuiApplication::screens().at(index)->geometry().topLeft() + QPoint(100, 60);
        const QPoint to = from + QPoint(200, 80);
        X11Desktop::xdotool({QStringLiteral("mousemove"), QString::number(from.x()),
                             QString::number(from.y()), QStringLiteral("mousedown"), QStringLiteral("1"),
                             QStringLiteral("mousemove"), QString::number(to.x() - 50),
                             QString::number(to.y()), QStringLiteral("mousemove"), QString::number(to.x()),
                             QString::number(to.y()), QStringLiteral("mouseup"), QStringLiteral("1")});
        QTRY_COMPARE_WITH_TIMEOUT(selections.size(), 1, kPatience);
        QCOMPARE(crops.first().size(), QSize(200, 80));
        QCOMPARE(whereFrom(crops.first().pixel(0, 0)), from);
    }
};

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "xcb");
    qputenv("QT_XCB_GL_INTEGRATION", "none");
    QApplication app(argc, argv);
    TestOverlayWayland test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_overlay_wayland.moc"
