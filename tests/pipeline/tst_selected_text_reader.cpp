#include "pipeline/CopySelectionFallback.h"
#include "pipeline/SelectedTextReader.h"
#include "support/AsyncAnswer.h"
#include "support/FakeSelectionServices.h"
#include "support/TestEnvironment.h"

#include <QTest>

using OptionalText = std::optional<QString>;
Q_DECLARE_METATYPE(OptionalText)

namespace {

ClipboardSnapshot snapshotWithText(const QByteArray& text) {
    ClipboardSnapshot snapshot;
    snapshot.items.append(
        {{{"UTF8_STRING", "UTF8_STRING", 8, text}, {"image/png", "image/png", 8, "\x89PNG"}}});
    return snapshot;
}

struct CopyCase {
    QString sourceClass = "Gedit"; // empty: the source is unknown
    bool keysReleased = true;
    bool clipboardReadable = true;
    bool emptyBefore = false;
    OptionalText copied{};      // what Ctrl+C puts on the clipboard; none: nothing
    int slowReads = 0;          // reads answering an empty text before the copy shows
    OptionalText currentText{}; // the clipboard's text when nothing was copied
    bool restoreWorks = true;
    OptionalText expected{};
    bool focusLost = false; // no window, or one of VYRN's, is in front when Ctrl+C is due
    int copiesSent = 1;
    int restores = 1;
};

} // namespace

Q_DECLARE_METATYPE(CopyCase)

class TestSelectedTextReader : public QObject {
    Q_OBJECT
    TestEnvironment env;

private Q_SLOTS:
    // The synthetic copy: what it answers, whether it sends Ctrl+C and puts the clipboard back.
    void copyFallback_data() {
        QTest::addColumn<CopyCase>("row");
        const OptionalText previous = QStringLiteral("previous"); // the clipboard's text before
        const OptionalText words = QStringLiteral("selected words");
        QTest::newRow("copy shows at once") << CopyCase{.copied = words, .expected = words};
        QTest::newRow("slow application") << CopyCase{.copied = words, .slowReads = 2, .expected = words};
        QTest::newRow("same text as before, clipboard changed")
            << CopyCase{.copied = previous, .expected = previous};
        QTest::newRow("nothing selected") << CopyCase{.currentText = previous, .restores = 0};
        QTest::newRow("new text without a change")
            << CopyCase{.currentText = words, .expected = words, .restores = 0};
        QTest::newRow("empty clipboard before")
            << CopyCase{.emptyBefore = true, .copied = words, .expected = words};
        QTest::newRow("restore fails") << CopyCase{.copied = words, .restoreWorks = false, .expected = words};
        QTest::newRow("terminal") << CopyCase{
            .sourceClass = "XTerm", .copied = words, .copiesSent = 0, .restores = 0};
        QTest::newRow("source unknown")
            << CopyCase{.sourceClass = "", .copied = words, .copiesSent = 0, .restores = 0};
        QTest::newRow("hotkey still held")
            << CopyCase{.keysReleased = false, .copied = words, .copiesSent = 0, .restores = 0};
        QTest::newRow("focus lost since the source was seen")
            << CopyCase{.copied = words, .focusLost = true, .copiesSent = 0, .restores = 0};
        QTest::newRow("clipboard cannot be saved (silent owner, too much)")
            << CopyCase{.clipboardReadable = false, .copied = words, .copiesSent = 0, .restores = 0};
    }
    void copyFallback() {
        QFETCH(CopyCase, row);
        FakeClipboard clipboard;
        FakeKeyboard keyboard;
        const ClipboardSnapshot before = row.emptyBefore ? ClipboardSnapshot{} : snapshotWithText("previous");
        clipboard.before = row.clipboardReadable ? std::optional(before) : std::nullopt;
        clipboard.current = row.currentText;
        clipboard.restoreSucceeds = row.restoreWorks;
        clipboard.emptyReads = row.slowReads;
        keyboard.keysReleased = row.keysReleased;
        if (row.copied)
            keyboard.onCopy = [&] { clipboard.change(row.copied); };
        FakeSourceProbe focus;
        CopySelectionFallback fallback(clipboard, keyboard, focus);
        fallback.setPollIntervalForTesting(std::chrono::milliseconds(5));
        std::optional<SelectionSource> source;
        if (!row.sourceClass.isEmpty())
            source = fakeSource(4242, row.sourceClass);
        if (row.focusLost)
            focus.source.reset();

        AsyncAnswer<OptionalText> answer;
        fallback.run(source, answer.callback());
        QVERIFY(answer.wait());
        QCOMPARE(answer.value, row.expected);
        QTest::qWait(10);
        QCOMPARE(answer.calls, 1);
        QCOMPARE(keyboard.copiesSent, row.copiesSent);
        QCOMPARE(clipboard.restores, row.restores);
        if (row.restores > 0)
            QCOMPARE(clipboard.restored, std::optional(before));
    }

    // A copy cancelled while it waits for the clipboard still puts the clipboard back.
    void cancelledCopyRestores() {
        FakeClipboard clipboard;
        FakeKeyboard keyboard;
        clipboard.before = snapshotWithText("previous");
        clipboard.emptyReads = 1000; // the copied text never shows
        keyboard.onCopy = [&] { clipboard.change(QStringLiteral("unused")); };
        FakeSourceProbe focus;
        CopySelectionFallback fallback(clipboard, keyboard, focus);
        fallback.setPollIntervalForTesting(std::chrono::milliseconds(5));
        AsyncAnswer<OptionalText> answer;
        fallback.run(fakeSource(), answer.callback());
        QTRY_VERIFY(clipboard.emptyReads < 998); // polling
        fallback.cancel();
        QTRY_COMPARE(clipboard.restores, 1);
        QCOMPARE(clipboard.restored, std::optional(snapshotWithText("previous")));
        QTRY_VERIFY(!fallback.isRunning());
        QVERIFY(!answer.arrived());
    }

    // The three readers in turn, and what each passes on.
    void readerOrder_data() {
        QTest::addColumn<OptionalText>("accessible");
        QTest::addColumn<int>("primaryOwner"); // 0 none, 1 the source's client, 2 another program
        QTest::addColumn<OptionalText>("primaryText");
        QTest::addColumn<OptionalText>("copied");
        QTest::addColumn<OptionalText>("expected");
        QTest::addColumn<int>("primaryReads");
        QTest::addColumn<int>("copiesSent");
        QTest::addColumn<SelectedTextReader::Origin>("origin");
        using Origin = SelectedTextReader::Origin;
        const OptionalText none;
        QTest::newRow("accessibility")
            << OptionalText("from AT-SPI") << 1 << OptionalText("p") << OptionalText("c")
            << OptionalText("from AT-SPI") << 0 << 0 << Origin::accessibility;
        QTest::newRow("empty accessible text")
            << OptionalText("") << 1 << OptionalText("from PRIMARY") << none << OptionalText("from PRIMARY")
            << 1 << 0 << Origin::primary;
        QTest::newRow("stale PRIMARY of another program")
            << none << 2 << OptionalText("stale") << OptionalText("copied") << OptionalText("copied") << 0
            << 1 << Origin::copy;
        QTest::newRow("no PRIMARY") << none << 0 << none << OptionalText("copied") << OptionalText("copied")
                                    << 0 << 1 << Origin::copy;
        QTest::newRow("empty PRIMARY") << none << 1 << OptionalText("") << OptionalText("copied")
                                       << OptionalText("copied") << 1 << 1 << Origin::copy;
        QTest::newRow("nothing anywhere") << none << 0 << none << none << none << 0 << 1 << Origin::nothing;
    }
    void readerOrder() {
        QFETCH(OptionalText, accessible);
        QFETCH(int, primaryOwner);
        QFETCH(OptionalText, primaryText);
        QFETCH(OptionalText, copied);
        QFETCH(OptionalText, expected);
        QFETCH(int, primaryReads);
        QFETCH(int, copiesSent);
        QFETCH(SelectedTextReader::Origin, origin);

        FakeSelectionServices fakes;
        const SelectionSource source = fakeSource();
        fakes.accessibility->answer = accessible;
        if (primaryOwner > 0)
            fakes.primary->currentOwner =
                PrimarySelectionOwner{primaryOwner == 1 ? source.window : 0x01600002u, 999, 0x001fffff};
        fakes.primary->text = primaryText;
        FakeClipboard* clipboard = fakes.clipboard;
        if (copied)
            fakes.keyboard->onCopy = [clipboard, copied] { clipboard->change(copied); };
        else // nothing selected: the clipboard keeps its text
            clipboard->current = QStringLiteral("previous");
        clipboard->before = snapshotWithText("previous");
        SelectedTextReader reader(fakes.take());
        reader.findChild<CopySelectionFallback*>()->setPollIntervalForTesting(std::chrono::milliseconds(1));

        AsyncAnswer<OptionalText> answer;
        reader.read(source, answer.callback());
        QVERIFY(reader.isReading());
        QVERIFY(answer.wait());
        QVERIFY(!reader.isReading());
        QTest::qWait(10);
        QCOMPARE(answer.calls, 1);
        QCOMPARE(answer.value, expected);
        QCOMPARE(fakes.accessibility->lastPid, source.pid);
        QCOMPARE(fakes.primary->reads, primaryReads);
        QCOMPARE(fakes.keyboard->copiesSent, copiesSent);
        QCOMPARE(reader.lastOrigin(), origin);
    }

    void oneReadAtATime() {
        FakeSelectionServices fakes;
        fakes.accessibility->hang = true;
        SelectedTextReader reader(fakes.take());
        AsyncAnswer<OptionalText> first, second;
        reader.read(fakeSource(), first.callback());
        reader.read(fakeSource(), second.callback());
        QVERIFY(second.wait());
        QCOMPARE(second.value, OptionalText());
        QVERIFY(!first.arrived());
        reader.cancel();
        QVERIFY(!reader.isReading());
        // Cancelled: a late answer is dropped, and a new read may start.
        AsyncAnswer<OptionalText> third;
        fakes.accessibility->hang = false;
        fakes.accessibility->answer = QStringLiteral("next");
        reader.read(std::nullopt, third.callback());
        QVERIFY(third.wait());
        QCOMPARE(third.value, OptionalText("next"));
        QCOMPARE(fakes.accessibility->lastPid, 0); // no source: the desktop's focus
        QVERIFY(!first.arrived());
    }
};

QTEST_GUILESS_MAIN(TestSelectedTextReader)
#include "tst_selected_text_reader.moc"
