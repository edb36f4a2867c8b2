#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <optional>

class QWidget;

// Where no program may grab keys for itself (a Wayland session), the floating panels take the
// keyboard when they open, so that their keys work as the panel's own. They take it for the
// user's action that opened them: the window manager refuses when the user has gone on to
// work elsewhere since, and the panel is then closed with its buttons.
//
//   PanelFocus focus;
//   focus.actionStarted(request.startupId);   // as the hotkey's action starts
//   panel->show();
//   focus.take(panel, QStringLiteral("结果面板"));
class PanelFocus : public QObject {
    Q_OBJECT
public:
    PanelFocus();
    ~PanelFocus() override;

    // The user asked for a translation just now, or through the desktop's launch `launchId`
    // (its startup id or activation token), whose own time counts when it carries one.
    void actionStarted(const QByteArray& launchId = {});
    // After `panel` was shown. Logs once when it has not got the keyboard a moment later.
    void take(QWidget* panel, const QString& name);
    // The time a launch id carries ("..._TIME<n>", as startup notification makes them).
    static std::optional<quint32> launchTime(const QByteArray& launchId);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ask();
    void check();

    // Of the action, or of the user's last input in VYRN's own windows after it (the drag on
    // the frozen screen that opens the loading panel).
    quint32 m_userTime = 0;
    QPointer<QWidget> m_panel;
    QString m_name;
    bool m_received = false;
    int m_askedAgain = 0;
    QTimer m_deadline;
};
