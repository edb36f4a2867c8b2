#include "platform/kde/KGlobalAccelHotkeyService.h"

#include "base/Logger.h"
#include "keys/HotkeyNames.h"
#include "keys/LinuxKeyMap.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>

#include <array>

namespace {

const QString kService = QStringLiteral("org.kde.kglobalaccel");
const QString kPath = QStringLiteral("/kglobalaccel");
const QString kInterface = QStringLiteral("org.kde.KGlobalAccel");
const QString kComponentInterface = QStringLiteral("org.kde.kglobalaccel.Component");
constexpr int kCallTimeoutMs = 3000;
// setShortcutKeys flags
constexpr uint kSetPresent = 2, kNoAutoloading = 4;

// A QKeySequence as the service sends it: four combinations, 0 for none.
struct KeySequence {
    std::array<int, 4> keys{};
};

QDBusArgument& operator<<(QDBusArgument& argument, const KeySequence& sequence) {
    argument.beginStructure();
    argument.beginArray(QMetaType::fromType<int>());
    for (int key : sequence.keys)
        argument << key;
    argument.endArray();
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, KeySequence& sequence) {
    sequence = {};
    argument.beginStructure();
    argument.beginArray();
    for (size_t i = 0; !argument.atEnd(); ++i) {
        int key = 0;
        argument >> key;
        if (i < sequence.keys.size())
            sequence.keys[i] = key;
    }
    argument.endArray();
    argument.endStructure();
    return argument;
}

} // namespace

Q_DECLARE_METATYPE(KeySequence)

namespace {

// VYRN's hotkeys are single combinations: only each sequence's first one counts.
QList<int> firstKeys(const QList<KeySequence>& sequences) {
    QList<int> keys;
    for (const KeySequence& sequence : sequences) {
        if (sequence.keys[0])
            keys.append(sequence.keys[0]);
    }
    return keys;
}

QVariant sequencesArgument(const QList<int>& combinations) {
    QList<KeySequence> sequences;
    for (int combination : combinations)
        sequences.append(KeySequence{{combination, 0, 0, 0}});
    return QVariant::fromValue(sequences);
}

KeyGrabFailure failure(KeyGrabError error, const QString& message) {
    return {error, message};
}

} // namespace

KGlobalAccelHotkeyService::KGlobalAccelHotkeyService(const QDBusConnection& bus, const QString& component)
    : m_bus(bus), m_component(component) {
    qDBusRegisterMetaType<KeySequence>();
    qDBusRegisterMetaType<QList<KeySequence>>();
    // A change in the shortcut settings: newer versions send the sequences, older ones the keys.
    for (const char* signal : {"yourShortcutsChanged", "yourShortcutGotChanged"})
        m_bus.connect(kService, kPath, kInterface, QLatin1String(signal), this,
                      SLOT(handleChanged(QDBusMessage)));
}

KGlobalAccelHotkeyService::~KGlobalAccelHotkeyService() {
    for (const Entry& entry : std::as_const(m_entries)) {
        if (entry.handleId)
            call(QStringLiteral("setInactive"), {actionId(entry.action)});
    }
}

QDBusMessage KGlobalAccelHotkeyService::call(const QString& method, const QVariantList& arguments) const {
    QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
    message.setArguments(arguments);
    return m_bus.call(message, QDBus::Block, kCallTimeoutMs);
}

QStringList KGlobalAccelHotkeyService::actionId(const Action& action) const {
    return {m_component, action.id, QStringLiteral("VYRN"), action.label};
}

std::optional<QList<int>> KGlobalAccelHotkeyService::setKeys(const Action& action,
                                                             const QList<int>& combinations,
                                                             bool autoload) const {
    const QDBusMessage reply =
        call(QStringLiteral("setShortcutKeys"), {actionId(action), sequencesArgument(combinations),
                                                 autoload ? kSetPresent : kSetPresent | kNoAutoloading});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        loge(QStringLiteral("KDE 全局快捷键服务未应答: ") + reply.errorMessage());
        return std::nullopt;
    }
    return firstKeys(qdbus_cast<QList<KeySequence>>(reply.arguments().constFirst()));
}

QString KGlobalAccelHotkeyService::holderOf(int combination) const {
    const QDBusMessage reply =
        call(QStringLiteral("actionList"), {QVariant::fromValue(KeySequence{{combination, 0, 0, 0}})});
    const QStringList holder = reply.arguments().value(0).toStringList();
    if (holder.size() < 4)
        return QStringLiteral("该键已被其他程序占用");
    const QString component = holder[2].isEmpty() ? holder[0] : holder[2];
    const QString action = holder[3].isEmpty() ? holder[1] : holder[3];
    return QStringLiteral("已被 KDE 快捷键「%1：%2」占用").arg(component, action);
}

void KGlobalAccelHotkeyService::listen() {
    if (m_listening)
        return;
    const QDBusMessage reply = call(QStringLiteral("getComponent"), {m_component});
    const QString path = reply.arguments().isEmpty()
                             ? QStringLiteral("/component/") + m_component
                             : qdbus_cast<QDBusObjectPath>(reply.arguments().constFirst()).path();
    m_listening = m_bus.connect(kService, path, kComponentInterface, QStringLiteral("globalShortcutPressed"),
                                this, SLOT(handlePressed(QString, QString, qlonglong)));
}

KeyGrabResult<HotkeyRegistration> KGlobalAccelHotkeyService::registerHotkey(int keyCode, int modifiers) {
    const QString name = hotkeyDisplayString(keyCode, modifiers);
    return registerNamedHotkey(keyCode, modifiers, {name, name});
}

KeyGrabResult<HotkeyRegistration> KGlobalAccelHotkeyService::registerNamedHotkey(int keyCode, int modifiers,
                                                                                 const Action& action) {
    const std::optional<int> combination = LinuxKeyMap::qtCombinationForHotkey(keyCode, modifiers);
    if (!combination)
        return {nullptr,
                failure(KeyGrabError::KeyNotOnKeyboard, QStringLiteral("这个键在 Linux 键盘上没有对应的键"))};
    Entry* entry = nullptr;
    for (Entry& other : m_entries) {
        if (other.action.id == action.id)
            entry = &other;
        else if (other.combination == *combination && other.handleId)
            return {nullptr,
                    failure(KeyGrabError::HeldByVyrn, QStringLiteral("已被 VYRN 的另一个快捷键使用"))};
    }
    if (entry && entry->handleId)
        return {nullptr, failure(KeyGrabError::HeldByVyrn, QStringLiteral("已被 VYRN 的另一个快捷键使用"))};
    // A released hotkey keeps its combination in the service, which would refuse it to the
    // other hotkey: two hotkeys swapping their combinations meet that.
    for (Entry& other : m_entries) {
        if (!other.handleId && other.combination == *combination && &other != entry) {
            setKeys(other.action, {}, false);
            other.combination = 0;
        }
    }

    const bool first = !entry;
    if (first) {
        m_entries.append({action, 0, 0});
        entry = &m_entries.last();
    }
    entry->action = action;
    call(QStringLiteral("doRegister"), {actionId(action)});
    listen();
    std::optional<QList<int>> reply = setKeys(action, {*combination}, first);
    std::optional<LinuxKeyMap::Hotkey> granted;
    if (reply && !reply->isEmpty())
        granted = LinuxKeyMap::hotkeyForQtCombination(reply->constFirst());
    if (reply && !granted && first) { // none stored, or none VYRN could keep
        reply = setKeys(action, {*combination}, false);
        if (reply && !reply->isEmpty())
            granted = LinuxKeyMap::hotkeyForQtCombination(reply->constFirst());
    }
    if (!granted) {
        entry->combination = 0;
        call(QStringLiteral("setInactive"), {actionId(action)});
        if (!reply)
            return {nullptr, failure(KeyGrabError::ServerError, QStringLiteral("KDE 全局快捷键服务未应答"))};
        return {nullptr, failure(KeyGrabError::HeldByDesktopShortcut, holderOf(*combination))};
    }
    const QList<int>& held = *reply;
    if (held.constFirst() != *combination)
        logi(QStringLiteral("KDE 快捷键设置中「") + action.label + QStringLiteral("」为 ") +
             hotkeyDisplayString(granted->keyCode, granted->modifiers) + QStringLiteral("，沿用"));
    entry->combination = held.constFirst();
    entry->handleId = m_nextId++;
    auto handle = makeHandle<HotkeyRegistration>(entry->handleId, granted->keyCode, granted->modifiers);
    m_handles.insert(entry->handleId, handle.get());
    return {std::move(handle), std::nullopt};
}

KeyGrabResult<TemporaryKeyGrab> KGlobalAccelHotkeyService::grabTemporarily(int, int) {
    return {nullptr, failure(KeyGrabError::NoX11Session,
                             QStringLiteral("Wayland 会话中无法抓取全局按键，请点击面板的关闭按钮"))};
}

void KGlobalAccelHotkeyService::release(int id) {
    m_handles.remove(id);
    for (Entry& entry : m_entries) {
        if (entry.handleId == id) {
            entry.handleId = 0;
            call(QStringLiteral("setInactive"), {actionId(entry.action)});
        }
    }
}

void KGlobalAccelHotkeyService::blockShortcuts(bool blocked) {
    call(QStringLiteral("blockGlobalShortcuts"), {blocked});
}

void KGlobalAccelHotkeyService::handlePressed(const QString& component, const QString& action,
                                              qlonglong timestamp) {
    if (component != m_component)
        return;
    for (const Entry& entry : std::as_const(m_entries)) {
        if (entry.action.id == action && entry.handleId) {
            if (HotkeyRegistration* registration = m_handles.value(entry.handleId))
                Q_EMIT registration->pressed(quint32(timestamp));
        }
    }
}

void KGlobalAccelHotkeyService::handleChanged(const QDBusMessage& message) {
    const QVariantList arguments = message.arguments();
    if (arguments.size() < 2)
        return;
    const QStringList id = arguments[0].toStringList();
    if (id.size() < 2 || id[0] != m_component)
        return;
    const QList<int> keys = message.signature() == QLatin1String("asai")
                                ? qdbus_cast<QList<int>>(arguments[1])
                                : firstKeys(qdbus_cast<QList<KeySequence>>(arguments[1]));
    for (Entry& entry : m_entries) {
        if (entry.action.id != id[1])
            continue;
        const int combination = keys.value(0);
        if (combination == entry.combination)
            return;
        entry.combination = combination;
        HotkeyRegistration* registration = entry.handleId ? m_handles.value(entry.handleId).data() : nullptr;
        const std::optional<LinuxKeyMap::Hotkey> hotkey = LinuxKeyMap::hotkeyForQtCombination(combination);
        if (!hotkey) {
            loge(QStringLiteral("KDE 快捷键设置中「") + entry.action.label +
                 (combination ? QStringLiteral("」改为 VYRN 无法保存的组合")
                              : QStringLiteral("」已没有组合")) +
                 QStringLiteral("，VYRN 的设置未改"));
            return;
        }
        if (registration) {
            rebind(*registration, hotkey->keyCode, hotkey->modifiers);
            Q_EMIT registration->rebound();
        }
        return;
    }
}
