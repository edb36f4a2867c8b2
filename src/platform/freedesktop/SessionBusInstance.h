#pragma once

#include "base/AppRequest.h"

#include <QDBusContext>
#include <QObject>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

#include <chrono>

// One running VYRN per desktop session. The running instance owns app.vyrn.Vyrn on the
// session bus and serves org.freedesktop.Application at /app/vyrn/Vyrn, the interface
// desktops use to activate a program and its desktop actions; a later start hands its
// request over there and leaves. Main thread only.
class SessionBusInstance : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")
public:
    static const QString serviceName;
    static const QString objectPath;

    enum class Claim { Owner, TakenByAnother, NoBus };

    explicit SessionBusInstance(QObject* parent = nullptr);
    ~SessionBusInstance() override;

    // Serves the object first, then asks for the name without queueing, so that of two
    // starts at the same moment exactly one gets it and the other can reach it at once.
    // `problem` receives why the bus cannot be used.
    Claim claim(QString* problem = nullptr);
    // Gives the name up: a start during shutdown then becomes the next instance instead of
    // waiting for an answer from this one.
    void release();

    struct Delivery {
        enum class Outcome {
            Delivered,
            NoInstance, // nobody owns the name (any more)
            NoAnswer,   // the owner did not answer in time
            Refused,    // the owner answered with an error
            NoBus,
        };
        Outcome outcome = Outcome::NoInstance;
        qint64 pid = 0;  // the owner's process, for NoAnswer when the bus knows it
        QString problem; // for Refused and NoBus
    };
    // Hands `request` to the running instance and waits for its answer.
    static Delivery deliver(const AppRequest& request, std::chrono::milliseconds timeout);

Q_SIGNALS:
    // On the main thread, once the caller has its answer.
    void requested(const AppRequest& request);

public Q_SLOTS:
    // org.freedesktop.Application; platform data may carry "desktop-startup-id" and
    // "activation-token".
    Q_SCRIPTABLE void Activate(const QVariantMap& platformData);
    // VYRN opens no files or addresses: treated as Activate.
    Q_SCRIPTABLE void Open(const QStringList& uris, const QVariantMap& platformData);
    // The desktop actions "screenshot", "selection", "settings" and "quit"; no parameter.
    Q_SCRIPTABLE void ActivateAction(const QString& actionName, const QVariantList& parameter,
                                     const QVariantMap& platformData);

private:
    void pass(AppAction action, const QVariantMap& platformData);

    bool m_serving = false;
    bool m_owner = false;
};
