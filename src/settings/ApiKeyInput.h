#pragma once

#include <QString>

// A line break or other control character inside a key: such a key would end an HTTP header
// early, so it is refused wherever it would be stored or sent, never cleaned up silently.
bool containsControlCharacter(const QString& text);

// What the key field holds, read the way it is stored and sent: spaces and line breaks around
// a pasted key are dropped; one inside it makes the key unusable.
struct ApiKeyInput {
    enum class Kind { blank, key, unusable };
    Kind kind = Kind::blank;
    QString key; // trimmed; set for `key` and `unusable`

    static ApiKeyInput parse(const QString& fieldText);
};

// How much the key field knows about the stored key.
enum class KeyFieldState {
    loading,     // the key store has not answered yet
    known,       // the field was filled from the store's answer (a key, or none)
    unavailable, // the store could not be asked: the stored key, if any, was never shown
};

// What saving the key field does to the stored key. A blank field deletes the stored key only
// when the field showed what was stored: a key the window failed to read is never deleted.
struct KeySaveAction {
    enum class Kind { write, remove, keepStored, refuse };
    Kind kind = Kind::keepStored;
    QString key; // for `write`

    bool operator==(const KeySaveAction&) const = default;
};

KeySaveAction resolveKeySave(KeyFieldState state, const QString& fieldText);
