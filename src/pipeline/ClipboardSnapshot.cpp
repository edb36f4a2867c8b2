#include "pipeline/ClipboardSnapshot.h"

#include <QStringDecoder>

namespace {

QByteArray withoutTrailingNuls(QByteArray data) {
    while (data.endsWith('\0'))
        data.chop(1);
    return data;
}

std::optional<QString> strictUtf8(const QByteArray& data) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder(withoutTrailingNuls(data));
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

} // namespace

std::optional<QString> ClipboardSnapshot::decodePlainText(const Entry& entry) {
    if (entry.format != 8)
        return std::nullopt;
    const QByteArray target = entry.target.toLower();
    if (target == "string")
        return QString::fromLatin1(withoutTrailingNuls(entry.data));
    if (target == "utf8_string" || target == "text/plain" || target == "text/plain;charset=utf-8")
        return strictUtf8(entry.data);
    return std::nullopt;
}

QStringList ClipboardSnapshot::previousTexts() const {
    QStringList texts;
    for (const Item& item : items)
        for (const Entry& entry : item.types)
            if (const std::optional<QString> text = decodePlainText(entry); text && !texts.contains(*text))
                texts.append(*text);
    return texts;
}

qsizetype ClipboardSnapshot::entryCount() const {
    qsizetype count = 0;
    for (const Item& item : items)
        count += item.types.size();
    return count;
}
