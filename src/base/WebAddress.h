#pragma once

#include <QString>
#include <QUrl>

#include <optional>

// The only addresses VYRN sends requests to or hands to the browser: http or https with a
// host. Anything else (file:, javascript:, a custom scheme, "http:" alone) is no address.
bool isWebAddress(const QUrl& url);
std::optional<QUrl> webAddress(const QString& text);

// `text` fit for a log line: user name and password masked, query and fragment cut off, so
// that a mistyped address never writes its credentials to the log. Works on unparsable text too.
QString addressForLog(const QString& text);
