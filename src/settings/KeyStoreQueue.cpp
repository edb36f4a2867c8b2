#include "settings/KeyStoreQueue.h"

#include "settings/SettingsManager.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QPointer>

KeyStoreQueue::KeyStoreQueue(SettingsManager& settings) : m_settings(settings) {
    m_pool.setMaxThreadCount(1);
}

KeyStoreQueue::~KeyStoreQueue() {
    m_pool.waitForDone();
}

template <typename Result>
void KeyStoreQueue::enqueue(std::function<Result()> work, QObject* context,
                            std::function<void(Result)> done) {
    ++m_pending;
    m_pool.start([this, work = std::move(work), guard = QPointer<QObject>(context), done = std::move(done)] {
        Result result = work();
        // `this` outlives the task (its destructor waits), and events posted to it die with it.
        QMetaObject::invokeMethod(
            this,
            [this, guard, done, result] {
                --m_pending;
                if (guard && done)
                    done(result);
            },
            Qt::QueuedConnection);
    });
}

void KeyStoreQueue::readKey(AIProvider provider, QObject* context, std::function<void(KeyLookup)> done) {
    enqueue<KeyLookup>([this, provider] { return m_settings.apiKey(provider); }, context, std::move(done));
}

void KeyStoreQueue::readActiveKey(QObject* context, std::function<void(KeyLookup)> done) {
    enqueue<KeyLookup>([this] { return m_settings.activeApiKey(); }, context, std::move(done));
}

void KeyStoreQueue::writeKey(AIProvider provider, const std::optional<QString>& key, QObject* context,
                             std::function<void(bool)> done) {
    enqueue<bool>([this, provider, key] { return m_settings.setApiKey(key, provider); }, context,
                  std::move(done));
}

bool KeyStoreQueue::waitForIdle(int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (m_pending > 0) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}
