#include "support/MutterKeyboard.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QHash>
#include <QStringList>

namespace {

const QString kService = QStringLiteral("org.gnome.Mutter.RemoteDesktop");
// A shell that is stuck fails the test at once instead of at every key of it.
constexpr int kCallLimitMs = 3000;

QDBusMessage call(const QDBusMessage& message) {
    return QDBusConnection::sessionBus().call(message, QDBus::Block, kCallLimitMs);
}

QDBusMessage sessionCall(const QString& session, const QString& method) {
    return QDBusMessage::createMethodCall(kService, session, kService + QStringLiteral(".Session"), method);
}

} // namespace

MutterKeyboard::MutterKeyboard() {
    const QDBusReply<QDBusObjectPath> created =
        call(QDBusMessage::createMethodCall(kService, QStringLiteral("/org/gnome/Mutter/RemoteDesktop"),
                                            kService, QStringLiteral("CreateSession")));
    if (!created.isValid()) {
        m_error = created.error().message();
        return;
    }
    const QDBusMessage started = call(sessionCall(created.value().path(), QStringLiteral("Start")));
    if (started.type() == QDBusMessage::ErrorMessage) {
        m_error = started.errorMessage();
        return;
    }
    m_session = created.value().path();
    keysym(0xffe1, true); // Shift: the key the new device drops
    keysym(0xffe1, false);
}

MutterKeyboard::~MutterKeyboard() {
    if (isOpen())
        call(sessionCall(m_session, QStringLiteral("Stop")));
}

bool MutterKeyboard::keysym(quint32 keysym, bool pressed) {
    QDBusMessage message = sessionCall(m_session, QStringLiteral("NotifyKeyboardKeysym"));
    message << keysym << pressed;
    const QDBusMessage reply = call(message);
    if (reply.type() == QDBusMessage::ErrorMessage)
        m_error = reply.errorMessage();
    return reply.type() != QDBusMessage::ErrorMessage;
}

bool MutterKeyboard::press(const QString& keys) {
    static const QHash<QString, quint32> named{
        {QStringLiteral("super"), 0xffeb},  {QStringLiteral("shift"), 0xffe1},
        {QStringLiteral("ctrl"), 0xffe3},   {QStringLiteral("alt"), 0xffe9},
        {QStringLiteral("escape"), 0xff1b}, {QStringLiteral("return"), 0xff0d},
        {QStringLiteral("tab"), 0xff09},
    };
    QList<quint32> syms;
    for (const QString& key : keys.toLower().split(QLatin1Char('+'))) {
        if (named.contains(key))
            syms.append(named.value(key));
        else if (key.size() == 1)
            syms.append(key.at(0).unicode());
        else
            return false;
    }
    bool ok = isOpen();
    for (quint32 sym : syms)
        ok = ok && keysym(sym, true);
    for (auto sym = syms.rbegin(); sym != syms.rend(); ++sym)
        ok = keysym(*sym, false) && ok;
    return ok;
}
