#pragma once

#include "platform/x11/X11Clipboard.h"
#include "support/AsyncAnswer.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QString>
#include <QTest>

// Contents and checks shared by the clipboard and selection tests.
namespace SelectionTestSupport {

inline QByteArray noisePng(int side) {
    // Noise does not compress: a PNG of 420 x 420 is larger than one X11 request.
    QImage image(side, side, QImage::Format_ARGB32);
    QRandomGenerator random(42);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            image.setPixel(x, y, random.generate());
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

// About `bytes` of text with Chinese and astral characters, in numbered lines.
inline QString largeText(int bytes) {
    QString text;
    for (int line = 0; text.size() * 2 < bytes; ++line)
        text += QStringLiteral("Line %1: the quick brown fox 跳过懒狗 😀\n").arg(line);
    return text;
}

inline QString writeFile(const QString& folder, const QString& name, const QByteArray& data) {
    const QString path = folder + '/' + name;
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(data);
    return path;
}

// Every target of the clipboard, as another program (another X connection) reads it.
inline QMap<QByteArray, ClipboardSnapshot::Entry> clipboardAsAnotherProgram() {
    X11Clipboard clipboard(X11SelectionConnection::open());
    AsyncAnswer<std::optional<ClipboardSnapshot>> snapshot;
    clipboard.capture(snapshot.callback());
    QMap<QByteArray, ClipboardSnapshot::Entry> entries;
    if (!snapshot.wait() || !snapshot.value)
        return entries;
    for (const ClipboardSnapshot::Item& item : snapshot.value->items)
        for (const ClipboardSnapshot::Entry& entry : item.types)
            entries.insert(entry.target, entry);
    return entries;
}

// The clipboard's `target` as xclip, a program that is not VYRN, reads it. The event loop
// keeps running meanwhile: this process may be the one xclip asks.
inline QByteArray xclipOutput(const QString& target) {
    QProcess xclip;
    QByteArray output;
    QObject::connect(&xclip, &QProcess::readyReadStandardOutput,
                     [&] { output += xclip.readAllStandardOutput(); });
    xclip.start(QStringLiteral("xclip"), {"-o", "-selection", "clipboard", "-t", target});
    if (!QTest::qWaitFor([&] { return xclip.state() == QProcess::NotRunning; }, 10000))
        return "(xclip did not finish)";
    return output + xclip.readAllStandardOutput();
}

} // namespace SelectionTestSupport
