#include "settings/SettingsWindowRules.h"

#include "settings/SettingsManager.h"

#include <algorithm>

ConnectionTarget resolveConnectionTarget(const SettingsManager& settings,
                                         const std::optional<QString>& modelInput, AIProvider provider) {
    const QString model = modelInput ? modelInput->trimmed() : QString();
    return {settings.endpointURL(provider), model.isEmpty() ? settings.model(provider) : model};
}

TemplateSaveAction resolveTemplateSave(bool usesDefault, const QString& content) {
    using Kind = TemplateSaveAction::Kind;
    if (usesDefault)
        return {Kind::useDefault, {}};
    if (content.trimmed().isEmpty())
        return {Kind::rejectEmpty, {}};
    return {Kind::saveCustom, content};
}

ModelChoices modelChoices(const SettingsManager& settings, AIProvider provider) {
    ModelChoices choices;
    choices.models =
        provider == AIProvider::qwen
            ? QStringList{QStringLiteral("qwen-turbo"), QStringLiteral("qwen-plus"),
                          QStringLiteral("qwen-max")}
            : QStringList{QStringLiteral("deepseek-v4-flash"), QStringLiteral("deepseek-v4-pro")};
    const std::optional<QString> stored = settings.modelOverride(provider);
    if (stored && !stored->trimmed().isEmpty() && !choices.models.contains(*stored))
        choices.models.append(*stored);
    choices.selected = std::max(0, int(choices.models.indexOf(settings.model(provider))));
    return choices;
}
