#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QUrl>

class QWebEngineProfile;
class ResultPageSource;

// The web engine behind the result panel: one profile kept off the record, which serves
// pages from memory through the vyrn: scheme. Its pages are local content: they can
// neither run scripts nor reach the network or the disk.
// Creating the first one starts the engine (about 0.7 s and 240 MB).
class ResultWebEngine : public QObject {
    Q_OBJECT
public:
    static const QByteArray& schemeName();
    // Must run before the QApplication is created: a later registration is ignored.
    static void registerUrlScheme();
    // Must run once the application object exists and before the first page. Pages are drawn
    // with OpenGL, and where the display gives no OpenGL context the panel would never show:
    // then Qt Quick's software renderer draws them. Returns the line to log: which way and why.
    static QString chooseRendering();

    explicit ResultWebEngine(QObject* parent = nullptr);
    ~ResultWebEngine() override;

    QWebEngineProfile* profile() const { return m_profile; }

    // A new address that serves `page` until it is withdrawn.
    QUrl publish(const QByteArray& page);
    void withdraw(const QUrl& address);
    const QByteArray* page(const QUrl& address) const;

private:
    QWebEngineProfile* m_profile;
    ResultPageSource* m_source;
    QHash<QUrl, QByteArray> m_pages;
    quint64 m_nextPage = 1;
};
