#pragma once

// Pictures of text drawn once with fixed fonts (bench_ocr --write-test-images tests) and
// stored beside the tests, so that what a test reads does not depend on the machine's fonts.

#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRectF>
#include <QStringList>

struct StoredImage {
    struct Line {
        QString text;
        QRectF box; // image pixels, as drawn
    };
    QImage image;
    QList<Line> lines;        // lines (or table cells, row by row) in reading order
    QList<QStringList> cells; // a table's, header first; empty for anything else
    QString reference;        // what a perfect reading sends, in reading order

    // `path` without its .png / .json suffix.
    static StoredImage load(const QString& path) {
        StoredImage stored;
        stored.image = QImage(path + QStringLiteral(".png")).convertToFormat(QImage::Format_RGB32);
        QFile file(path + QStringLiteral(".json"));
        if (stored.image.isNull() || !file.open(QIODevice::ReadOnly))
            qFatal("unreadable test image %s", qPrintable(path));
        const QJsonObject json = QJsonDocument::fromJson(file.readAll()).object();
        for (const QJsonValue& line : json[QLatin1String("lines")].toArray()) {
            const QJsonArray box = line[QLatin1String("box")].toArray();
            stored.lines.append(
                {line[QLatin1String("text")].toString(),
                 {box[0].toDouble(), box[1].toDouble(), box[2].toDouble(), box[3].toDouble()}});
        }
        for (const QJsonValue& row : json[QLatin1String("cells")].toArray())
            stored.cells.append(row.toVariant().toStringList());
        stored.reference = json[QLatin1String("reference")].toString();
        return stored;
    }
};
