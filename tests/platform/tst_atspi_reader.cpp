#include "platform/atspi/AtspiAccessibilityReader.h"
#include "support/AsyncAnswer.h"
#include "support/TestEnvironment.h"
#include "support/X11Desktop.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
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
                                            const QString& title) {
        auto started = std::make_unique<DesktopProgram>(program, arguments, accessibleQt());
        const qulonglong window = X11Desktop::waitForWindow(title);
        if (!window || !X11Desktop::activate(window))
            return nullptr;
        return started;
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY2(X11Desktop::hasAccessibilityBus(),
                 "needs the accessibility bus: run inside scripts/test-session.sh");
        QVERIFY2(X11Desktop::hasWindowManager(),
                 "needs a window manager: run inside scripts/test-session.sh");
        reader = std::make_unique<AtspiAccessibilityReader>(QStringLiteral(VYRN_ATSPI_READER));
        QTRY_VERIFY_WITH_TIMEOUT(reader->isReady(), 10000);
    }

    // A program and a helper of different versions (one upgraded while the other runs)
    // refuse each other.
    void refusesAnotherProtocol() {
        QProcess helper;
        helper.start(QStringLiteral(VYRN_ATSPI_READER), {QStringLiteral("--protocol"), QStringLiteral("0")});
        QVERIFY(helper.waitForFinished(10000));
        QVERIFY(helper.readAllStandardOutput().contains("\"ready\":false"));
        QTemporaryDir folder;
        const QString older = folder.filePath(QStringLiteral("vyrn-atspi-reader"));
        writeFileBytes(older, "#!/bin/sh\necho '{\"ready\": true}'\nexec cat >/dev/null\n");
        QVERIFY(QFile::setPermissions(older, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        AtspiAccessibilityReader olderReader(older);
        AsyncAnswer<OptionalText> answer;
        olderReader.read(QCoreApplication::applicationPid(), budget, answer.callback());
        QVERIFY(answer.wait() && !answer.value);
        QVERIFY(!olderReader.isReady());
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
        QTest::newRow("after astral characters") << "5,10" << OptionalText("bcdef");
        QTest::newRow("past the end") << "5,12" << OptionalText();
    }
    void qtWholeTextAndRange() {
        QFETCH(QString, range);
        QFETCH(OptionalText, expected);
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
    }

    // A frozen application costs the budget, no more.
    void frozenApplication() {
        auto window =
            focused(fixture, {"text-window", "--text", "frozen text", "--select", "0,6", "--title", "frozen"},
                    "frozen");
        QVERIFY(window);
        QTRY_COMPARE(read(window->pid()).first, OptionalText("frozen"));
        window->write("hang\n");
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(read(window->pid()).first, OptionalText());
        QVERIFY2(clock.elapsed() < budget.count() + 2000, qPrintable(QString::number(clock.elapsed())));
    }

    void helperMissing() {
        AtspiAccessibilityReader missing(env.root() + "/no-such-reader");
        AsyncAnswer<OptionalText> answer;
        answer.value = QStringLiteral("unset");
        missing.read(0, budget, answer.callback());
        QVERIFY(answer.wait());
        QCOMPARE(answer.value, OptionalText());
    }
};

QTEST_GUILESS_MAIN(TestAtspiReader)
#include "tst_atspi_reader.moc"
