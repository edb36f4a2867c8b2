#include "settings/KeyStore.h"

#include "base/Logger.h"

const QString KeyStore::service = QStringLiteral("com.vyrn.kavelin");

namespace {

// Without a backend every call fails as an unavailable store would.
class UnavailableKeyStore final : public KeyStoreBackend {
public:
    QString name() const override { return QStringLiteral("无"); }
    int write(const QString&, const QString&, const QByteArray&) override { return unavailable; }
    int read(const QString&, const QString&, QByteArray*) override { return unavailable; }
    int remove(const QString&, const QString&) override { return unavailable; }
    static constexpr int unavailable = -25291;
};

QString statusReason(int status) {
    QString reason = QStringLiteral("status=") + QString::number(status);
    if (status == KeyStoreStatus::timedOut)
        reason += QStringLiteral("，无响应");
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

int KeyStore::readStatus(const QString& account, KeyLookup* lookup) const {
    QByteArray data;
    const int status = m_backend->read(service, account, &data);
    if (status == KeyStoreStatus::success) {
        // Bytes that are not valid UTF-8 count as no key.
        const QString text = QString::fromUtf8(data);
        *lookup = text.toUtf8() == data ? KeyLookup::found(text) : KeyLookup::notFound();
    } else if (status == KeyStoreStatus::itemNotFound) {
        *lookup = KeyLookup::notFound();
    } else {
        *lookup = KeyLookup::storeUnavailable(statusReason(status));
    }
    return status;
}

KeyLookup KeyStore::read(const QString& account) const {
    KeyLookup lookup = KeyLookup::notFound();
    const int status = readStatus(account, &lookup);
    if (lookup.isStoreUnavailable())
        loge(statusLine("密钥存储读取失败:", status, account));
    return lookup;
}

KeyLookup KeyStore::readQuietly(const QString& account) const {
    KeyLookup lookup = KeyLookup::notFound();
    readStatus(account, &lookup);
    return lookup;
}

bool KeyStore::remove(const QString& account) const {
    const int status = m_backend->remove(service, account);
    if (status == KeyStoreStatus::success || status == KeyStoreStatus::itemNotFound)
        return true;
    loge(statusLine("密钥存储删除失败:", status, account));
    return false;
}
