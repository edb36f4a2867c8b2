#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// GNOME's view of key combinations, and the rules for the custom keybindings VYRN writes
// there (org.gnome.settings-daemon.plugins.media-keys): which binding already holds a
// combination, which custom entries are VYRN's, and the path list after VYRN adds or removes
// its own. Pure: the settings themselves are read and written by the platform layer.
namespace GnomeKeybindings {

// VYRN's entries are known by their paths: GNOME Settings names the entries it creates
// "customN" and keeps a path when the user edits the entry, so these survive every edit.
inline constexpr char kCustomBase[] = "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/";
QString screenshotPath();
QString selectionPath();
bool isVyrnPath(const QString& path);

// GTK's accelerator syntax for a stored hotkey: "<Super>t", "<Shift><Super>t",
// "<Control><Alt>Page_Down". Empty for a key code without an X11 keysym.
QString acceleratorFor(int keyCode, int modifiers);
// Whether two accelerators name the same combination the way GNOME reads them: modifiers in
// any order and spelling (<Primary>, <Ctrl>, <Control>; <Mod4>, <Super>), names in any case.
// "" and "disabled" match nothing.
bool sameAccelerator(const QString& a, const QString& b);

// One of GNOME's own bindings (a key of the keybinding schemas) and what it is called.
struct BuiltInBinding {
    QString label; // the key's summary, else its name
    QStringList accelerators;
};

struct CustomBinding {
    QString path;
    QString name;
    QString command;
    QString binding;
};

// Who holds `accelerator` apart from VYRN's own entries, named for the user:
// "GNOME 快捷键「Switch windows」", "GNOME 自定义快捷键「Terminal」".
std::optional<QString> holderOf(const QString& accelerator, const QList<BuiltInBinding>& builtIn,
                                const QList<CustomBinding>& custom);

// The user's own entries of a path list, in their order: VYRN's are written after them.
QStringList othersPaths(const QStringList& current);

} // namespace GnomeKeybindings
