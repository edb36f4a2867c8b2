#include "support/TestEnvironment.h"
#include "support/TestMain.h"
#include "windows/MessageBoxAlertPresenter.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <algorithm>

namespace {
QList<QMessageBox*> openBoxes() {
    QList<QMessageBox*> boxes;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible())
            boxes.append(box);
    }
    return boxes;
}

void clickButton(QMessageBox* box, const QString& text) {
    for (QAbstractButton* button : box->buttons()) {
        if (button->text() == text)
            button->click();
    }
}

AlertRequest
question(const QString& informative = QStringLiteral("请前往 偏好设置 配置 DeepSeek API Key。")) {
    return {QStringLiteral("未配置 API Key"),
            informative,
            AlertRequest::Style::Warning,
            {QStringLiteral("打开偏好设置"), QStringLiteral("取消")}};
}
} // namespace

class TestMessageBoxAlertPresenter : public QObject {
    Q_OBJECT
    TestEnvironment env;
    MessageBoxAlertPresenter presenter;

private Q_SLOTS:
    void cleanup() {
        for (QMessageBox* box : openBoxes())
            box->reject();
        QTRY_VERIFY(openBoxes().isEmpty());
    }

    // A server may answer with markup in a version text: no link in it may become clickable.
    void showsOutsideTextAsPlainText() {
        AlertRequest alert;
        alert.messageText = QStringLiteral("发现新版本 v9.<a href=\"file:///etc/passwd\">下载</a>");
        alert.informativeText = QStringLiteral("最新版本：v9.<img src=\"/tmp/x.png\"><b>粗</b>");
        alert.buttons = {QStringLiteral("前往下载"), QStringLiteral("跳过此版本"),
                         QStringLiteral("稍后提醒")};
        presenter.open(alert, {});
        QCOMPARE(openBoxes().size(), 1);
        QList<Qt::TextFormat> formats;
        for (QLabel* label : openBoxes().constFirst()->findChildren<QLabel*>()) {
            if (label->text() == alert.messageText || label->text() == alert.informativeText)
                formats.append(label->textFormat());
        }
        QCOMPARE(formats, QList<Qt::TextFormat>({Qt::PlainText, Qt::PlainText}));
    }

    // The program goes on (a timer fires) while the alert waits.
    void opensWithoutWaitingForTheUser() {
        int answer = -2;
        presenter.open(question(), [&answer](int button) { answer = button; });
        QCOMPARE(answer, -2);
        bool fired = false;
        QTimer::singleShot(0, [&fired] { fired = true; });
        QTRY_VERIFY(fired);
        QCOMPARE(openBoxes().size(), 1);
        clickButton(openBoxes().constFirst(), QStringLiteral("打开偏好设置"));
        QCOMPARE(answer, 0);
    }

    // Esc takes the way out, which is the last button.
    void dismissingAnswersTheLastButton_data() {
        QTest::addColumn<QStringList>("buttons");
        QTest::addColumn<int>("expected");
        QTest::newRow("one button") << QStringList{QStringLiteral("确定")} << 0;
        QTest::newRow("question") << QStringList{QStringLiteral("恢复默认"), QStringLiteral("取消")} << 1;
        QTest::newRow("three answers")
            << QStringList{QStringLiteral("前往下载"), QStringLiteral("跳过此版本"),
                           QStringLiteral("稍后提醒")}
            << 2;
    }
    void dismissingAnswersTheLastButton() {
        QFETCH(QStringList, buttons);
        QFETCH(int, expected);
        int answer = -2;
        presenter.open(
            {QStringLiteral("标题"), QStringLiteral("正文"), AlertRequest::Style::Warning, buttons},
            [&answer](int button) { answer = button; });
        QTest::keyClick(openBoxes().constFirst(), Qt::Key_Escape);
        QCOMPARE(answer, expected);
    }

    // Repeated hotkey presses must not stack copies.
    void equalAlertJoinsTheOpenOne_data() {
        QTest::addColumn<AlertRequest>("second");
        QTest::addColumn<int>("boxes");
        QTest::newRow("equal") << question() << 1;
        QTest::newRow("other text") << question(QStringLiteral("请前往 偏好设置 配置 Qwen API Key。")) << 2;
        AlertRequest otherButtons = question();
        otherButtons.buttons.removeLast();
        QTest::newRow("other buttons") << otherButtons << 2;
    }
    void equalAlertJoinsTheOpenOne() {
        QFETCH(AlertRequest, second);
        QFETCH(int, boxes);
        QList<int> answers;
        presenter.open(question(), [&answers](int button) { answers.append(button); });
        presenter.open(second, [&answers](int button) { answers.append(10 + button); });
        QCOMPARE(openBoxes().size(), boxes);
        if (boxes == 1) {
            clickButton(openBoxes().constFirst(), QStringLiteral("打开偏好设置"));
            QCOMPARE(answers, QList<int>({0, 10}));
            // Answered and gone: the same alert opens anew.
            presenter.open(question(), {});
            QCOMPARE(openBoxes().size(), 1);
            return;
        }
        for (QMessageBox* box : openBoxes())
            QTest::keyClick(box, Qt::Key_Escape);
        std::sort(answers.begin(), answers.end());
        QCOMPARE(answers, QList<int>({1, 10 + int(second.buttons.size()) - 1}));
    }

    // The settings window's confirmations block that window alone.
    void windowModalConfirmation() {
        QWidget settingsWindow;
        settingsWindow.show();
        int answer = -2;
        presenter.openFor(&settingsWindow, question(), [&answer](int button) { answer = button; });
        presenter.openFor(&settingsWindow, question(), [&answer](int button) { answer += button; });
        QCOMPARE(answer, -2);
        const QList<QMessageBox*> boxes = settingsWindow.findChildren<QMessageBox*>();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes.constFirst()->windowModality(), Qt::WindowModal);
        clickButton(boxes.constFirst(), QStringLiteral("取消"));
        QCOMPARE(answer, 2);
    }
};

VYRN_TEST_MAIN(QApplication, TestMessageBoxAlertPresenter, "offscreen")
#include "tst_message_box_alert_presenter.moc"
