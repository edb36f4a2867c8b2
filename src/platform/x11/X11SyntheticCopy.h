#pragma once

#include "pipeline/SyntheticKeyboard.h"
#include "platform/x11/X11SelectionConnection.h"

#include <QObject>

#include <memory>
#include <vector>

// Ctrl+C through XTest, which the server delivers like typed keys to the focused window.
class X11SyntheticCopy : public QObject, public SyntheticKeyboard {
    Q_OBJECT
public:
    explicit X11SyntheticCopy(std::shared_ptr<X11SelectionConnection> connection, QObject* parent = nullptr);
    // Releases what a shortcut cut short left pressed: the server would keep the key down
    // for every program after this one is gone.
    ~X11SyntheticCopy() override;
    void waitUntilNoKeyDown(std::chrono::milliseconds limit, Done done) override;
    void sendCopyShortcut(Done done) override;

private:
    bool anyKeyDown();
    xcb_keycode_t keycodeFor(quint32 keysym);
    void press(xcb_keycode_t key, bool down);

    std::shared_ptr<X11SelectionConnection> m_connection;
    std::vector<xcb_keycode_t> m_pressed;
};
