#include "base/AppRequest.h"

#include <array>
#include <utility>

namespace {
constexpr std::array<std::pair<AppAction, const char*>, 4> kNames{{
    {AppAction::Screenshot, "screenshot"},
    {AppAction::Selection, "selection"},
    {AppAction::Settings, "settings"},
    {AppAction::Quit, "quit"},
}};
} // namespace

QString appActionName(AppAction action) {
    for (const auto& [named, name] : kNames) {
        if (named == action)
            return QString::fromLatin1(name);
    }
    return {};
}

std::optional<AppAction> appActionNamed(const QString& name) {
    for (const auto& [action, candidate] : kNames) {
        if (name == QLatin1String(candidate))
            return action;
    }
    return std::nullopt;
}
