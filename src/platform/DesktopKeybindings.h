#pragma once

#include <QList>
#include <QString>

#include <optional>

// Key combinations bound in the desktop's own keyboard settings to run VYRN's actions, where
// the desktop lets no program take global keys itself (GNOME on Wayland). Only entries VYRN
// wrote are ever changed. Main thread.
class DesktopKeybindings {
public:
    struct Binding {
        QString name;    // shown in the desktop's settings: "VYRN 截图翻译"
        QString command; // "/usr/bin/vyrn --screenshot"
        int keyCode;
        int modifiers;
    };
    enum class Action { screenshot, selection };

    virtual ~DesktopKeybindings() = default;

    // "GNOME 键盘快捷键": where the user finds the entries.
    virtual QString place() const = 0;
    // Whether VYRN's entries are in the desktop's list now.
    virtual bool written() const = 0;
    // Writes the screenshot and the selection entry, in that order. Per entry: nothing when it
    // was written, else why not ("已被 GNOME 快捷键「…」占用"); an entry not written is
    // removed, so no combination the user no longer sees in VYRN stays bound.
    virtual QList<std::optional<QString>> write(const QList<Binding>& bindings) = 0;
    virtual void remove() = 0;
};
