#pragma once

#include <QList>
#include <QString>

// Keys pressed the way a user's keyboard presses them in a GNOME Wayland session: through
// Mutter's RemoteDesktop interface, so that the compositor's own shortcuts see them. One
// session is held for the keyboard's life (a new virtual device drops its first key).
class MutterKeyboard {
public:
    MutterKeyboard();
    ~MutterKeyboard();
    bool isOpen() const { return !m_session.isEmpty(); }
    QString error() const { return m_error; }
    // "super+shift+t", "Escape": pressed in order, released in reverse.
    bool press(const QString& keys);

private:
    bool keysym(quint32 keysym, bool pressed);

    QString m_session;
    QString m_error;
};
