#include "keys/GnomeKeybindings.h"

#include "keys/HotkeyNames.h"
#include "keys/LinuxKeyMap.h"

#include <QRegularExpression>

#include <algorithm>

namespace {

struct KeysymName {
    quint32 keysym;
    const char* name;
};

// Names of the keysyms the key table uses, as gdk_keyval_name gives them; letters and
// digits are their own names.
constexpr KeysymName kNames[] = {
    {0x0020, "space"},       {0x0027, "apostrophe"},  {0x002c, "comma"},        {0x002d, "minus"},
    {0x002e, "period"},      {0x002f, "slash"},       {0x003b, "semicolon"},    {0x003d, "equal"},
    {0x005b, "bracketleft"}, {0x005c, "backslash"},   {0x005d, "bracketright"}, {0x0060, "grave"},
    {0xff08, "BackSpace"},   {0xff09, "Tab"},         {0xff0b, "Clear"},        {0xff0d, "Return"},
    {0xff13, "Pause"},       {0xff1b, "Escape"},      {0xff50, "Home"},         {0xff51, "Left"},
    {0xff52, "Up"},          {0xff53, "Right"},       {0xff54, "Down"},         {0xff55, "Page_Up"},
    {0xff56, "Page_Down"},   {0xff57, "End"},         {0xff61, "Print"},        {0xff63, "Insert"},
    {0xff8d, "KP_Enter"},    {0xffaa, "KP_Multiply"}, {0xffab, "KP_Add"},       {0xffad, "KP_Subtract"},
    {0xffae, "KP_Decimal"},  {0xffaf, "KP_Divide"},   {0xffbd, "KP_Equal"},     {0xffff, "Delete"},
};

QString keysymName(quint32 keysym) {
    if ((keysym >= '0' && keysym <= '9') || (keysym >= 'a' && keysym <= 'z'))
        return QString(QChar(char16_t(keysym)));
    if (keysym >= 0xffb0 && keysym <= 0xffb9)
        return QStringLiteral("KP_%1").arg(keysym - 0xffb0);
    if (keysym >= 0xffbe && keysym <= 0xffe0)
        return QStringLiteral("F%1").arg(keysym - 0xffbe + 1);
    for (const KeysymName& entry : kNames) {
        if (entry.keysym == keysym)
            return QString::fromLatin1(entry.name);
    }
    return {};
}

// The modifiers in one spelling and order, then the key's name in lower case;
// empty for what binds nothing.
QString canonical(const QString& accelerator) {
    static const QRegularExpression modifier(QStringLiteral("^<([^>]*)>"));
    QString rest = accelerator.trimmed();
    QStringList modifiers;
    for (QRegularExpressionMatch match = modifier.match(rest); match.hasMatch();
         match = modifier.match(rest)) {
        const QString name = match.captured(1).toLower();
        if (name == u"control" || name == u"ctrl" || name == u"ctl" || name == u"primary")
            modifiers.append(QStringLiteral("control"));
        else if (name == u"shft")
            modifiers.append(QStringLiteral("shift"));
        else if (name == u"mod1")
            modifiers.append(QStringLiteral("alt"));
        else if (name == u"mod4")
            modifiers.append(QStringLiteral("super"));
        else
            modifiers.append(name);
        rest = rest.mid(match.capturedLength());
    }
    QString key = rest.toLower();
    if (key.isEmpty() || key == u"disabled")
        return {};
    if (key == u"prior")
        key = QStringLiteral("page_up");
    else if (key == u"next")
        key = QStringLiteral("page_down");
    modifiers.sort();
    modifiers.removeDuplicates();
    return modifiers.join(QLatin1Char('+')) + QLatin1Char('|') + key;
}

} // namespace

namespace GnomeKeybindings {

QString screenshotPath() {
    return QString::fromLatin1(kCustomBase) + QStringLiteral("vyrn-screenshot/");
}

QString selectionPath() {
    return QString::fromLatin1(kCustomBase) + QStringLiteral("vyrn-selection/");
}

bool isVyrnPath(const QString& path) {
    return path == screenshotPath() || path == selectionPath();
}

QString acceleratorFor(int keyCode, int modifiers) {
    const std::optional<quint32> keysym = LinuxKeyMap::x11KeysymForKeyCode(keyCode);
    const QString key = keysym ? keysymName(*keysym) : QString();
    if (key.isEmpty())
        return {};
    QString accelerator;
    if (modifiers & CarbonModifier::command)
        accelerator += QStringLiteral("<Control>");
    if (modifiers & CarbonModifier::shift)
        accelerator += QStringLiteral("<Shift>");
    if (modifiers & CarbonModifier::option)
        accelerator += QStringLiteral("<Alt>");
    if (modifiers & CarbonModifier::control)
        accelerator += QStringLiteral("<Super>");
    return accelerator + key;
}

bool sameAccelerator(const QString& a, const QString& b) {
    const QString left = canonical(a);
    return !left.isEmpty() && left == canonical(b);
}

std::optional<QString> holderOf(const QString& accelerator, const QList<BuiltInBinding>& builtIn,
                                const QList<CustomBinding>& custom) {
    for (const BuiltInBinding& binding : builtIn) {
        for (const QString& held : binding.accelerators) {
            if (sameAccelerator(held, accelerator))
                return QStringLiteral("GNOME 快捷键「") + binding.label + QStringLiteral("」");
        }
    }
    for (const CustomBinding& binding : custom) {
        if (!isVyrnPath(binding.path) && sameAccelerator(binding.binding, accelerator)) {
            const QString name = binding.name.isEmpty() ? binding.command : binding.name;
            return QStringLiteral("GNOME 自定义快捷键「") + name + QStringLiteral("」");
        }
    }
    return std::nullopt;
}

QStringList othersPaths(const QStringList& current) {
    QStringList paths;
    for (const QString& path : current) {
        if (!isVyrnPath(path))
            paths.append(path);
    }
    return paths;
}

} // namespace GnomeKeybindings
