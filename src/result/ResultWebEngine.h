#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QUrl>

class QWebEngineProfile;
class ResultPageSource;
class LocalRequestsOnly;

// The web engine behind the result panel: one profile kept off the record, which
// serves pages from memory through the vyrn: scheme and refuses every other load.
// Creating the first one starts the engine (about 0.7 s and 240 MB).
class ResultWebEngine : public QObject {
    Q_OBJECT
public:
    static const QByteArray& schemeName();
    // Must run before the QApplication is created: a later registration is ignored.
    static void registerUrlScheme();

    explicit ResultWebEngine(QObject* parent = nullptr);
    ~ResultWebEngine() override;

    QWebEngineProfile* profile() const { return m_profile; }

    // A new address that serves `page` until it is withdrawn.
    QUrl publish(const QByteArray& page);
    void withdraw(const QUrl& address);
    const QByteArray* page(const QUrl& address) const;

Q_SIGNALS:
    // A load the engine refused (anything but the vyrn: pages).
    void requestBlocked(const QUrl& url);

private:
    QWebEngineProfile* m_profile;
    ResultPageSource* m_source;
    LocalRequestsOnly* m_filter;
    QHash<QUrl, QByteArray> m_pages;
    quint64 m_nextPage = 1;
};
