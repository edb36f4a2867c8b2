#include "keys/HotkeyConflicts.h"

#include "keys/HotkeyNames.h"
#include "keys/KeyTable.h"

namespace {

constexpr int kNone = 0;
constexpr int kShift = CarbonModifier::shift;
constexpr int kCtrl = CarbonModifier::command;
constexpr int kCtrlShift = CarbonModifier::command | CarbonModifier::shift;
constexpr int kCtrlAlt = CarbonModifier::command | CarbonModifier::option;
constexpr int kAlt = CarbonModifier::option;
constexpr int kSuper = CarbonModifier::control;

// "（系统强占）" marks what the desktop itself binds by default on GNOME, KDE Plasma or
// Xfce (the comments name which), or the input-method switch; a global grab of
// those fails or silently takes the desktop's key. The others belong to the focused
// application, which a global hotkey would take them from.
constexpr SystemHotkeyEntry kCatalogue[] = {
    {kCtrl, 0, u"Ctrl+A 全选"},
    {kCtrl, 1, u"Ctrl+S 保存"},
    {kCtrl, 2, u"Ctrl+D 收藏/删除"},
    {kCtrl, 3, u"Ctrl+F 查找"},
    {kCtrl, 5, u"Ctrl+G 查找下一个"},
    {kCtrl, 6, u"Ctrl+Z 撤销"},
    {kCtrl, 7, u"Ctrl+X 剪切"},
    {kCtrl, 8, u"Ctrl+C 复制"},
    {kCtrl, 9, u"Ctrl+V 粘贴"},
    {kCtrl, 11, u"Ctrl+B 加粗/隐藏"},
    {kCtrl, 12, u"Ctrl+Q 退出当前应用"},
    {kCtrl, 13, u"Ctrl+W 关闭窗口"},
    {kCtrl, 14, u"Ctrl+E 搜索/显示"},
    {kCtrl, 15, u"Ctrl+R 刷新/运行"},
    {kCtrl, 16, u"Ctrl+Y 重做"},
    {kCtrl, 17, u"Ctrl+T 新建标签页"},
    {kCtrl, 18, u"Ctrl+1-9 切换标签/窗口"},
    {kCtrl, 19, u"Ctrl+1-9 切换标签/窗口"},
    {kCtrl, 20, u"Ctrl+1-9 切换标签/窗口"},
    {kCtrl, 21, u"Ctrl+1-9 切换标签/窗口"},
    {kCtrl, 23, u"Ctrl+1-9 切换标签/窗口"},
    {kCtrl, 22, u"Ctrl+1-9 切换标签/窗口"},
    {kCtrl, 26, u"Ctrl+1-9 切换标签/窗口"},
    {kCtrl, 28, u"Ctrl+1-9 切换标签/窗口"},
    {kCtrl, 25, u"Ctrl+1-9 切换标签/窗口"},
    {kCtrl, 30, u"Ctrl+] 增加缩进"},
    {kCtrl, 32, u"Ctrl+U 下划线"},
    {kCtrl, 33, u"Ctrl+[ 减少缩进"},
    {kCtrl, 34, u"Ctrl+I 斜体"},
    {kCtrl, 35, u"Ctrl+P 打印"},
    {kCtrl, 36, u"Ctrl+Enter 默认确认"},
    {kCtrl, 37, u"Ctrl+L 定位/跳转"},
    {kCtrl, 38, u"Ctrl+J 下载"},
    {kCtrl, 41, u"Ctrl+; 拼写检查"},
    {kCtrl, 48, u"Ctrl+Tab 切换标签页"},
    {kCtrl, 49, u"Ctrl+Space 切换输入法（系统强占）"}, // fcitx5's default trigger
    {kCtrl, 51, u"Ctrl+Backspace 删除前一个词"},
    {kCtrlShift, 8, u"Ctrl+Shift+C 终端复制"},
    {kCtrlShift, 9, u"Ctrl+Shift+V 终端粘贴"},
    {kCtrlShift, 13, u"Ctrl+Shift+W 关闭当前窗口"},
    {kCtrlShift, 17, u"Ctrl+Shift+T 重新打开关闭的标签页"},
    {kCtrlShift, 34, u"Ctrl+Shift+I 开发者工具"},
    {kCtrlAlt, 17, u"Ctrl+Alt+T 打开终端（系统强占）"},         // KDE, Xfce
    {kCtrlAlt, 37, u"Ctrl+Alt+L 锁屏（系统强占）"},             // KDE, Xfce
    {kCtrlAlt, 117, u"Ctrl+Alt+Delete 注销（系统强占）"},       // GNOME, KDE, Xfce
    {kCtrlAlt, 123, u"Ctrl+Alt+← 切换工作区（系统强占）"},      // GNOME, Xfce
    {kCtrlAlt, 124, u"Ctrl+Alt+→ 切换工作区（系统强占）"},      // GNOME, Xfce
    {kAlt, 48, u"Alt+Tab 窗口切换（系统强占）"},                // GNOME, KDE, Xfce
    {kAlt, 49, u"Alt+Space 窗口菜单（系统强占）"},              // GNOME, Xfce; KDE: KRunner
    {kAlt, 50, u"Alt+` 同应用窗口切换（系统强占）"},            // GNOME, KDE
    {kAlt, 118, u"Alt+F4 关闭窗口（系统强占）"},                // GNOME, KDE, Xfce
    {kAlt, 120, u"Alt+F2 运行命令（系统强占）"},                // GNOME, KDE, Xfce
    {kAlt, KeyTable::print, u"Alt+Print 窗口截图（系统强占）"}, // GNOME, Xfce
    {kSuper, 48, u"Super+Tab 窗口切换（系统强占）"},            // GNOME, Xfce
    {kSuper, 50, u"Super+` 同应用窗口切换（系统强占）"},        // GNOME
    {kSuper, 49, u"Super+Space 切换输入源（系统强占）"},        // GNOME, IBus
    {kSuper, 37, u"Super+L 锁屏（系统强占）"},                  // GNOME, KDE
    {kSuper, 0, u"Super+A 显示应用（系统强占）"},               // GNOME
    {kSuper, 1, u"Super+S 概览（系统强占）"},                   // GNOME
    {kSuper, 14, u"Super+E 打开文件管理器（系统强占）"},        // KDE, Xfce
    {kSuper, 4, u"Super+H 隐藏窗口（系统强占）"},               // GNOME
    {kSuper, 9, u"Super+V 通知列表（系统强占）"},               // GNOME
    {kSuper, 46, u"Super+M 通知列表（系统强占）"},              // GNOME
    {kSuper, 45, u"Super+N 聚焦通知（系统强占）"},              // GNOME
    {kSuper, 35, u"Super+P 切换显示器（系统强占）"},            // GNOME, Xfce
    {kSuper, 15, u"Super+R 应用查找器（系统强占）"},            // Xfce
    {kSuper, 18, u"Super+1-9 打开收藏的应用（系统强占）"},      // GNOME
    {kSuper, 19, u"Super+1-9 打开收藏的应用（系统强占）"},
    {kSuper, 20, u"Super+1-9 打开收藏的应用（系统强占）"},
    {kSuper, 21, u"Super+1-9 打开收藏的应用（系统强占）"},
    {kSuper, 23, u"Super+1-9 打开收藏的应用（系统强占）"},
    {kSuper, 22, u"Super+1-9 打开收藏的应用（系统强占）"},
    {kSuper, 26, u"Super+1-9 打开收藏的应用（系统强占）"},
    {kSuper, 28, u"Super+1-9 打开收藏的应用（系统强占）"},
    {kSuper, 25, u"Super+1-9 打开收藏的应用（系统强占）"},
    {kSuper, 126, u"Super+↑ 最大化窗口（系统强占）"},           // GNOME, KDE
    {kSuper, 125, u"Super+↓ 还原窗口（系统强占）"},             // GNOME, KDE
    {kSuper, 123, u"Super+← 窗口贴靠左半屏（系统强占）"},       // GNOME, KDE
    {kSuper, 124, u"Super+→ 窗口贴靠右半屏（系统强占）"},       // GNOME, KDE
    {kNone, KeyTable::print, u"Print 截图（系统强占）"},        // GNOME, KDE, Xfce
    {kShift, KeyTable::print, u"Shift+Print 截图（系统强占）"}, // GNOME, KDE, Xfce
};

} // namespace

std::span<const SystemHotkeyEntry> systemHotkeyCatalogue() {
    return kCatalogue;
}

std::optional<QString> checkSystemHotkeyConflict(int modifiers, int keyCode) {
    for (const SystemHotkeyEntry& entry : kCatalogue) {
        if (entry.modifiers == modifiers && entry.keyCode == keyCode)
            return entry.description.toString();
    }
    return std::nullopt;
}

QList<HotkeyConflict> collectHotkeyConflicts(const QList<HotkeyCombination>& hotkeys) {
    QList<HotkeyConflict> conflicts;
    for (const HotkeyCombination& hotkey : hotkeys) {
        if (!hotkey.keyCode)
            continue;
        if (std::optional<QString> reason = checkSystemHotkeyConflict(hotkey.modifiers, *hotkey.keyCode))
            conflicts.append({hotkeyDisplayString(*hotkey.keyCode, hotkey.modifiers), *reason});
    }
    return conflicts;
}
