#pragma once

#include <QNetworkReply>
#include <QString>

// Shared rules for answers from the services VYRN talks to.
namespace NetworkReplies {

// The longest body read from a service. Answers are a few kilobytes; anything beyond this is
// a misbehaving server whose body would otherwise be buffered whole.
constexpr qint64 maxBodyBytes = 8 * 1024 * 1024;

// Aborts `reply` as soon as its body announces or reaches more than maxBodyBytes. A body that
// arrived whole at once is past aborting: its handler must still ask wasCutForSize().
void limitBodySize(QNetworkReply* reply);
bool wasCutForSize(const QNetworkReply* reply);

// Qt answers an HTTP error status with a content, protocol or server error code and keeps
// the status and body; only these network-layer codes mean the exchange broke.
bool isTransportError(QNetworkReply::NetworkError error);

// A short Chinese text for a network error, with the English technical term kept, for log
// lines and for what the user is shown. Qt's own texts are English only.
QString errorText(QNetworkReply::NetworkError error);

} // namespace NetworkReplies
