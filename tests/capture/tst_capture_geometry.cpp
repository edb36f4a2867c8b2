#include "capture/CaptureGeometry.h"
#include "capture/DesktopPicture.h"
#include "capture/OverlayLayout.h"
#include "capture/ScreenCrop.h"
#include "support/TestEnvironment.h"

#include <QRandomGenerator>
#include <QTest>

using Status = CaptureGeometry::PixelCrop::Status;

namespace {

// Every pixel says where it is: red and green the low bytes of x and y, blue the high bits.
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

// Two monitors as Qt reports them: a 1920 × 1080 one at 1x, and to its right one of
// 3024 × 1964 pixels at 2x, whose logical size is halved and whose corner is native.
struct Monitor {
    QRect geometry;
    qreal scale;
};
const QList<Monitor> kMonitors = {{QRect(0, 0, 1920, 1080), 1.0}, {QRect(1920, 0, 1512, 982), 2.0}};
const QRect kRoot(0, 0, 1920 + 3024, 1964);

} // namespace

class TestCaptureGeometry : public QObject {
    Q_OBJECT
    TestEnvironment env;

private Q_SLOTS:
    void pixelCrop_data() {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QSizeF>("frame");
        QTest::addColumn<QRectF>("selection");
        QTest::addColumn<int>("status");
        QTest::addColumn<QRect>("pixels");
        const QSize retina(3024, 1964);
        const QSizeF retinaFrame(1512, 982);
        QTest::newRow("2x, flipped") << retina << retinaFrame << QRectF(100, 100, 50, 20) << int(Status::Ok)
                                     << QRect(200, 1724, 100, 40);
        QTest::newRow("halves round away from zero")
            << QSize(1920, 1080) << QSizeF(1920, 1080) << QRectF(10.5, 20.5, 30.5, 20.5) << int(Status::Ok)
            << QRect(11, 1039, 31, 21);
        QTest::newRow("1.5x, picture rounded by Qt")
            << QSize(1366, 768) << QSizeF(911, 512) << QRectF(0, 0, 911, 512) << int(Status::Ok)
            << QRect(0, 0, 1366, 768);
        QTest::newRow("4 px wide is too small")
            << retina << retinaFrame << QRectF(100, 100, 2, 20) << int(Status::SelectionTooSmall) << QRect();
        QTest::newRow("5 px wide is enough") << retina << retinaFrame << QRectF(100, 100, 2.5, 20)
                                             << int(Status::Ok) << QRect(200, 1724, 5, 40);
        QTest::newRow("clipped at the right edge") << retina << retinaFrame << QRectF(1505, 100, 10, 20)
                                                   << int(Status::Ok) << QRect(3010, 1724, 14, 40);
        QTest::newRow("clipped to 4 px") << retina << retinaFrame << QRectF(1510, 100, 10, 20)
                                         << int(Status::IntersectionTooSmall) << QRect();
        QTest::newRow("outside the picture") << retina << retinaFrame << QRectF(-400, 100, 50, 20)
                                             << int(Status::IntersectionTooSmall) << QRect();
        QTest::newRow("beyond int range") << retina << retinaFrame << QRectF(-1e12, -1e12, 2e12, 2e12)
                                          << int(Status::Ok) << QRect(QPoint(), retina);
    }
    void pixelCrop() {
        QFETCH(QSize, picture);
        QFETCH(QSizeF, frame);
        QFETCH(QRectF, selection);
        QFETCH(int, status);
        QFETCH(QRect, pixels);
        const CaptureGeometry::PixelCrop crop = CaptureGeometry::pixelCrop(picture, frame, selection);
        QCOMPARE(int(crop.status), status);
        if (crop.status == Status::Ok)
            QCOMPARE(crop.rect, pixels);
    }

    // Either direction of a drag on a 2x screen crops exactly the pixels under it.
    void randomDragsCropTheDraggedPixels() {
        const QSize pixels(600, 400);
        const QSizeF frame(300, 200);
        const QImage full = coordinatePicture(pixels);
        QRandomGenerator random(13);
        for (int i = 0; i < 200; ++i) {
            const QPoint a(random.bounded(300), random.bounded(200)),
                b(random.bounded(300), random.bounded(200));
            const QRectF there = CaptureGeometry::selectionRect(CaptureGeometry::flipped(QPointF(a), 200),
                                                                CaptureGeometry::flipped(QPointF(b), 200));
            QCOMPARE(CaptureGeometry::selectionRect(CaptureGeometry::flipped(QPointF(b), 200),
                                                    CaptureGeometry::flipped(QPointF(a), 200)),
                     there);
            const QRect expected(2 * std::min(a.x(), b.x()), 2 * std::min(a.y(), b.y()),
                                 2 * std::abs(a.x() - b.x()), 2 * std::abs(a.y() - b.y()));
            const QImage crop = ScreenCrop::cropFromFull(full, QRectF(QPointF(), frame), there);
            if (expected.width() <= 4 || expected.height() <= 4) {
                QVERIFY(crop.isNull());
                continue;
            }
            QCOMPARE(crop.size(), expected.size());
            QCOMPARE(whereFrom(crop.pixel(0, 0)), expected.topLeft());
            QCOMPARE(whereFrom(crop.pixel(crop.width() - 1, crop.height() - 1)), expected.bottomRight());
        }
    }

    // The pointer chooses among screens of different sizes and scales.
    void screenUnderPointer_data() {
        QTest::addColumn<QPointF>("pointer"); // Qt's global coordinates
        QTest::addColumn<int>("screen");
        QTest::addColumn<QRectF>("frame"); // global, bottom-left
        QTest::addColumn<QRect>("native");
        const QRectF left(0, 0, 1920, 1080), right(1920, 98, 1512, 982);
        QTest::newRow("on the 1x screen") << QPointF(100, 100) << 0 << left << QRect(0, 0, 1920, 1080);
        QTest::newRow("on the 2x screen") << QPointF(2000, 500) << 1 << right << QRect(1920, 0, 3024, 1964);
        QTest::newRow("on the line between") << QPointF(1920, 10) << 1 << right << QRect(1920, 0, 3024, 1964);
        QTest::newRow("below the short screen")
            << QPointF(2000, 1000) << 0 << left << QRect(0, 0, 1920, 1080);
    }
    void screenUnderPointer() {
        QFETCH(QPointF, pointer);
        QFETCH(int, screen);
        QFETCH(QRectF, frame);
        QFETCH(QRect, native);
        const qreal primaryBottom = kMonitors.first().geometry.bottom() + 1;
        QList<QRectF> frames;
        for (const Monitor& monitor : kMonitors)
            frames.append(CaptureGeometry::flipped(QRectF(monitor.geometry), primaryBottom));
        const auto index =
            CaptureGeometry::screenIndexAt(frames, CaptureGeometry::flipped(pointer, primaryBottom), 0);
        QVERIFY(index);
        QCOMPARE(*index, screen);
        QCOMPARE(frames.at(*index), frame);
        const Monitor& monitor = kMonitors.at(*index);
        QCOMPARE(CaptureGeometry::nativeRect(monitor.geometry, monitor.scale, kRoot), native);
        QVERIFY(!CaptureGeometry::screenIndexAt({}, pointer, 0));
    }

    void nativeRectAbsorbsQtRounding() {
        // 1366 / 1.5 = 910.67, which Qt reports as 911.
        QCOMPARE(CaptureGeometry::nativeRect(QRect(0, 0, 911, 512), 1.5, QRect(0, 0, 1366, 768)),
                 QRect(0, 0, 1366, 768));
    }

    // Layouts measured on GNOME 43 (physical and logical) and KWin 5.27.
    void screenPart_data() {
        using Monitors = QList<DesktopPicture::Monitor>;
        QTest::addColumn<QRect>("screen");
        QTest::addColumn<QRect>("desktop");
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<Monitors>("monitors");
        QTest::addColumn<QRect>("part");
        const QRect single(0, 0, 1280, 800);
        QTest::newRow("scale 1") << single << single << QSize(1280, 800) << Monitors{{single, single, 1}}
                                 << single;
        QTest::newRow("scale 2") << single << single << QSize(2560, 1600)
                                 << Monitors{{single, QRect(0, 0, 2560, 1600), 2}} << QRect(0, 0, 2560, 1600);
        // The whole layout painted at the highest scale: the scale-1 monitor is enlarged.
        const Monitors logical{{single, QRect(0, 0, 2560, 1600), 2},
                               {QRect(1280, 0, 1920, 1080), QRect(2560, 0, 3840, 2160), 1}};
        const QRect logicalDesktop(0, 0, 3200, 1080);
        QTest::newRow("two scales, left")
            << single << logicalDesktop << QSize(6400, 2160) << logical << QRect(0, 0, 2560, 1600);
        QTest::newRow("two scales, right") << QRect(1280, 0, 1920, 1080) << logicalDesktop
                                           << QSize(6400, 2160) << logical << QRect(2560, 0, 3840, 2160);
        QTest::newRow("layout with another origin")
            << QRect(1280, 0, 1024, 768) << QRect(0, 0, 2304, 800) << QSize(3584, 1600)
            << Monitors{{QRect(-1280, 0, 1280, 800), QRect(0, 0, 2560, 1600), 2},
                        {QRect(0, 0, 1024, 768), QRect(2560, 0, 1024, 768), 1}}
            << QRect(2560, 0, 1024, 768);
        QTest::newRow("no monitors: the desktop evenly")
            << QRect(1280, 0, 1024, 768) << QRect(0, 0, 2304, 800) << QSize(4608, 1600) << Monitors{}
            << QRect(2560, 0, 2048, 1536);
        QTest::newRow("screen the picture lacks")
            << QRect(1280, 0, 1024, 768) << QRect(0, 0, 2304, 800) << QSize(2560, 1600)
            << Monitors{{single, QRect(0, 0, 2560, 1600), 2}} << QRect();
    }
    void screenPart() {
        QFETCH(QRect, screen);
        QFETCH(QRect, desktop);
        QFETCH(QSize, picture);
        QFETCH(QList<DesktopPicture::Monitor>, monitors);
        QFETCH(QRect, part);
        QCOMPARE(DesktopPicture::screenPart(screen, desktop, picture, monitors), part);
    }

    void normalizedForOcr_data() {
        QTest::addColumn<QImage>("crop");
        QTest::addColumn<bool>("unchanged");
        QTest::addColumn<QRgb>("pixel");
        QImage rgb(8, 8, QImage::Format_RGB32);
        rgb.fill(qRgb(10, 20, 30));
        QImage translucent(8, 8, QImage::Format_ARGB32);
        translucent.fill(qRgba(200, 100, 50, 128));
        QImage gray(8, 8, QImage::Format_Grayscale8);
        gray.fill(qRgb(90, 90, 90));
        QTest::newRow("opaque RGB32") << rgb << true << qRgb(10, 20, 30);
        QTest::newRow("translucent, over black") << translucent << false << qRgb(100, 50, 25);
        QTest::newRow("grey") << gray << false << qRgb(90, 90, 90);
    }
    void normalizedForOcr() {
        QFETCH(QImage, crop);
        QFETCH(bool, unchanged);
        QFETCH(QRgb, pixel);
        const QImage normalized = ScreenCrop::normalizedForOcr(crop);
        QCOMPARE(normalized.constBits() == crop.constBits(), unchanged);
        QCOMPARE(normalized.size(), crop.size());
        QVERIFY(!normalized.hasAlphaChannel());
        const QRgb seen = normalized.pixel(3, 3);
        QVERIFY2(std::abs(qRed(seen) - qRed(pixel)) <= 1 && std::abs(qGreen(seen) - qGreen(pixel)) <= 1 &&
                     std::abs(qBlue(seen) - qBlue(pixel)) <= 1,
                 qPrintable(QString::number(seen, 16)));
    }

    void sizeLabel_data() {
        QTest::addColumn<QRectF>("selection");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QRectF>("box");
        QTest::newRow("below the selection")
            << QRectF(100, 300, 320.9, 180.2) << "320 × 180" << QRectF(420.9 - 48, 300 - 20, 52, 20);
        QTest::newRow("near the bottom edge")
            << QRectF(100, 2, 0.4, 200) << "0 × 200" << QRectF(100.4 - 48, 4, 52, 20);
    }
    void sizeLabel() {
        QFETCH(QRectF, selection);
        QFETCH(QString, text);
        QFETCH(QRectF, box);
        QCOMPARE(OverlayLayout::sizeLabelText(selection), text);
        const OverlayLayout::SizeLabel label = OverlayLayout::sizeLabel(selection, QSizeF(40, 14));
        QCOMPARE(label.box, box);
        QCOMPARE(label.text, QRectF(box.x() + 6, box.y() + 3, 40, 14));
    }
};

QTEST_GUILESS_MAIN(TestCaptureGeometry)
#include "tst_capture_geometry.moc"
