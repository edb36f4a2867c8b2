#pragma once

#include <QPoint>
#include <QString>
#include <QVariant>

// Keys pressed as a user's keyboard presses them in a GNOME Wayland session: through Mutter's
// RemoteDesktop interface, so that the compositor's own shortcuts see them. One session is held
// for the keyboard's life (a new virtual device drops its first key).
class MutterKeyboard {
public:
    MutterKeyboard();
    ~MutterKeyboard();
    bool isOpen() const { return !m_session.isEmpty(); }
    QString error() const { return m_error; }
    // X11 keysyms, pressed in order and released in reverse.
    bool press(const QList<quint32>& keysyms);
    // The shell starts in its overview, which takes every key; Esc closes it, and keys pressed
    // while it is still closing go to it too. True once it is closed.
    bool leaveOverview();
    // The seat's pointer too: to `to` in the layout's points (by way of its top-left corner,
    // where the compositor stops a relative move), and its left button.
    bool movePointer(QPoint to);
    bool movePointerBy(QPoint delta);
    bool leftButton(bool pressed);

private:
    bool call(const QString& method, const QVariantList& arguments = {});

    QString m_session;
    QString m_error;
};
