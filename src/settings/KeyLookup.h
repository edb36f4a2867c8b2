#pragma once

#include <QString>

#include <optional>

// What reading an API key found: a key (possibly empty), no key, or a key store that could
// not be asked (a locked keyring, a service that does not answer). The last must never pass
// for "no key": the user would be asked for a key that is stored.
class KeyLookup {
public:
    enum class State { found, notFound, storeUnavailable };

    static KeyLookup found(const QString& key) { return KeyLookup(State::found, key); }
    static KeyLookup notFound() { return KeyLookup(State::notFound, {}); }
    static KeyLookup storeUnavailable(const QString& reason) {
        return KeyLookup(State::storeUnavailable, reason);
    }

    State state() const { return m_state; }
    bool isStoreUnavailable() const { return m_state == State::storeUnavailable; }
    // The key when one was found, else nothing.
    std::optional<QString> key() const {
        return m_state == State::found ? std::optional<QString>(m_text) : std::nullopt;
    }
    // Why the store could not be asked, for the log; empty in the other states.
    QString reason() const { return m_state == State::storeUnavailable ? m_text : QString(); }

    friend bool operator==(const KeyLookup&, const KeyLookup&) = default;

private:
    KeyLookup(State state, const QString& text) : m_state(state), m_text(text) {}
    State m_state;
    QString m_text;
};
