#include "app/CommandLine.h"

#include <QTest>

Q_DECLARE_METATYPE(CommandLine::Kind)
Q_DECLARE_METATYPE(std::optional<AppAction>)

class TestCommandLine : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void parse_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<CommandLine::Kind>("kind");
        QTest::addColumn<std::optional<AppAction>>("action");
        QTest::addColumn<bool>("background");
        QTest::addColumn<QString>("error");
        using K = CommandLine::Kind;
        const auto row = [](const char* name, const QString& line, K kind, std::optional<AppAction> action,
                            bool background, const char* error = "") {
            QTest::newRow(name) << line.split(QLatin1Char(' '), Qt::SkipEmptyParts) << kind << action
                                << background << QString::fromUtf8(error);
        };
        row("nothing", "", K::Run, std::nullopt, false);
        row("action", "--selection", K::Run, AppAction::Selection, false);
        row("autostart", "--background", K::Run, std::nullopt, true);
        row("autostart with an action", "--background --screenshot", K::Run, AppAction::Screenshot, true);
        row("the same action twice", "--settings --settings", K::Run, AppAction::Settings, false);
        row("two actions", "--screenshot --quit", K::Invalid, std::nullopt, false,
            "一次只能指定一个操作: --quit");
        row("help wins", "--screenshot --version -h", K::Help, AppAction::Screenshot, false);
        row("version", "--version", K::Version, std::nullopt, false);
        row("unknown option", "--help --frobnicate", K::Invalid, std::nullopt, false,
            "未知选项: --frobnicate");
        row("option with a value", "--screenshot=now", K::Invalid, std::nullopt, false,
            "未知选项: --screenshot=now");
        row("Qt's own option", "-platform offscreen", K::Invalid, std::nullopt, false, "未知选项: -platform");
        row("a file", "page.png", K::Invalid, std::nullopt, false, "多余的参数: page.png");
    }
    void parse() {
        QFETCH(QStringList, arguments);
        QFETCH(CommandLine::Kind, kind);
        QFETCH(std::optional<AppAction>, action);
        QFETCH(bool, background);
        QFETCH(QString, error);
        const CommandLine line = parseCommandLine(arguments);
        QCOMPARE(line.kind, kind);
        QCOMPARE(line.error, error);
        if (kind != CommandLine::Kind::Invalid) {
            QCOMPARE(line.action, action);
            QCOMPARE(line.background, background);
        }
    }
};

QTEST_APPLESS_MAIN(TestCommandLine)
#include "tst_command_line.moc"
