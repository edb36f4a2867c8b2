#include "platform/freedesktop/SessionBusInstance.h"

#include "base/AppConstants.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QFileInfo>

const QString SessionBusInstance::serviceName = QString::fromLatin1(APP_ID);
const QString SessionBusInstance::objectPath = QStringLiteral("/app/vyrn/Vyrn");

namespace {

const QString kInterface = QStringLiteral("org.freedesktop.Application");
const QString kStartupIdKey = QStringLiteral("desktop-startup-id");
const QString kActivationTokenKey = QStringLiteral("activation-token");
// A start of `vyrn` says its version, so that an older running instance can make way for it.
const QString kVersionKey = QStringLiteral("vyrn-version");
const QString kBuildKey = QStringLiteral("vyrn-build");

QString reasonOf(const QDBusError& error) {
    return error.message().isEmpty() ? error.name() : error.message();
}

QVariantMap platformDataOf(const AppRequest& request) {
    QVariantMap data;
    if (!request.startupId.isEmpty())
        data.insert(kStartupIdKey, QString::fromUtf8(request.startupId));
    if (!request.activationToken.isEmpty())
        data.insert(kActivationTokenKey, QString::fromUtf8(request.activationToken));
    data.insert(kVersionKey, APP_SHORT_VERSION);
    data.insert(kBuildKey, APP_BUILD_VERSION);
    return data;
}

// The unique name now owning the well-known one, or empty.
QString ownerOf(QDBusConnection& bus) {
    const QDBusReply<QString> owner = bus.interface()->serviceOwner(SessionBusInstance::serviceName);
    return owner.isValid() ? owner.value() : QString();
}

} // namespace

SessionBusInstance::SessionBusInstance(QObject* parent) : QObject(parent) {}

SessionBusInstance::~SessionBusInstance() {
    release();
}

SessionBusInstance::Claim SessionBusInstance::claim(QString* problem) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()) {
        if (problem)
            *problem = reasonOf(bus.lastError());
        return Claim::NoBus;
    }
    if (!m_serving && !bus.registerObject(objectPath, this, QDBusConnection::ExportScriptableSlots)) {
        if (problem)
            *problem = QStringLiteral("无法注册对象 ") + objectPath;
        return Claim::NoBus;
    }
    m_serving = true;
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
        bus.interface()->registerService(serviceName, QDBusConnectionInterface::DontQueueService,
                                         QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) {
        m_owner = true;
        return Claim::Owner;
    }
    bus.unregisterObject(objectPath);
    m_serving = false;
    if (reply.isValid())
        return Claim::TakenByAnother;
    if (problem)
        *problem = reasonOf(reply.error());
    return Claim::NoBus;
}

void SessionBusInstance::release() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (m_owner && bus.isConnected())
        bus.interface()->unregisterService(serviceName);
    if (m_serving && bus.isConnected())
        bus.unregisterObject(objectPath);
    m_owner = false;
    m_serving = false;
}

SessionBusInstance::Delivery SessionBusInstance::deliver(const AppRequest& request,
                                                         std::chrono::milliseconds timeout) {
    using Outcome = Delivery::Outcome;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return {Outcome::NoBus, 0, reasonOf(bus.lastError())};
    // Addressed to the owner's unique name: if that instance goes away meanwhile, the call
    // fails instead of reaching whichever start takes the name next.
    const QString owner = ownerOf(bus);
    if (owner.isEmpty())
        return {Outcome::NoInstance, 0, {}};

    QDBusMessage call;
    if (request.action == AppAction::Activate) {
        call = QDBusMessage::createMethodCall(owner, objectPath, kInterface, QStringLiteral("Activate"));
        call << platformDataOf(request);
    } else {
        call =
            QDBusMessage::createMethodCall(owner, objectPath, kInterface, QStringLiteral("ActivateAction"));
        call << appActionName(request.action) << QVariantList() << platformDataOf(request);
    }
    const QDBusMessage reply = bus.call(call, QDBus::Block, int(timeout.count()));
    if (reply.type() == QDBusMessage::ReplyMessage)
        return {Outcome::Delivered, 0, {}};
    // A timed-out call and an owner that quit without answering look alike: ask the bus.
    if (ownerOf(bus) != owner)
        return {Outcome::NoInstance, 0, {}};
    const QString error = reply.errorName();
    if (error == QLatin1String("org.freedesktop.DBus.Error.NoReply") ||
        error == QLatin1String("org.freedesktop.DBus.Error.Timeout")) {
        const QDBusReply<uint> pid = bus.interface()->servicePid(owner);
        return {Outcome::NoAnswer, pid.isValid() ? qint64(pid.value()) : 0, {}};
    }
    return {Outcome::Refused, 0, reply.errorMessage().isEmpty() ? error : reply.errorMessage()};
}

void SessionBusInstance::Activate(const QVariantMap& platformData) {
    pass(AppAction::Activate, platformData);
}

void SessionBusInstance::Open(const QStringList&, const QVariantMap& platformData) {
    pass(AppAction::Activate, platformData);
}

void SessionBusInstance::ActivateAction(const QString& actionName, const QVariantList&,
                                        const QVariantMap& platformData) {
    const std::optional<AppAction> action = appActionNamed(actionName);
    if (!action) {
        sendErrorReply(QDBusError::InvalidArgs, QStringLiteral("未知的操作: ") + actionName);
        return;
    }
    pass(*action, platformData);
}

void SessionBusInstance::pass(AppAction action, const QVariantMap& platformData) {
    AppRequest request;
    request.action = action;
    request.startupId = platformData.value(kStartupIdKey).toString().toUtf8();
    request.activationToken = platformData.value(kActivationTokenKey).toString().toUtf8();
    request.senderVersion = platformData.value(kVersionKey).toString();
    request.senderBuild = platformData.value(kBuildKey).toString();
    // Read while the caller waits for its answer, so its process is still there.
    if (!request.senderVersion.isEmpty() && calledFromDBus()) {
        const QDBusReply<uint> pid = connection().interface()->servicePid(message().service());
        if (pid.isValid())
            request.senderProgram =
                QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid.value())).symLinkTarget();
    }
    // After this call returns, so the caller is answered before the action runs (a quit, an
    // overlay that grabs the keyboard).
    QMetaObject::invokeMethod(
        this, [this, request] { Q_EMIT requested(request); }, Qt::QueuedConnection);
}
