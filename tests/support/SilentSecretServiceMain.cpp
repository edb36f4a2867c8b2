// Owns org.freedesktop.secrets on the session bus and never answers; says "ready" once it
// owns the name. See SilentSecretService.h.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusVirtualObject>

#include <cstdio>

namespace {
class SilentObject final : public QDBusVirtualObject {
public:
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage&, const QDBusConnection&) override { return true; }
};
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    SilentObject service;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerVirtualObject(QStringLiteral("/"), &service, QDBusConnection::SubPath) ||
        !bus.registerService(QStringLiteral("org.freedesktop.secrets")))
        return 1;
    std::printf("ready\n");
    std::fflush(stdout);
    return QCoreApplication::exec();
}
