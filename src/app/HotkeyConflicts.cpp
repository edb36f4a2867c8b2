#include "app/HotkeyConflicts.h"

#include "app/HotkeyNames.h"

#include <array>

namespace {

constexpr int kCommand = CarbonModifier::command;
constexpr int kShiftCommand = CarbonModifier::shift | CarbonModifier::command;
constexpr int kOptionCommand = CarbonModifier::option | CarbonModifier::command;

// "（系统强占）" marks shortcuts the system itself takes; the others belong to the
// frontmost application and a global hotkey would take them away from it.
constexpr std::array<SystemHotkeyEntry, 46> kCatalogue{{
    {kCommand, 0, u"⌘A 全选"},
    {kCommand, 1, u"⌘S 保存"},
    {kCommand, 2, u"⌘D 收藏/删除"},
    {kCommand, 3, u"⌘F 查找"},
    {kCommand, 5, u"⌘G 查找下一个"},
    {kCommand, 6, u"⌘Z 撤销"},
    {kCommand, 7, u"⌘X 剪切"},
    {kCommand, 8, u"⌘C 复制"},
    {kCommand, 9, u"⌘V 粘贴"},
    {kCommand, 11, u"⌘B 加粗/隐藏"},
    {kCommand, 12, u"⌘Q 退出当前应用（系统强占）"},
    {kCommand, 13, u"⌘W 关闭窗口"},
    {kCommand, 14, u"⌘E 搜索/显示"},
    {kCommand, 15, u"⌘R 刷新/运行"},
    {kCommand, 16, u"⌘Y 历史/重做"},
    {kCommand, 17, u"⌘T 新建标签页"},
    {kCommand, 18, u"⌘1-9 切换标签/窗口"},
    {kCommand, 19, u"⌘1-9 切换标签/窗口"},
    {kCommand, 20, u"⌘1-9 切换标签/窗口"},
    {kCommand, 21, u"⌘1-9 切换标签/窗口"},
    {kCommand, 23, u"⌘1-9 切换标签/窗口"},
    {kCommand, 22, u"⌘1-9 切换标签/窗口"},
    {kCommand, 26, u"⌘1-9 切换标签/窗口"},
    {kCommand, 28, u"⌘1-9 切换标签/窗口"},
    {kCommand, 25, u"⌘1-9 切换标签/窗口"},
    {kCommand, 30, u"⌘] 前进"},
    {kCommand, 32, u"⌘U 下划线"},
    {kCommand, 33, u"⌘[ 后退"},
    {kCommand, 34, u"⌘I 斜体"},
    {kCommand, 35, u"⌘P 打印"},
    {kCommand, 36, u"⌘Return 默认确认"},
    {kCommand, 37, u"⌘L 定位/跳转"},
    {kCommand, 38, u"⌘J 下载"},
    {kCommand, 41, u"⌘; 拼写检查"},
    {kCommand, 48, u"⌘Tab 应用切换器（系统强占）"},
    {kCommand, 49, u"⌘Space Spotlight（系统强占）"},
    {kCommand, 50, u"⌘` 同应用窗口切换"},
    {kCommand, 51, u"⌘Delete 删除"},
    {kShiftCommand, 13, u"⇧⌘W 关闭全部窗口"},
    {kShiftCommand, 20, u"⇧⌘3 全屏截图（系统强占）"},
    {kShiftCommand, 21, u"⇧⌘4 区域截图（系统强占）"},
    {kShiftCommand, 23, u"⇧⌘5 截屏工具（系统强占）"},
    {kShiftCommand, 46, u"⇧⌘M 最小化所有"},
    {kShiftCommand, 49, u"⇧⌘Space 切换输入法（系统强占）"},
    {kOptionCommand, 34, u"⌥⌘I 浏览器开发者工具"},
    {kOptionCommand, 36, u"⌥⌘Return 全屏"},
}};

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
