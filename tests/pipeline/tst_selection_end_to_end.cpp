#include "pipeline/SelectedTextReader.h"
#include "platform/PlatformLoader.h"
#include "platform/PlatformServices.h"
#include "support/SelectionTestSupport.h"
#include "support/TestEnvironment.h"
#include "support/X11Desktop.h"

#include <QTest>

using namespace SelectionTestSupport;
using OptionalText = std::optional<QString>;
using Origin = SelectedTextReader::Origin;

namespace {

const QString fixture = QStringLiteral(VYRN_SELECTION_FIXTURE);

} // namespace

// The reader with the real desktop services, against real programs, as the selection
// flow will use it: source captured first, then the read.
class TestSelectionEndToEnd : public QObject {
    Q_OBJECT
    TestEnvironment env;
    std::unique_ptr<PlatformServices> platform;
    std::unique_ptr<SelectedTextReader> reader;

    // From `seen`, a window seen earlier; by default the window in front now.
    OptionalText readSelection(std::optional<SelectionSource> seen = std::nullopt) {
        AsyncAnswer<OptionalText> answer;
        reader->read(seen ? seen : reader->captureSource(), answer.callback());
        if (!answer.wait(15000))
            return QStringLiteral("(no answer)");
        return answer.value;
    }

    static std::unique_ptr<DesktopProgram> focusedFixture(const QStringList& arguments,
                                                          const QString& title) {
        auto program = std::make_unique<DesktopProgram>(fixture, arguments + QStringList{"--title", title});
        const qulonglong window = X11Desktop::waitForWindow(title);
        if (!program->waitForLine("ready") || !window || !X11Desktop::activate(window))
            return nullptr;
        return program;
    }

    // A program holding text, HTML and an image of `side` pixels on the clipboard.
    std::unique_ptr<DesktopProgram> clipboardOwner(const QByteArray& text, int side) {
        auto owner = std::make_unique<DesktopProgram>(
            fixture, QStringList{"clipboard-owner", "--text", writeFile(env.root(), "t.txt", text), "--html",
                                 writeFile(env.root(), "h.html", "<i>" + text + "</i>"), "--png",
                                 writeFile(env.root(), "p.png", noisePng(side))});
        if (!owner->waitForLine("ready"))
            return nullptr;
        return owner;
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY2(X11Desktop::hasWindowManager() && X11Desktop::hasAccessibilityBus(),
                 "needs a window manager and the accessibility bus: run inside scripts/test-session.sh");
        platform = PlatformLoader::load(currentSessionType(), {QStringLiteral(VYRN_ATSPI_READER)});
        reader = std::make_unique<SelectedTextReader>(std::move(platform->selection));
    }

    void init() { X11Desktop::clearSelections(); }

    // GTK 3 always speaks AT-SPI, and counts its offsets in characters.
    void gtkThroughAccessibility() {
        const QString file = writeFile(env.root(), "zenity.txt", "The first line\nThe 😀 second line\n");
        DesktopProgram zenity("zenity",
                              {"--text-info", "--editable", "--filename=" + file, "--title=zenity e2e"});
        QVERIFY(X11Desktop::activate(X11Desktop::waitForWindow("zenity e2e")));
        X11Desktop::xdotool({"key", "ctrl+End", "Up", "End", "shift+Home"});
        QCOMPARE(readSelection(), OptionalText("The 😀 second line"));
        QCOMPARE(reader->lastOrigin(), Origin::accessibility);
    }

    // A terminal: PRIMARY holds the triple-clicked line; Ctrl+C is never sent, also not when
    // the terminal took the focus from the source after the source was seen (the tray's
    // entry picked long after its menu opened), so the program running in it lives on.
    void terminal() {
        auto earlier =
            focusedFixture({"copy-source", "--text", writeFile(env.root(), "e.txt", "e")}, "earlier");
        QVERIFY(earlier);
        const std::optional<SelectionSource> seen = reader->captureSource();
        DesktopProgram xterm("xterm", {"-T", "xterm e2e", "-geometry", "60x5+0+0", "-e", "sh", "-c",
                                       "echo terminal line to translate; exec sleep 600"});
        const qulonglong window = X11Desktop::waitForWindow("xterm e2e");
        QVERIFY(X11Desktop::activate(window));
        QTest::qWait(300); // the echo to be drawn before the click
        X11Desktop::xdotool({"mousemove", "--window", QString::number(window), "40", "8", "click", "--repeat",
                             "3", "--delay", "50", "1"});
        QCOMPARE(readSelection().value_or(QString()).trimmed(), "terminal line to translate");
        QCOMPARE(reader->lastOrigin(), Origin::primary);

        X11Desktop::clearSelections();
        QCOMPARE(readSelection(), OptionalText());
        QCOMPARE(readSelection(seen), OptionalText());
        QTest::qWait(200);
        QVERIFY(xterm.isRunning()); // sleep was not interrupted
    }

    // No accessibility, no PRIMARY: the copy returns the text, and the clipboard holds the
    // same targets and bytes afterwards, a PNG larger than one X11 request included.
    void copyRestoresClipboard() {
        const auto owner = clipboardOwner("before", 420);
        QVERIFY(owner);
        const auto before = clipboardAsAnotherProgram();
        QVERIFY(before.contains("image/png"));
        const QString large = largeText(1024 * 1024);
        auto source = focusedFixture(
            {"copy-source", "--text", writeFile(env.root(), "c.txt", large.toUtf8())}, "copy source e2e");
        QVERIFY(source);
        QVERIFY(readSelection() == large);
        QCOMPARE(reader->lastOrigin(), Origin::copy);
        QCOMPARE(clipboardAsAnotherProgram(), before);
        QCOMPARE(xclipOutput("image/png"), noisePng(420));
    }

    // Nothing selected anywhere: nothing, and the clipboard keeps its owner.
    void nothingSelected() {
        const auto owner = clipboardOwner("kept", 8);
        QVERIFY(owner);
        const auto before = clipboardAsAnotherProgram();
        auto source = focusedFixture({"copy-source", "--ignore-copy"}, "ignoring source");
        QVERIFY(source);
        QCOMPARE(readSelection(), OptionalText());
        QVERIFY(source->waitForLine("copied")); // the keys did arrive
        QCOMPARE(clipboardAsAnotherProgram(), before);
    }

    // PRIMARY left behind by another program is not taken for the source's selection.
    void stalePrimaryIgnored() {
        DesktopProgram stale(fixture,
                             {"primary-owner", "--text", writeFile(env.root(), "s.txt", "stale text"),
                              "--title", "stale owner"});
        QVERIFY(stale.waitForLine("ready"));
        auto source = focusedFixture({"copy-source", "--text", writeFile(env.root(), "f.txt", "fresh text")},
                                     "fresh source");
        QVERIFY(source);
        QCOMPARE(readSelection(), OptionalText("fresh text"));
        // The clipboard was empty before the copy, and is again.
        QVERIFY(clipboardAsAnotherProgram().isEmpty());
    }
};

QTEST_MAIN(TestSelectionEndToEnd)
#include "tst_selection_end_to_end.moc"
