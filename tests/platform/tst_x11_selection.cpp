#include "platform/x11/X11PrimarySelection.h"
#include "platform/x11/X11SourceWindow.h"
#include "platform/x11/X11SyntheticCopy.h"
#include "support/SelectionTestSupport.h"
#include "support/TestEnvironment.h"
#include "support/X11Desktop.h"

#include <QElapsedTimer>
#include <QTest>
#include <QWindow>

using namespace SelectionTestSupport;

namespace {

const QString fixture = QStringLiteral(VYRN_SELECTION_FIXTURE);

} // namespace

class TestX11Selection : public QObject {
    Q_OBJECT
    TestEnvironment env;
    std::shared_ptr<X11SelectionConnection> connection;

private Q_SLOTS:
    void initTestCase() {
        connection = X11SelectionConnection::open();
        QVERIFY2(connection, "needs an X server: run inside scripts/test-session.sh");
        QVERIFY(connection->hasXFixes());
        QVERIFY(connection->hasXTest());
    }

    void init() { X11Desktop::clearSelections(); }

    // An owner that never answers costs a bounded wait, and nothing is taken from it.
    void silentOwnerIsGivenUp() {
        xcb_connection_t* silent = xcb_connect(nullptr, nullptr);
        const xcb_window_t window = xcb_generate_id(silent);
        xcb_create_window(silent, XCB_COPY_FROM_PARENT, window, connection->root(), 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
        xcb_set_selection_owner(silent, window, connection->atom("CLIPBOARD"), XCB_CURRENT_TIME);
        xcb_set_selection_owner(silent, window, XCB_ATOM_PRIMARY, XCB_CURRENT_TIME);
        xcb_flush(silent);
        QTRY_COMPARE(connection->selectionOwner(XCB_ATOM_PRIMARY), window);

        X11Clipboard clipboard(connection);
        AsyncAnswer<std::optional<ClipboardSnapshot>> snapshot;
        QElapsedTimer clock;
        clock.start();
        clipboard.capture(snapshot.callback());
        QVERIFY(snapshot.wait());
        QVERIFY(!snapshot.value);
        QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed()))); // 300 ms per request

        X11PrimarySelection primary(connection);
        AsyncAnswer<std::optional<QString>> text;
        primary.readText(text.callback());
        QVERIFY(text.wait());
        QVERIFY(!text.value);
        xcb_disconnect(silent);
    }

    // A clipboard holding more than a snapshot may keep is not saved at all: not one large
    // image, nor formats that only add up to more. (What fits is saved whole: the copy test.)
    void snapshotLimit_data() {
        QTest::addColumn<int>("spare"); // the limit beyond the image's size
        QTest::newRow("formats add up to more") << 8;
        QTest::newRow("image alone is more") << -1;
    }
    void snapshotLimit() {
        QFETCH(int, spare);
        const QByteArray png = noisePng(420); // sent in pieces (INCR)
        DesktopProgram owner(fixture,
                             {"clipboard-owner", "--text", writeFile(env.root(), "t.txt", "some text"),
                              "--html", writeFile(env.root(), "h.html", "<i>some text</i>"), "--png",
                              writeFile(env.root(), "p.png", png)});
        QVERIFY(owner.waitForLine("ready"));
        X11Clipboard clipboard(connection);
        clipboard.setSnapshotLimitForTesting(png.size() + spare);
        AsyncAnswer<std::optional<ClipboardSnapshot>> snapshot;
        clipboard.capture(snapshot.callback());
        QVERIFY(snapshot.wait());
        QVERIFY(!snapshot.value);
    }

    // A selection of 1 MB arrives whole, in pieces; the owner is told by its process.
    void largePrimarySelection() {
        const QString text = largeText(1024 * 1024);
        DesktopProgram owner(fixture,
                             {"primary-owner", "--text", writeFile(env.root(), "big.txt", text.toUtf8()),
                              "--title", "primary owner"});
        QVERIFY(owner.waitForLine("ready"));
        X11PrimarySelection primary(connection);
        QTRY_VERIFY(primary.owner().has_value());
        QCOMPARE(primary.owner()->pid, owner.pid());
        AsyncAnswer<std::optional<QString>> read;
        primary.readText(read.callback());
        QVERIFY(read.wait());
        QCOMPARE(read.value, std::optional(text));
    }

    void sourceWindow() {
        QVERIFY2(X11Desktop::hasWindowManager(),
                 "needs a window manager: run inside scripts/test-session.sh");
        DesktopProgram source(fixture, {"copy-source", "--title", "source window"});
        QVERIFY(source.waitForLine("ready"));
        const qulonglong window = X11Desktop::waitForWindow("source window");
        QVERIFY(X11Desktop::activate(window));
        X11SourceWindow probe(connection);
        const std::optional<SelectionSource> found = probe.capture();
        QVERIFY(found);
        QCOMPARE(found->window, window);
        QCOMPARE(found->pid, source.pid());
        QCOMPARE(found->windowInstance, "vyrn_selection_fixture");

        QWindow own;
        own.setTitle("own window");
        own.resize(200, 100);
        own.show();
        QVERIFY(X11Desktop::activate(X11Desktop::waitForWindow("own window")));
        QVERIFY(!probe.capture()); // VYRN's own window is never the source
    }

    // A key still held (the hotkey's Shift) holds the copy back until it is up.
    void heldKeyHoldsTheCopyBack() {
        X11SyntheticCopy keyboard(connection);
        X11Desktop::xdotool({"keydown", "shift"});
        AsyncAnswer<bool> held;
        keyboard.waitUntilNoKeyDown(std::chrono::milliseconds(100), held.callback());
        const bool answered = held.wait();
        X11Desktop::xdotool({"keyup", "shift"});
        QVERIFY(answered);
        QVERIFY(!held.value);
        AsyncAnswer<bool> released;
        keyboard.waitUntilNoKeyDown(std::chrono::milliseconds(1000), released.callback());
        QVERIFY(released.wait());
        QVERIFY(released.value);
    }

    // The program ends in the middle of its Ctrl+C (a quit right after the hotkey): no key
    // stays down in the server for every other program.
    void copyCutShortLeavesNoKeyDown() {
        auto keyboard = std::make_unique<X11SyntheticCopy>(connection);
        keyboard->sendCopyShortcut([](bool) {}); // Ctrl goes down at once, C and the releases later
        AsyncAnswer<bool> down;
        X11SyntheticCopy probe(connection);
        probe.waitUntilNoKeyDown(std::chrono::milliseconds(0), down.callback());
        QVERIFY(down.wait());
        QVERIFY(!down.value);
        keyboard.reset();
        AsyncAnswer<bool> released;
        probe.waitUntilNoKeyDown(std::chrono::milliseconds(1000), released.callback());
        QVERIFY(released.wait());
        QVERIFY(released.value);
    }
};

QTEST_MAIN(TestX11Selection)
#include "tst_x11_selection.moc"
