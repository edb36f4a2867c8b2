#pragma once

#include "settings/AIProvider.h"

#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

class SettingsManager;

// Where the connection test goes: the provider's endpoint (its base-address override
// included) and the model typed or chosen, or the provider's model when that is blank.
struct ConnectionTarget {
    QUrl endpoint;
    QString model;
};
ConnectionTarget resolveConnectionTarget(const SettingsManager& settings,
                                         const std::optional<QString>& modelInput, AIProvider provider);

// What "保存并应用" does with the template tab.
struct TemplateSaveAction {
    enum class Kind { useDefault, rejectEmpty, saveCustom };
    Kind kind = Kind::useDefault;
    QString text; // for saveCustom, untrimmed

    bool operator==(const TemplateSaveAction&) const = default;
};
TemplateSaveAction resolveTemplateSave(bool usesDefault, const QString& content);

// The models the pop-up offers for a provider, and the one it selects.
struct ModelChoices {
    QStringList models;
    int selected = 0;
};
// The provider's models; a stored override that is not among them (set by hand or by an
// older version) is offered as well, so that saving keeps it.
ModelChoices modelChoices(const SettingsManager& settings, AIProvider provider);
