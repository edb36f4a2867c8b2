#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// A complete copy of the clipboard: every target its owner offered with the bytes,
// property type and format it answered with, so that the same can be offered again.
// An X11 clipboard has one owner, so a snapshot holds one item, or none when nothing
// owned the clipboard.
struct ClipboardSnapshot {
    struct Entry {
        QByteArray target; // what was asked for: "UTF8_STRING", "text/html", "image/png"
        QByteArray type;   // the type of the answer ("INCR" is never stored)
        int format = 8;    // bits per unit of `data`: 8, 16 or 32
        QByteArray data;
        bool operator==(const Entry&) const = default;
    };
    struct Item {
        QList<Entry> types; // in the order the owner listed its targets
        bool operator==(const Item&) const = default;
    };

    QList<Item> items;

    bool operator==(const ClipboardSnapshot&) const = default;

    // The text of a plain-text entry: UTF-8 for UTF8_STRING and the text/plain kinds
    // (entries that are not valid UTF-8 yield nothing), Latin-1 for STRING.
    static std::optional<QString> decodePlainText(const Entry& entry);
    // Every plain text the snapshot holds, so a copy that yields one of them again
    // without the clipboard changing is not taken for the selection.
    QStringList previousTexts() const;
    qsizetype entryCount() const;
};
