#pragma once

#include <QString>
#include <QtGlobal>

// The window that had the keyboard focus when the selection hotkey fired, and its
// program. Captured at that moment: by the time the text is read, the focus may
// have moved (to a VYRN panel, or with the user).
struct SelectionSource {
    quint32 window = 0;     // the top-level client window (X11 id)
    qint64 pid = 0;         // 0 when unknown
    QString windowInstance; // WM_CLASS instance, e.g. "xterm"
    QString windowClass;    // WM_CLASS class, e.g. "XTerm"

    bool operator==(const SelectionSource&) const = default;
};
