#include "settings/ApiKeyInput.h"

#include <algorithm>

bool containsControlCharacter(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) {
        const QChar::Category category = c.category();
        return category == QChar::Other_Control || category == QChar::Separator_Line ||
               category == QChar::Separator_Paragraph;
    });
}

ApiKeyInput ApiKeyInput::parse(const QString& fieldText) {
    // QString::trimmed() drops Unicode white space, line breaks included.
    const QString trimmed = fieldText.trimmed();
    if (trimmed.isEmpty())
        return {Kind::blank, {}};
    return {containsControlCharacter(trimmed) ? Kind::unusable : Kind::key, trimmed};
}

KeySaveAction resolveKeySave(KeyFieldState state, const QString& fieldText) {
    using Kind = KeySaveAction::Kind;
    const ApiKeyInput input = ApiKeyInput::parse(fieldText);
    switch (input.kind) {
    case ApiKeyInput::Kind::unusable:
        return {Kind::refuse, {}};
    case ApiKeyInput::Kind::key:
        // While loading the field is read-only, so a key in it is one the store gave.
        return state == KeyFieldState::loading ? KeySaveAction{Kind::keepStored, {}}
                                               : KeySaveAction{Kind::write, input.key};
    case ApiKeyInput::Kind::blank:
        break;
    }
    return {state == KeyFieldState::known ? Kind::remove : Kind::keepStored, {}};
}
