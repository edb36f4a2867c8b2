#include "result/PanelGeometry.h"

#include <QTest>

namespace {

// A notebook screen of 1512 × 982 points: a 25-point menu bar at the top and a 70-point
// dock at the bottom leave 887 points of height, starting 70 points up.
const ScreenFrames notebook{{0, 0, 1512, 982}, {0, 70, 1512, 887}};
// The same screen with the dock on the left.
const ScreenFrames dockLeft{{0, 0, 1512, 982}, {60, 0, 1452, 957}};
// A full-HD screen with a 30-point top panel, and a notebook screen to its right, set 100
// points higher.
const ScreenFrames desk{{0, 0, 1920, 1080}, {0, 0, 1920, 1050}};
const ScreenFrames beside{{1920, 100, 1512, 982}, {1920, 100, 1512, 957}};

} // namespace

class TestPanelGeometry : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void placement_data() {
        QTest::addColumn<QList<ScreenFrames>>("screens");
        QTest::addColumn<QRectF>("source");
        QTest::addColumn<QString>("saved"); // empty: nothing saved
        QTest::addColumn<QRectF>("expected");
        const QList<ScreenFrames> one{notebook};
        QTest::newRow("source exactly on the middle")
            << one << QRectF(706, 400, 100, 100) << QString() << QRectF(0, 70, 756, 887);
        QTest::newRow("source just left of the middle")
            << one << QRectF(705, 400, 100, 100) << QString() << QRectF(756, 70, 756, 887);
        QTest::newRow("dock on the left, source right")
            << QList<ScreenFrames>{dockLeft} << QRectF(1000, 400, 200, 100) << QString()
            << QRectF(60, 0, 696, 957);
        QTest::newRow("saved 300 high opens 400 high")
            << one << QRectF(1000, 400, 200, 100) << QStringLiteral("{{900, 200}, {700, 300}}")
            << QRectF(0, 200, 756, 400);
        QTest::newRow("saved taller than the visible frame")
            << one << QRectF(1000, 400, 200, 100) << QStringLiteral("{{0, 300}, {700, 2000}}")
            << QRectF(0, 70, 756, 887);
        QTest::newRow("saved below the visible frame")
            << one << QRectF(100, 400, 200, 100) << QStringLiteral("{{5000, 10}, {10, 500}}")
            << QRectF(756, 70, 756, 500);
        QTest::newRow("saved reaching above the visible frame")
            << one << QRectF(100, 400, 200, 100) << QStringLiteral("{{0, 800}, {700, 500}}")
            << QRectF(756, 457, 756, 500);
        QTest::newRow("unreadable saved frame reads as zero")
            << one << QRectF(1000, 400, 200, 100) << QStringLiteral("garbage") << QRectF(0, 70, 756, 400);
        QTest::newRow("no screen at all")
            << QList<ScreenFrames>{} << QRectF(1000, 400, 200, 100) << QString() << QRectF(0, 0, 620, 700);

        const QList<ScreenFrames> two{desk, beside};
        QTest::newRow("second screen, its left half")
            << two << QRectF(2100, 500, 50, 50) << QString() << QRectF(2676, 100, 756, 957);
        QTest::newRow("across both: the first that holds part")
            << two << QRectF(1900, 500, 50, 50) << QString() << QRectF(0, 0, 960, 1050);
        QTest::newRow("on neither (the gap under the second): main screen")
            << two << QRectF(2000, 20, 50, 50) << QString() << QRectF(0, 0, 960, 1050);
        QTest::newRow("touching the first screen's edge is not on it")
            << two << QRectF(1920, 500, 50, 50) << QString() << QRectF(2676, 100, 756, 957);
    }
    void placement() {
        QFETCH(QList<ScreenFrames>, screens);
        QFETCH(QRectF, source);
        QFETCH(QString, saved);
        QFETCH(QRectF, expected);
        const std::optional<QRectF> savedFrame =
            saved.isEmpty() ? std::nullopt : std::optional<QRectF>(PanelGeometry::parseFrameText(saved));
        QCOMPARE(PanelGeometry::placement(screens, 0, source, savedFrame), expected);
    }

    // The move key flips between the halves of the screen holding most of the panel,
    // keeping y and height.
    void otherHalf() {
        const QList<ScreenFrames> two{desk, beside};
        const QRectF onSecond(1900, 300, 700, 500); // mostly on the second screen
        const qsizetype index = *PanelGeometry::screenHolding(two, onSecond, 0);
        QCOMPARE(index, 1);
        const QRectF moved = PanelGeometry::otherHalf(two.at(index), onSecond);
        QCOMPARE(moved, QRectF(2676, 300, 756, 500));
        const QRectF back = PanelGeometry::otherHalf(two.at(index), moved);
        QCOMPARE(back, QRectF(1920, 300, 756, 500));
        QCOMPARE(PanelGeometry::otherHalf(two.at(index), back), moved);
        QCOMPARE(*PanelGeometry::screenHolding(two, QRectF(-900, -900, 100, 100), 1), 1);
        QCOMPARE(PanelGeometry::screenHolding({}, onSecond, 0), std::nullopt);
    }

    // Qt's screens start at the top left: the primary's bottom edge is the flip line.
    void flipped() {
        const QRectF above(0, -900, 1600, 900), pointer(100, 50, 10, 10);
        QCOMPARE(PanelGeometry::flipped(above, 1080), QRectF(0, 1080, 1600, 900));
        QCOMPARE(PanelGeometry::flipped(PanelGeometry::flipped(pointer, 1080), 1080), pointer);
    }

    void frameText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QRectF>("frame");
        QTest::addColumn<bool>("written"); // as frameText writes it
        QTest::newRow("fractions and negatives")
            << QStringLiteral("{{12.5, -3}, {420.25, 400}}") << QRectF(12.5, -3, 420.25, 400) << true;
        QTest::newRow("spaces around")
            << QStringLiteral(" { {1 , 2} , {3 , 4} } ") << QRectF(1, 2, 3, 4) << false;
        QTest::newRow("empty") << QString() << QRectF() << false;
        QTest::newRow("trailing text") << QStringLiteral("{{1, 2}, {3, 4}} x") << QRectF() << false;
        // Not a number to place a window with: would spread through every later step.
        QTest::newRow("nan") << QStringLiteral("{{nan, 2}, {3, 4}}") << QRectF() << false;
        QTest::newRow("overflows to infinity") << QStringLiteral("{{1, 2}, {3, 1e999}}") << QRectF() << false;
    }
    void frameText() {
        QFETCH(QString, text);
        QFETCH(QRectF, frame);
        QFETCH(bool, written);
        QCOMPARE(PanelGeometry::parseFrameText(text), frame);
        if (written)
            QCOMPARE(PanelGeometry::frameText(frame), text);
    }
};

QTEST_GUILESS_MAIN(TestPanelGeometry)
#include "tst_panel_geometry.moc"
