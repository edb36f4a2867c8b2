#pragma once

#include "settings/AIProvider.h"
#include "settings/KeyLookup.h"

#include <QObject>
#include <QThreadPool>

#include <functional>
#include <optional>

class SettingsManager;

// The settings window's calls to the key store, off the main thread (a locked keyring may
// take seconds to answer) and one at a time in the order asked, so a later write is never
// overtaken by an earlier one and a read sees every write asked before it. Answers arrive on
// the main thread, and only while their `context` still exists.
class KeyStoreQueue : public QObject {
    Q_OBJECT
public:
    explicit KeyStoreQueue(SettingsManager& settings);
    ~KeyStoreQueue() override; // waits for the calls already asked: they may be a user's save

    void readKey(AIProvider provider, QObject* context, std::function<void(KeyLookup)> done);
    // The stored provider's key, without a log line.
    void readActiveKey(QObject* context, std::function<void(KeyLookup)> done);
    // An empty or missing key removes the stored one. `done` gets the store's confirmation.
    void writeKey(AIProvider provider, const std::optional<QString>& key, QObject* context,
                  std::function<void(bool)> done);

    // For tests and benchmarks: until every call asked so far has answered.
    bool waitForIdle(int timeoutMs = 30000);

private:
    template <typename Result>
    void enqueue(std::function<Result()> work, QObject* context, std::function<void(Result)> done);

    SettingsManager& m_settings;
    QThreadPool m_pool;
    int m_pending = 0; // main thread
};
