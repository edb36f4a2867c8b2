#include "platform/gnome/GnomeCustomKeybindings.h"

#pragma push_macro("signals")
#undef signals
#include <gio/gio.h>
#pragma pop_macro("signals")

#include <algorithm>
#include <array>
#include <vector>

using namespace GnomeKeybindings;

namespace {

const char* const kMediaKeys = "org.gnome.settings-daemon.plugins.media-keys";
const char* const kCustomSchema = "org.gnome.settings-daemon.plugins.media-keys.custom-keybinding";
const char* const kListKey = "custom-keybindings";
// Where GNOME keeps its own key bindings (window manager, shell, compositor, media keys).
const std::array<const char*, 5> kBuiltInSchemas{
    "org.gnome.desktop.wm.keybindings", "org.gnome.shell.keybindings", "org.gnome.mutter.keybindings",
    "org.gnome.mutter.wayland.keybindings", kMediaKeys};

struct SchemaUnref {
    void operator()(GSettingsSchema* schema) const { g_settings_schema_unref(schema); }
};
struct ObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
using SchemaPtr = std::unique_ptr<GSettingsSchema, SchemaUnref>;
using SettingsPtr = std::unique_ptr<GSettings, ObjectUnref>;

SchemaPtr lookup(const char* id) {
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    return SchemaPtr(source ? g_settings_schema_source_lookup(source, id, TRUE) : nullptr);
}

QStringList strv(GSettings* settings, const char* key) {
    QStringList list;
    gchar** values = g_settings_get_strv(settings, key);
    for (gchar** value = values; value && *value; ++value)
        list.append(QString::fromUtf8(*value));
    g_strfreev(values);
    return list;
}

void setStrv(GSettings* settings, const char* key, const QStringList& list) {
    std::vector<QByteArray> bytes;
    for (const QString& value : list)
        bytes.push_back(value.toUtf8());
    std::vector<const gchar*> values;
    for (const QByteArray& value : bytes)
        values.push_back(value.constData());
    values.push_back(nullptr);
    g_settings_set_strv(settings, key, values.data());
}

QString string(GSettings* settings, const char* key) {
    gchar* value = g_settings_get_string(settings, key);
    const QString text = QString::fromUtf8(value);
    g_free(value);
    return text;
}

} // namespace

struct GnomeCustomKeybindings::Schemas {
    SchemaPtr custom;
    SettingsPtr mediaKeys;

    SettingsPtr entry(const QString& path) const {
        return SettingsPtr(g_settings_new_full(custom.get(), nullptr, path.toUtf8().constData()));
    }
};

std::unique_ptr<GnomeCustomKeybindings> GnomeCustomKeybindings::open() {
    // g_settings_new aborts the process on a schema that is not installed: look first.
    SchemaPtr mediaKeys = lookup(kMediaKeys);
    SchemaPtr custom = lookup(kCustomSchema);
    if (!mediaKeys || !custom)
        return nullptr;
    auto schemas = std::make_unique<Schemas>();
    schemas->custom = std::move(custom);
    schemas->mediaKeys = SettingsPtr(g_settings_new_full(mediaKeys.get(), nullptr, nullptr));
    return std::unique_ptr<GnomeCustomKeybindings>(new GnomeCustomKeybindings(std::move(schemas)));
}

GnomeCustomKeybindings::GnomeCustomKeybindings(std::unique_ptr<Schemas> schemas)
    : m_schemas(std::move(schemas)) {}

GnomeCustomKeybindings::~GnomeCustomKeybindings() = default;

QString GnomeCustomKeybindings::place() const {
    return QStringLiteral("GNOME 键盘快捷键");
}

bool GnomeCustomKeybindings::written() const {
    const QStringList paths = strv(m_schemas->mediaKeys.get(), kListKey);
    return std::any_of(paths.begin(), paths.end(), isVyrnPath);
}

QList<BuiltInBinding> GnomeCustomKeybindings::builtInBindings() const {
    QList<BuiltInBinding> bindings;
    for (const char* id : kBuiltInSchemas) {
        const SchemaPtr schema = lookup(id);
        if (!schema)
            continue;
        const SettingsPtr settings(g_settings_new_full(schema.get(), nullptr, nullptr));
        gchar** keys = g_settings_schema_list_keys(schema.get());
        for (gchar** key = keys; key && *key; ++key) {
            GSettingsSchemaKey* schemaKey = g_settings_schema_get_key(schema.get(), *key);
            const bool accelerators = g_variant_type_equal(g_settings_schema_key_get_value_type(schemaKey),
                                                           G_VARIANT_TYPE_STRING_ARRAY);
            if (accelerators && qstrcmp(*key, kListKey) != 0) {
                // The summary is in the desktop's language where GNOME is translated.
                const char* summary = g_settings_schema_key_get_summary(schemaKey);
                bindings.append(
                    {QString::fromUtf8(summary && *summary ? summary : *key), strv(settings.get(), *key)});
            }
            g_settings_schema_key_unref(schemaKey);
        }
        g_strfreev(keys);
    }
    return bindings;
}

QList<CustomBinding> GnomeCustomKeybindings::customBindings() const {
    QList<CustomBinding> bindings;
    for (const QString& path : strv(m_schemas->mediaKeys.get(), kListKey)) {
        // GSettings refuses (and logs) a path without its slashes; GNOME would not read it either.
        if (!path.startsWith(QLatin1Char('/')) || !path.endsWith(QLatin1Char('/')) || path.contains(u"//"))
            continue;
        const SettingsPtr entry = m_schemas->entry(path);
        bindings.append({path, string(entry.get(), "name"), string(entry.get(), "command"),
                         string(entry.get(), "binding")});
    }
    return bindings;
}

QList<std::optional<QString>> GnomeCustomKeybindings::write(const QList<Binding>& bindings) {
    const QList<BuiltInBinding> builtIn = builtInBindings();
    const QList<CustomBinding> custom = customBindings();
    const QString paths[] = {screenshotPath(), selectionPath()};
    QList<std::optional<QString>> outcome;
    QStringList accelerators;
    QStringList keep;
    for (qsizetype i = 0; i < bindings.size() && i < 2; ++i) {
        const Binding& binding = bindings[i];
        const QString accelerator = acceleratorFor(binding.keyCode, binding.modifiers);
        std::optional<QString> failure;
        if (accelerator.isEmpty())
            failure = QStringLiteral("GNOME 无法绑定该键");
        else if (std::optional<QString> holder = holderOf(accelerator, builtIn, custom))
            failure = QStringLiteral("已被 ") + *holder + QStringLiteral(" 占用");
        else if (std::any_of(accelerators.begin(), accelerators.end(),
                             [&](const QString& other) { return sameAccelerator(other, accelerator); }))
            failure = QStringLiteral("与截图翻译的快捷键相同");
        outcome.append(failure);
        const SettingsPtr entry = m_schemas->entry(paths[i]);
        if (failure) {
            g_settings_reset(entry.get(), "name");
            g_settings_reset(entry.get(), "command");
            g_settings_reset(entry.get(), "binding");
            continue;
        }
        accelerators.append(accelerator);
        keep.append(paths[i]);
        g_settings_set_string(entry.get(), "name", binding.name.toUtf8().constData());
        g_settings_set_string(entry.get(), "command", binding.command.toUtf8().constData());
        g_settings_set_string(entry.get(), "binding", accelerator.toUtf8().constData());
    }
    // The entries before the list that names them: gsd-media-keys reads an entry when it
    // appears in the list.
    QStringList list = othersPaths(strv(m_schemas->mediaKeys.get(), kListKey));
    list.append(keep);
    setStrv(m_schemas->mediaKeys.get(), kListKey, list);
    g_settings_sync();
    return outcome;
}

void GnomeCustomKeybindings::remove() {
    const QStringList current = strv(m_schemas->mediaKeys.get(), kListKey);
    const QStringList list = othersPaths(current);
    if (list != current)
        setStrv(m_schemas->mediaKeys.get(), kListKey, list);
    for (const QString& path : {screenshotPath(), selectionPath()}) {
        const SettingsPtr entry = m_schemas->entry(path);
        g_settings_reset(entry.get(), "name");
        g_settings_reset(entry.get(), "command");
        g_settings_reset(entry.get(), "binding");
    }
    g_settings_sync();
}
