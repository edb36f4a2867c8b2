#include "pipeline/CopySelectionFallback.h"
#include "pipeline/SelectedTextReader.h"
#include "support/FakeSelectionServices.h"
#include "support/TestEnvironment.h"

#include <QTest>

using OptionalText = std::optional<QString>;
Q_DECLARE_METATYPE(OptionalText)

namespace {

SelectionSource sourceOfClass(const QString& windowClass) {
    SelectionSource source;
    source.window = 0x01400003;
    source.pid = 4242;
    source.windowInstance = windowClass.toLower();
    source.windowClass = windowClass;
    return source;
}

PasteboardSnapshot snapshotWithText(const QByteArray& text) {
    PasteboardSnapshot snapshot;
    snapshot.items.append(
        {{{"UTF8_STRING", "UTF8_STRING", 8, text}, {"image/png", "image/png", 8, "\x89PNG"}}});
    return snapshot;
}

// Collects one answer.
struct Answer {
    bool arrived = false;
    OptionalText text;
    std::function<void(OptionalText)> callback() {
        return [this](OptionalText t) {
            QVERIFY(!arrived);
            arrived = true;
            text = std::move(t);
        };
    }
};

} // namespace

class TestSelectedTextReader : public QObject {
    Q_OBJECT
    TestEnvironment env;

private Q_SLOTS:
    // The synthetic copy: what it answers, whether it sends Ctrl+C and puts the clipboard back.
    void copyFallback_data() {
        QTest::addColumn<QString>("sourceClass"); // empty: source unknown
        QTest::addColumn<bool>("keysReleased");
        QTest::addColumn<bool>("clipboardReadable");
        QTest::addColumn<bool>("emptyBefore");
        QTest::addColumn<OptionalText>("copied");      // what Ctrl+C puts on the clipboard; none: nothing
        QTest::addColumn<int>("slowReads");            // reads answering empty before the copy shows
        QTest::addColumn<OptionalText>("currentText"); // the clipboard's text when nothing was copied
        QTest::addColumn<bool>("restoreWorks");
        QTest::addColumn<OptionalText>("expected");
        QTest::addColumn<int>("copiesSent");
        QTest::addColumn<int>("restores");
        QTest::addColumn<QString>("logged");
        const OptionalText none;
        const OptionalText previous = QStringLiteral("previous");
        const OptionalText words = QStringLiteral("selected words");

        QTest::newRow("copy shows at once") << "Gedit" << true << true << false << words << 0 << none << true
                                            << words << 1 << 1 << "Ctrl+C 获取成功（重试 1 次）";
        QTest::newRow("slow application") << "Gedit" << true << true << false << words << 2 << none << true
                                          << words << 1 << 1 << "Ctrl+C 获取成功（重试 3 次）";
        QTest::newRow("same text as before, clipboard changed")
            << "Gedit" << true << true << false << previous << 0 << none << true << previous << 1 << 1
            << "Ctrl+C 获取成功（重试 1 次）";
        QTest::newRow("nothing selected")
            << "Gedit" << true << true << false << none << 0 << previous << true << none << 1 << 0
            << "Ctrl+C 兜底失败：oldChangeCount=7 → finalChangeCount=7，"
               "剪贴板当前文本长度=8";
        QTest::newRow("new text without a change")
            << "Gedit" << true << true << false << none << 0 << words << true << words << 1 << 0
            << "Ctrl+C 获取成功（兜底读取）";
        QTest::newRow("empty clipboard before") << "Gedit" << true << true << true << words << 0 << none
                                                << true << words << 1 << 1 << "剪贴板已恢复（0 个条目）";
        QTest::newRow("restored contents") << "Gedit" << true << true << false << words << 0 << none << true
                                           << words << 1 << 1 << "剪贴板已恢复（1 个条目）";
        QTest::newRow("restore fails") << "Gedit" << true << true << false << words << 0 << none << false
                                       << words << 1 << 1 << "剪贴板恢复失败";
        QTest::newRow("terminal") << "XTerm" << true << true << false << words << 0 << none << true << none
                                  << 0 << 0 << "终端窗口：不发送 Ctrl+C";
        QTest::newRow("source unknown") << "" << true << true << false << words << 0 << none << true << none
                                        << 0 << 0 << "来源窗口未知：不发送 Ctrl+C";
        QTest::newRow("hotkey still held") << "Gedit" << false << true << false << words << 0 << none << true
                                           << none << 0 << 0 << "按键 1 秒内未松开：不发送 Ctrl+C";
        QTest::newRow("clipboard owner silent") << "Gedit" << true << false << false << words << 0 << none
                                                << true << none << 0 << 0 << "剪贴板所有者无响应";
    }
    void copyFallback() {
        QFETCH(QString, sourceClass);
        QFETCH(bool, keysReleased);
        QFETCH(bool, clipboardReadable);
        QFETCH(bool, emptyBefore);
        QFETCH(OptionalText, copied);
        QFETCH(int, slowReads);
        QFETCH(OptionalText, currentText);
        QFETCH(bool, restoreWorks);
        QFETCH(OptionalText, expected);
        QFETCH(int, copiesSent);
        QFETCH(int, restores);
        QFETCH(QString, logged);

        FakeClipboard clipboard;
        FakeKeyboard keyboard;
        const PasteboardSnapshot before = emptyBefore ? PasteboardSnapshot{} : snapshotWithText("previous");
        clipboard.before = clipboardReadable ? std::optional(before) : std::nullopt;
        clipboard.current = currentText;
        clipboard.restoreSucceeds = restoreWorks;
        clipboard.emptyReads = slowReads;
        keyboard.keysReleased = keysReleased;
        if (copied)
            keyboard.onCopy = [&] { clipboard.change(copied); };
        CopySelectionFallback fallback(clipboard, keyboard);
        fallback.setPollIntervalForTesting(std::chrono::milliseconds(5));
        std::optional<SelectionSource> source;
        if (!sourceClass.isEmpty())
            source = sourceOfClass(sourceClass);

        const qsizetype logMark = readLog().size();
        Answer answer;
        fallback.run(source, answer.callback());
        QTRY_VERIFY(answer.arrived);
        QCOMPARE(answer.text, expected);
        QCOMPARE(keyboard.copiesSent, copiesSent);
        QCOMPARE(clipboard.restores, restores);
        if (restores > 0)
            QCOMPARE(clipboard.restored, std::optional(before));
        QVERIFY2(readLog().mid(logMark).contains(logged), qPrintable(logged));
    }

    // A copy cancelled while it waits for the clipboard still puts the clipboard back.
    void cancelledCopyRestores() {
        FakeClipboard clipboard;
        FakeKeyboard keyboard;
        clipboard.before = snapshotWithText("previous");
        clipboard.emptyReads = 1000; // the copied text never shows
        keyboard.onCopy = [&] { clipboard.change(QStringLiteral("unused")); };
        CopySelectionFallback fallback(clipboard, keyboard);
        fallback.setPollIntervalForTesting(std::chrono::milliseconds(5));
        Answer answer;
        fallback.run(sourceOfClass("Gedit"), answer.callback());
        QTRY_VERIFY(clipboard.emptyReads < 998); // polling
        fallback.cancel();
        QTRY_COMPARE(clipboard.restores, 1);
        QCOMPARE(clipboard.restored, std::optional(snapshotWithText("previous")));
        QTRY_VERIFY(!fallback.isRunning());
        QVERIFY(!answer.arrived);
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
        QTest::addColumn<QString>("logged");
        const OptionalText none;
        QTest::newRow("accessibility") << OptionalText("from AT-SPI") << 1 << OptionalText("p")
                                       << OptionalText("c") << OptionalText("from AT-SPI") << 0 << 0 << "";
        QTest::newRow("empty accessible text")
            << OptionalText("") << 1 << OptionalText("from PRIMARY") << none << OptionalText("from PRIMARY")
            << 1 << 0 << "PRIMARY：获取选中文本 12 字符";
        QTest::newRow("stale PRIMARY of another program")
            << none << 2 << OptionalText("stale") << OptionalText("copied") << OptionalText("copied") << 0
            << 1 << "PRIMARY：所有者不是来源应用，忽略";
        QTest::newRow("no PRIMARY") << none << 0 << none << OptionalText("copied") << OptionalText("copied")
                                    << 0 << 1 << "Accessibility 未获取到文本，尝试 Ctrl+C 兜底";
        QTest::newRow("empty PRIMARY")
            << none << 1 << OptionalText("") << OptionalText("copied") << OptionalText("copied") << 1 << 1
            << "PRIMARY：选中文本为空或无法读取";
        QTest::newRow("nothing anywhere") << none << 0 << none << none << none << 0 << 1 << "剪贴板未被改动";
    }
    void readerOrder() {
        QFETCH(OptionalText, accessible);
        QFETCH(int, primaryOwner);
        QFETCH(OptionalText, primaryText);
        QFETCH(OptionalText, copied);
        QFETCH(OptionalText, expected);
        QFETCH(int, primaryReads);
        QFETCH(int, copiesSent);
        QFETCH(QString, logged);

        FakeSelectionServices fakes;
        const SelectionSource source = sourceOfClass("Gedit");
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

        const qsizetype logMark = readLog().size();
        Answer answer;
        reader.read(source, answer.callback());
        QVERIFY(reader.isReading());
        QTRY_VERIFY(answer.arrived);
        QVERIFY(!reader.isReading());
        QCOMPARE(answer.text, expected);
        QCOMPARE(fakes.accessibility->lastPid, source.pid);
        QCOMPARE(fakes.primary->reads, primaryReads);
        QCOMPARE(fakes.keyboard->copiesSent, copiesSent);
        QVERIFY2(readLog().mid(logMark).contains(logged), qPrintable(logged));
    }

    void oneReadAtATime() {
        FakeSelectionServices fakes;
        fakes.accessibility->hang = true;
        SelectedTextReader reader(fakes.take());
        Answer first, second;
        reader.read(sourceOfClass("Gedit"), first.callback());
        reader.read(sourceOfClass("Gedit"), second.callback());
        QTRY_VERIFY(second.arrived);
        QCOMPARE(second.text, OptionalText());
        QVERIFY(!first.arrived);
        reader.cancel();
        QVERIFY(!reader.isReading());
        // Cancelled: a late answer is dropped, and a new read may start.
        Answer third;
        fakes.accessibility->hang = false;
        fakes.accessibility->answer = QStringLiteral("next");
        reader.read(std::nullopt, third.callback());
        QTRY_VERIFY(third.arrived);
        QCOMPARE(third.text, OptionalText("next"));
        QCOMPARE(fakes.accessibility->lastPid, 0); // no source: the desktop's focus
        QVERIFY(!first.arrived);
    }
};

QTEST_GUILESS_MAIN(TestSelectedTextReader)
#include "tst_selected_text_reader.moc"
