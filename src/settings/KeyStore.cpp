#include "settings/KeyStore.h"

#include "base/Logger.h"

const QString KeyStore::service = QStringLiteral("com.vyrn.kavelin");

namespace {

// Without a backend every call fails as an unavailable store would.
class UnavailableKeyStore final : public KeyStoreBackend {
public:
    QString name() const override { return QStringLiteral("无"); }
    QString location() const override { return {}; }
    int write(const QString&, const QString&, const QByteArray&) override { return unavailable; }
    int read(const QString&, const QString&, QByteArray*) override { return unavailable; }
    int remove(const QString&, const QString&) override { return unavailable; }
    static constexpr int unavailable = -25291;
};

QString statusReason(int status) {
    QString reason = QStringLiteral("status=") + QString::number(status);
    if (status == KeyStoreStatus::timedOut)
        reason += QStringLiteral("，无响应");
    else if (status == KeyStoreStatus::cancelled)
        reason += QStringLiteral("，已取消");
    return reason;
}

QString statusLine(const char* what, int status, const QString& account) {
    return QString::fromUtf8(what) + QStringLiteral(" status=") + QString::number(status) +
           QStringLiteral(", account=") + account;
}

} // namespace

KeyStore::KeyStore(std::unique_ptr<KeyStoreBackend> backend)
    : m_backend(backend ? std::move(backend) : std::make_unique<UnavailableKeyStore>()) {}

KeyStore::~KeyStore() = default;

QString KeyStore::name() const {
    return m_backend->name();
}

bool KeyStore::save(const QString& key, const QString& account) const {
    const int status = m_backend->write(service, account, key.toUtf8());
    if (status == KeyStoreStatus::success)
        return true;
    loge(statusLine("密钥存储写入失败:", status, account));
    return false;
}

KeyLookup KeyStore::lookupOf(const KeyStoreAnswer& answer) {
    if (answer.status == KeyStoreStatus::success) {
        // Bytes that are not valid UTF-8 count as no key.
        const QString text = QString::fromUtf8(answer.data);
        return text.toUtf8() == answer.data ? KeyLookup::found(text) : KeyLookup::notFound();
    }
    if (answer.status == KeyStoreStatus::itemNotFound)
        return KeyLookup::notFound();
    return KeyLookup::storeUnavailable(statusReason(answer.status));
}

KeyLookup KeyStore::logged(const KeyLookup& lookup, int status, const QString& account) const {
    if (lookup.isStoreUnavailable() && status != KeyStoreStatus::cancelled)
        loge(statusLine("密钥存储读取失败:", status, account));
    return lookup;
}

KeyLookup KeyStore::read(const QString& account) const {
    KeyStoreAnswer answer;
    answer.status = m_backend->read(service, account, &answer.data);
    return logged(lookupOf(answer), answer.status, account);
}

KeyLookup KeyStore::readQuietly(const QString& account) const {
    KeyStoreAnswer answer;
    answer.status = m_backend->read(service, account, &answer.data);
    return lookupOf(answer);
}

KeyLookup KeyStore::read(const QString& account, const KeyWait& wait) const {
    using Clock = std::chrono::steady_clock;
    std::future<KeyStoreAnswer> later = m_backend->readLater(service, account);
    const Clock::time_point start = Clock::now();
    bool slow = false;
    KeyStoreAnswer answer;
    // In short steps, so that a cancel ends the wait at once.
    while (later.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready) {
        const Clock::duration waited = Clock::now() - start;
        if (wait.stillWanted && !wait.stillWanted())
            answer.status = KeyStoreStatus::cancelled;
        else if (waited >= wait.bound)
            answer.status = KeyStoreStatus::timedOut;
        if (answer.status != KeyStoreStatus::success)
            return logged(lookupOf(answer), answer.status, account);
        if (!slow && waited >= wait.slowAfter && wait.waiting) {
            slow = true;
            wait.waiting(true);
        }
    }
    answer = later.get();
    if (slow)
        wait.waiting(false);
    return logged(lookupOf(answer), answer.status, account);
}

bool KeyStore::remove(const QString& account) const {
    const int status = m_backend->remove(service, account);
    if (status == KeyStoreStatus::success || status == KeyStoreStatus::itemNotFound)
        return true;
    loge(statusLine("密钥存储删除失败:", status, account));
    return false;
}
