#pragma once

#include "keys/GnomeKeybindings.h"
#include "platform/DesktopKeybindings.h"

#include <memory>

// VYRN's two entries among GNOME's custom keybindings (gsd-media-keys picks changes up at
// once), read and written through GSettings, so that they land in the session's dconf.
class GnomeCustomKeybindings final : public DesktopKeybindings {
public:
    // Null when the schemas are not installed: no GNOME to write to.
    static std::unique_ptr<GnomeCustomKeybindings> open();
    ~GnomeCustomKeybindings() override;

    QString place() const override;
    bool written() const override;
    QList<std::optional<QString>> write(const QList<Binding>& bindings) override;
    void remove() override;

    // What GNOME binds now, read afresh at every call.
    QList<GnomeKeybindings::BuiltInBinding> builtInBindings() const;
    QList<GnomeKeybindings::CustomBinding> customBindings() const;

private:
    struct Schemas;
    explicit GnomeCustomKeybindings(std::unique_ptr<Schemas> schemas);

    std::unique_ptr<Schemas> m_schemas;
};
