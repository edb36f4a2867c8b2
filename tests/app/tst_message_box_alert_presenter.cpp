#include "app/MessageBoxAlertPresenter.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

class TestMessageBoxAlertPresenter : public QObject {
    Q_OBJECT
    TestEnvironment env;

private Q_SLOTS:
    // A server may answer with markup in a version text; it must show as typed and
    // no link in it may become clickable.
    void showsOutsideTextAsPlainText() {
        AlertRequest alert;
        alert.messageText = QStringLiteral("发现新版本 v9.<a href=\"file:///etc/passwd\">下载</a>");
        alert.informativeText = QStringLiteral("最新版本：v9.<img src=\"/tmp/x.png\"><b>粗</b>");
        alert.buttons = {QStringLiteral("前往下载"), QStringLiteral("跳过此版本"),
                         QStringLiteral("稍后提醒")};

        MessageBoxAlertPresenter presenter;
        int answer = -2;
        presenter.open(alert, [&answer](int button) { answer = button; });
        QMessageBox* box = nullptr;
        for (QWidget* widget : QApplication::topLevelWidgets())
            box = box ? box : qobject_cast<QMessageBox*>(widget);
        QVERIFY(box);
        QList<Qt::TextFormat> formats;
        for (QLabel* label : box->findChildren<QLabel*>()) {
            if (label->text() == alert.messageText || label->text() == alert.informativeText)
                formats.append(label->textFormat());
        }
        QCOMPARE(formats, QList<Qt::TextFormat>({Qt::PlainText, Qt::PlainText}));
        QCOMPARE(answer, -2); // opening does not wait for the user
        for (QAbstractButton* button : box->buttons()) {
            if (button->text() == QStringLiteral("跳过此版本"))
                button->click();
        }
        QCOMPARE(answer, 1);
    }
};

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qunsetenv("DISPLAY"); // keeps the offscreen plugin off the X server
    QApplication app(argc, argv);
    TestMessageBoxAlertPresenter test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_message_box_alert_presenter.moc"
