#include "SelectionTestSupport.h"
#include "platform/atspi/AtspiAccessibilityReader.h"
#include "support/DesktopPrograms.h"
#include "support/TestEnvironment.h"

#include <QTest>

using OptionalText = std::optional<QString>;
Q_DECLARE_METATYPE(OptionalText)

namespace {

const QString fixture = QStringLiteral(VYRN_SELECTION_FIXTURE);
constexpr std::chrono::milliseconds budget{1000};

QProcessEnvironment accessibleQt() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
    return environment;
}

} // namespace

class TestAtspiReader : public QObject {
    Q_OBJECT
    TestEnvironment env;
    std::unique_ptr<AtspiAccessibilityReader> reader;

    // The reader's answer for the application `pid`, and the log lines of that read.
    std::pair<OptionalText, QString> read(qint64 pid) {
        const qsizetype logMark = readLog().size();
        AsyncAnswer<OptionalText> answer;
        reader->read(pid, budget, answer.callback());
        if (!answer.wait())
            return {QStringLiteral("(no answer)"), {}};
        return {answer.value, readLog().mid(logMark)};
    }

    // Starts an application, focuses its window and returns it.
    std::unique_ptr<DesktopProgram> focused(const QString& program, const QStringList& arguments,
                                            const QString& title,
                                            const QProcessEnvironment& environment = accessibleQt()) {
        auto started = std::make_unique<DesktopProgram>(program, arguments, environment);
        const quint32 window = Desktop::waitForWindow(title);
        if (!window || !Desktop::activate(window))
            return nullptr;
        return started;
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY2(Desktop::hasAccessibilityBus(),
                 "needs the accessibility bus: run inside scripts/test-session.sh");
        QVERIFY2(Desktop::hasWindowManager(), "needs a window manager: run inside scripts/test-session.sh");
        reader = std::make_unique<AtspiAccessibilityReader>(QStringLiteral(VYRN_ATSPI_READER));
        QTRY_VERIFY_WITH_TIMEOUT(reader->isReady(), 10000);
    }

    // GTK 3 always speaks AT-SPI: its text view's selection, with role and depth.
    void gtkTextView() {
        const QString file =
            SelectionTestSupport::writeFile(env.root(), "zenity.txt", "Hello 😀 world\nsecond line here\n");
        auto zenity =
            focused("zenity", {"--text-info", "--editable", "--filename=" + file, "--title=zenity text"},
                    "zenity text", QProcessEnvironment::systemEnvironment());
        QVERIFY(zenity);
        Desktop::xdotool({"key", "ctrl+Home", "shift+End"});
        QTRY_COMPARE(read(zenity->pid()).first, OptionalText("Hello 😀 world"));
        QVERIFY(readLog().contains("Accessibility：获取选中文本 13 字符（role=text, depth=0）"));
    }

    // Qt's bridge counts UTF-16 units; the application cuts its own selection.
    void qtSelection() {
        auto window =
            focused(fixture, {"text-window", "--text", "😀a😀bcdef", "--select", "3,6", "--title", "qt text"},
                    "qt text");
        QVERIFY(window);
        QTRY_COMPARE(read(window->pid()).first, OptionalText("😀b"));
    }

    // An element that gives out only its whole text: the text is cut at the range,
    // in the unit the element counts in; a range past the end yields nothing.
    void qtWholeTextAndRange_data() {
        QTest::addColumn<QString>("range");
        QTest::addColumn<OptionalText>("expected");
        QTest::addColumn<QString>("logged");
        QTest::newRow("after astral characters")
            << "5,10" << OptionalText("bcdef") << "（role=text, depth=0）";
        QTest::newRow("past the end")
            << "5,12" << OptionalText() << "Accessibility：未找到任何文本（含祖先遍历）";
    }
    void qtWholeTextAndRange() {
        QFETCH(QString, range);
        QFETCH(OptionalText, expected);
        QFETCH(QString, logged);
        const QString title = "range only " + range;
        auto window = focused(
            fixture,
            {"text-window", "--range-only", "--text", "😀a😀bcdef", "--select", range, "--title", title},
            title);
        QVERIFY(window);
        // The focus event may still be on its way.
        QTRY_VERIFY(!read(window->pid()).second.contains("无法获取 PID="));
        const auto [text, log] = read(window->pid());
        QVERIFY2(text == expected, qPrintable(text.value_or("(none)") + '\n' + log));
        QVERIFY2(log.contains(logged), qPrintable(log));
    }

    // A frozen application costs the budget, no more, and the log names the call.
    void frozenApplication() {
        auto window =
            focused(fixture, {"text-window", "--text", "frozen text", "--select", "0,6", "--title", "frozen"},
                    "frozen");
        QVERIFY(window);
        QTRY_COMPARE(read(window->pid()).first, OptionalText("frozen"));
        window->write("hang\n");
        const auto [text, log] = read(window->pid());
        QCOMPARE(text, OptionalText());
        QVERIFY2(log.contains("超时（250 ms），应用无响应"), qPrintable(log));
    }

    void helperMissing() {
        AtspiAccessibilityReader missing(env.root() + "/no-such-reader");
        AsyncAnswer<OptionalText> answer;
        answer.value = QStringLiteral("unset");
        missing.read(0, budget, answer.callback());
        QVERIFY(answer.wait());
        QCOMPARE(answer.value, OptionalText());
        QVERIFY(readLog().contains("Accessibility：无法启动读取进程"));
    }
};

QTEST_GUILESS_MAIN(TestAtspiReader)
#include "tst_atspi_reader.moc"
