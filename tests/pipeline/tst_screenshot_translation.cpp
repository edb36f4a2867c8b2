#include "TranslationEndToEnd.h"
#include "support/DrawnText.h"
#include "support/TestFonts.h"

#include <QApplication>
#include <QLabel>
#include <QVBoxLayout>

#include <csignal>

using namespace TranslationEndToEnd;

// Screenshot translation as a user meets it: a window of English text and a table on the
// screen, the hotkey and a drag through the X server, OCR and the request in the real program.
class TestScreenshotTranslation : public QObject {
    Q_OBJECT
    TestEnvironment env;
    X11Desktop desktop;
    LocalHttpServer chat;
    LocalHttpServer updateService;
    PrivateSessionBus bus;
    NotificationServer notifications{bus.address()};
    std::unique_ptr<VyrnProcess> vyrn;
    QWidget page;
    QLabel* paragraph = nullptr;
    QLabel* table = nullptr;

    static QLabel* pictureLabel(const QImage& image, QWidget* parent) {
        auto* label = new QLabel(parent);
        label->setPixmap(QPixmap::fromImage(image));
        label->setFixedSize(image.size());
        return label;
    }

    // A drag over `label` (inset a little, so the selection holds only what is drawn) with
    // the overlay of the screenshot hotkey.
    void captureByDrag(const QLabel* label) {
        const QRect area(label->mapToGlobal(QPoint(2, 2)), label->size() - QSize(4, 4));
        const int starts = vyrn->count(QStringLiteral("截图引擎启动"));
        Desktop::xdotool({"mousemove", QString::number(area.left()), QString::number(area.top())});
        X11Desktop::key(QStringLiteral("super+t"));
        QVERIFY(vyrn->waitFor(QStringLiteral("截图引擎启动"), starts + 1));
        // Mapped after the program took the pointer and keyboard (or is retrying for them).
        QTRY_VERIFY_WITH_TIMEOUT(!X11Desktop::windowsNamed(QStringLiteral("^VYRN 截图")).isEmpty(), 15000);
        Desktop::xdotool({"mousedown", "1", "mousemove", QString::number(area.center().x()),
                          QString::number(area.center().y()), "mousemove", QString::number(area.right()),
                          QString::number(area.bottom()), "mouseup", "1"});
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(desktop.startWindowManager());
        QVERIFY(notifications.registerOnBus());
        configure(chat.baseUrl(), updateService.baseUrl());

        page.setWindowTitle(QStringLiteral("English page"));
        page.setStyleSheet(QStringLiteral("background: white"));
        auto* layout = new QVBoxLayout(&page);
        layout->setSpacing(60);
        paragraph = pictureLabel(
            DrawnText::prose(DrawnText::proseLines().mid(0, 3), 20, DrawnText::Theme::Light).image, &page);
        table = pictureLabel(DrawnText::table(DrawnText::sampleTable(), 20, DrawnText::Theme::Light).image,
                             &page);
        layout->addWidget(paragraph);
        layout->addWidget(table);
        page.move(60, 120);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        QTRY_VERIFY_WITH_TIMEOUT(X11Desktop::isManaged(page.winId()), 15000);

        vyrn = std::make_unique<VyrnProcess>(bus.environment(VyrnProcess::environment()));
        QVERIFY(vyrn->start({QStringLiteral("--background")}));
        QVERIFY(vyrn->waitFor(QStringLiteral(" 就绪 — ")));
    }

    void cleanupTestCase() {
        vyrn->signal(SIGTERM);
        QVERIFY(vyrn->waitForCleanExit());
    }

    void init() { chat.reset(); }

    void regionIsTranslated_data() {
        QTest::addColumn<bool>("isTable");
        QTest::addColumn<QString>("logged");
        QTest::addColumn<QStringList>("sent");
        QTest::newRow("paragraph") << false << QStringLiteral("表格检测: 纯文本")
                                   << QStringList{"committee", "application", "decision", "documents"};
        QTest::newRow("table") << true << QStringLiteral("表格检测: 是表格")
                               << QStringList{"| Country | Capital | Population |", "| France | Paris |",
                                              "---"};
    }
    void regionIsTranslated() {
        QFETCH(bool, isTable);
        QFETCH(QString, logged);
        QFETCH(QStringList, sent);
        const int done = vyrn->count(QStringLiteral("流水线完成"));
        const int notified = int(notifications.calls().size());
        chat.enqueue(answerWith(QStringLiteral("## 中文翻译\n委员会将审核每一份申请。")));
        captureByDrag(isTable ? table : paragraph);

        QVERIFY2(chat.waitForRequests(1, 60000), qPrintable(vyrn->output()));
        const QString request = userMessage(chat.requests().constFirst());
        for (const QString& words : sent)
            QVERIFY2(request.contains(words), qPrintable(request));
        QVERIFY(vyrn->waitFor(logged)); // each region logs its own kind once

        const qulonglong panel = waitForWindowOf(vyrn->pid(), kResultTitle);
        QVERIFY2(panel, qPrintable(vyrn->output()));
        QVERIFY(vyrn->waitFor(QStringLiteral("流水线完成"), done + 1));
        // The text is on the screen's left half: the panel takes the right one.
        QVERIFY(X11Desktop::geometryOf(panel).center().x() > 960);
        QTRY_COMPARE_WITH_TIMEOUT(notifications.calls().size(), notified + 1, 15000);
        QCOMPARE(notifications.calls().constLast().body, QStringLiteral("翻译完成，点击查看结果"));

        // The panel's own Esc, wherever the focus is.
        X11Desktop::key(QStringLiteral("Escape"));
        QVERIFY(waitUntilGone(vyrn->pid(), kResultTitle));
    }
};

int main(int argc, char** argv) {
    const TestFonts fonts;
    QApplication app(argc, argv);
    TestScreenshotTranslation test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_screenshot_translation.moc"
