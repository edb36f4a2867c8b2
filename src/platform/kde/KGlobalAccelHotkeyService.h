#pragma once

#include "platform/HotkeyService.h"

#include <QDBusConnection>
#include <QList>
#include <QMap>

class QDBusMessage;

// KDE Plasma's global shortcuts, through its shortcut service (kglobalaccel, hosted by KWin
// under Wayland) over the session bus. Each hotkey is an action of one component ("VYRN" in
// System Settings → Shortcuts), so the user sees and may change it there. The service grants
// a combination only when no other program's shortcut holds it.
//
// The first registration of an action in a run takes what the shortcut settings hold for it
// when they hold a combination VYRN can store (the user may have changed it there while VYRN
// was not running); later ones set the combination asked for. A change made in the shortcut
// settings while VYRN runs arrives as the handle's rebound().
//
// Panel keys cannot be taken here: no program sees keys meant for another under Wayland.
class KGlobalAccelHotkeyService final : public HotkeyService {
    Q_OBJECT
public:
    explicit KGlobalAccelHotkeyService(const QDBusConnection& bus,
                                       const QString& component = QStringLiteral("vyrn"));
    ~KGlobalAccelHotkeyService() override;

    KeyGrabResult<HotkeyRegistration> registerHotkey(int keyCode, int modifiers) override;
    KeyGrabResult<HotkeyRegistration> registerNamedHotkey(int keyCode, int modifiers,
                                                          const Action& action) override;
    KeyGrabResult<TemporaryKeyGrab> grabTemporarily(int keyCode, int modifiers) override;
    std::optional<KeyGrabFailure> unavailable() const override { return std::nullopt; }

    // Stops every desktop shortcut (KWin's own too) until called with false, so that a
    // combination being recorded reaches the recorder.
    void blockShortcuts(bool blocked);

private Q_SLOTS:
    void handlePressed(const QString& component, const QString& action, qlonglong timestamp);
    void handleChanged(const QDBusMessage& message);

private:
    struct Entry {
        Action action;
        int combination = 0; // what the service holds for it, as far as VYRN set or heard
        int handleId = 0;    // 0: released (inactive in the service, its keys kept)
    };

    void release(int id) override;
    QDBusMessage call(const QString& method, const QVariantList& arguments) const;
    QStringList actionId(const Action& action) const;
    // The combinations the service then holds for the action; empty when it did not answer.
    std::optional<QList<int>> setKeys(const Action& action, const QList<int>& combinations,
                                      bool autoload) const;
    QString holderOf(int combination) const;
    void listen();

    QDBusConnection m_bus;
    QString m_component;
    QList<Entry> m_entries;
    QMap<int, QPointer<HotkeyRegistration>> m_handles;
    int m_nextId = 1;
    bool m_listening = false;
};
