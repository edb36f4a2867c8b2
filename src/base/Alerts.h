#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

// What a flow wants to tell the user; how it is shown is the UI layer's business.
struct AlertRequest {
    enum class Style { Informational, Warning, Critical };
    QString messageText;
    QString informativeText;
    Style style = Style::Warning;
    QStringList buttons; // in order; the first is the default
};

// Receives the index of the pressed button, or -1 when the alert was dismissed.
using AlertAnswer = std::function<void(int buttonIndex)>;

// Shows alerts for the code below the windows; the program's owner hands the real one to
// whoever needs it. Never waits for the user.
class AlertPresenter : public QObject {
public:
    // Main thread only; returns at once, the answer arrives later on the main thread.
    virtual void open(const AlertRequest& alert, AlertAnswer onAnswer) = 0;
    // A question about `window`'s own contents (save, reset): blocks that window only.
    // Presenters without windows of their own treat it as open().
    virtual void openFor(QObject* window, const AlertRequest& alert, AlertAnswer onAnswer);

    // Any thread; the alert opens later on the main thread, so that a flow that reports a
    // failure goes on tidying up before the user sees anything.
    void openLater(const AlertRequest& alert, AlertAnswer onAnswer = {});
    // The flows' failure alert ("翻译失败" with the message); `then` runs once answered.
    void showError(const QString& message, AlertAnswer then = {});
    // An informational alert with one "确定".
    void showAlert(const QString& title, const QString& message);
};
