// A small Qt program that plays the other application in the selected-text tests:
//   clipboard-owner --text F --html F --png F   owns CLIPBOARD with the three formats
//   primary-owner --text F                      a window that owns PRIMARY
//   copy-source [--text F] [--ignore-copy]      a window that answers Ctrl+C with the text
//   text-window --text T --select S,E [--range-only]
//       accessible text (start it with QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1); with
//       --range-only the text can only be had whole, cut at the reported selection
// Every mode takes --title T and prints "ready" once set up; "hang" on standard input
// freezes its event loop for 20 s; copy-source prints "copied" for every Ctrl+C.

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QClipboard>
#include <QCommandLineParser>
#include <QFile>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QSocketNotifier>
#include <QTextCursor>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>
#include <thread>
#include <unistd.h>

namespace {

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void say(const char* line) {
    std::printf("%s\n", line);
    std::fflush(stdout);
}

// A text field whose accessible text gives out the whole text only, as some
// applications do, and reports the selection it was told to.
class RangeOnlyText : public QWidget {
public:
    RangeOnlyText(QString text, int start, int end) : text(std::move(text)), start(start), end(end) {
        setFocusPolicy(Qt::StrongFocus);
        setMinimumSize(300, 60);
    }
    QString text;
    int start, end;
};

class RangeOnlyAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit RangeOnlyAccessible(RangeOnlyText* widget)
        : QAccessibleWidget(widget, QAccessible::EditableText) {}
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::TextInterface ? static_cast<QAccessibleTextInterface*>(this)
                                                  : QAccessibleWidget::interface_cast(type);
    }
    RangeOnlyText* field() const { return static_cast<RangeOnlyText*>(widget()); }
    void selection(int, int* startOffset, int* endOffset) const override {
        *startOffset = field()->start;
        *endOffset = field()->end;
    }
    int selectionCount() const override { return 1; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int startOffset, int endOffset) const override {
        const QString& whole = field()->text;
        return startOffset == 0 && (endOffset == -1 || endOffset >= whole.size()) ? whole : QString();
    }
    int characterCount() const override { return int(field()->text.size()); }
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int* startOffset, int* endOffset) const override {
        *startOffset = *endOffset = 0;
        return {};
    }
};

QAccessibleInterface* rangeOnlyFactory(const QString&, QObject* object) {
    if (auto* field = dynamic_cast<RangeOnlyText*>(object))
        return new RangeOnlyAccessible(field);
    return nullptr;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addPositionalArgument("mode", "clipboard-owner, primary-owner, copy-source or text-window");
    const QCommandLineOption textFile("text", "text file (text-window: the text itself)", "T");
    const QCommandLineOption htmlFile("html", "HTML file", "F");
    const QCommandLineOption pngFile("png", "PNG file", "F");
    const QCommandLineOption title("title", "window title", "T", "vyrn-fixture");
    const QCommandLineOption select("select", "selection start,end", "S,E");
    const QCommandLineOption rangeOnly("range-only");
    const QCommandLineOption ignoreCopy("ignore-copy");
    parser.addOptions({textFile, htmlFile, pngFile, title, select, rangeOnly, ignoreCopy});
    parser.process(app);
    const QString mode = parser.positionalArguments().value(0);

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[64] = {};
        if (::read(STDIN_FILENO, buffer, sizeof buffer - 1) <= 0) {
            input.setEnabled(false);
            return;
        }
        if (QByteArray(buffer).startsWith("hang"))
            std::this_thread::sleep_for(std::chrono::seconds(20));
    });

    std::unique_ptr<QWidget> window;
    if (mode == QLatin1String("clipboard-owner")) {
        auto* data = new QMimeData;
        data->setData("text/plain", readFile(parser.value(textFile)));
        data->setData("text/html", readFile(parser.value(htmlFile)));
        data->setData("image/png", readFile(parser.value(pngFile)));
        QGuiApplication::clipboard()->setMimeData(data);
    } else if (mode == QLatin1String("text-window")) {
        const QStringList range = parser.value(select).split(',');
        const int start = range.value(0).toInt(), end = range.value(1).toInt();
        if (parser.isSet(rangeOnly)) {
            QAccessible::installFactory(rangeOnlyFactory);
            window = std::make_unique<QWidget>();
            auto* field = new RangeOnlyText(parser.value(textFile), start, end);
            auto* layout = new QVBoxLayout(window.get());
            layout->addWidget(field);
            field->setFocus();
        } else {
            auto* edit = new QPlainTextEdit(parser.value(textFile));
            QTextCursor cursor = edit->textCursor();
            cursor.setPosition(start);
            cursor.setPosition(end, QTextCursor::KeepAnchor);
            edit->setTextCursor(cursor);
            window.reset(edit);
        }
    } else if (mode == QLatin1String("primary-owner") || mode == QLatin1String("copy-source")) {
        window = std::make_unique<QWidget>();
        window->setFocusPolicy(Qt::StrongFocus);
        window->setMinimumSize(300, 120);
        const QString text = QString::fromUtf8(readFile(parser.value(textFile)));
        if (mode == QLatin1String("primary-owner")) {
            QGuiApplication::clipboard()->setText(text, QClipboard::Selection);
        } else {
            auto* copy = new QShortcut(QKeySequence::Copy, window.get());
            const bool ignore = parser.isSet(ignoreCopy);
            QObject::connect(copy, &QShortcut::activated, [text, ignore] {
                if (!ignore)
                    QGuiApplication::clipboard()->setText(text);
                say("copied");
            });
        }
    } else {
        std::fprintf(stderr, "unknown mode %s\n", qPrintable(mode));
        return 2;
    }
    if (window) {
        window->setWindowTitle(parser.value(title));
        window->show();
    }
    QTimer::singleShot(0, [] { say("ready"); });
    return app.exec();
}
