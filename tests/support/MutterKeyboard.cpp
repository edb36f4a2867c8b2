#include "support/MutterKeyboard.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDeadlineTimer>
#include <QTest>

namespace {
const QString kService = QStringLiteral("org.gnome.Mutter.RemoteDesktop");
// A stuck shell fails the test at once instead of at every key of it.
constexpr int kCallLimitMs = 3000;
} // namespace

MutterKeyboard::MutterKeyboard() {
    const QDBusReply<QDBusObjectPath> created = QDBusConnection::sessionBus().call(
        QDBusMessage::createMethodCall(kService, QStringLiteral("/org/gnome/Mutter/RemoteDesktop"), kService,
                                       QStringLiteral("CreateSession")),
        QDBus::Block, kCallLimitMs);
    m_session = created.isValid() ? created.value().path() : QString();
    m_error = created.error().message();
    if (!isOpen() || !call(QStringLiteral("Start")))
        m_session.clear();
    press({0xffe1}); // Shift: the key a new device drops
}

bool MutterKeyboard::leaveOverview() {
    const auto overviewActive = [] {
        QDBusMessage get = QDBusMessage::createMethodCall(
            QStringLiteral("org.gnome.Shell"), QStringLiteral("/org/gnome/Shell"),
            QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        get.setArguments({QStringLiteral("org.gnome.Shell"), QStringLiteral("OverviewActive")});
        const QDBusReply<QVariant> reply =
            QDBusConnection::sessionBus().call(get, QDBus::Block, kCallLimitMs);
        return !reply.isValid() || reply.value().toBool();
    };
    for (int attempt = 0; attempt < 3 && overviewActive(); ++attempt) {
        if (!press({0xff1b}))
            return false;
        QDeadlineTimer closing(3000);
        while (overviewActive() && !closing.hasExpired())
            QTest::qWait(50);
    }
    return !overviewActive();
}

MutterKeyboard::~MutterKeyboard() {
    if (isOpen())
        call(QStringLiteral("Stop"));
}

bool MutterKeyboard::call(const QString& method, const QVariantList& arguments) {
    QDBusMessage message =
        QDBusMessage::createMethodCall(kService, m_session, kService + QStringLiteral(".Session"), method);
    message.setArguments(arguments);
    const QDBusMessage reply = QDBusConnection::sessionBus().call(message, QDBus::Block, kCallLimitMs);
    if (reply.type() == QDBusMessage::ErrorMessage)
        m_error = reply.errorMessage();
    return reply.type() != QDBusMessage::ErrorMessage;
}

bool MutterKeyboard::press(const QList<quint32>& keysyms) {
    bool ok = isOpen();
    for (quint32 keysym : keysyms)
        ok = ok && call(QStringLiteral("NotifyKeyboardKeysym"), {keysym, true});
    for (auto keysym = keysyms.rbegin(); keysym != keysyms.rend(); ++keysym)
        ok = call(QStringLiteral("NotifyKeyboardKeysym"), {*keysym, false}) && ok;
    return ok;
}

bool MutterKeyboard::movePointer(QPoint to) {
    return movePointerBy({-100000, -100000}) && movePointerBy(to);
}

bool MutterKeyboard::movePointerBy(QPoint delta) {
    return isOpen() &&
           call(QStringLiteral("NotifyPointerMotionRelative"), {double(delta.x()), double(delta.y())});
}

bool MutterKeyboard::leftButton(bool pressed) {
    return isOpen() && call(QStringLiteral("NotifyPointerButton"), {0x110, pressed}); // BTN_LEFT
}
