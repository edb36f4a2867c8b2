#pragma once

// The pictures the OCR tests read, drawn once and stored with the tests (each a PNG and a
// JSON of what was drawn where): `bench_ocr --write-test-images tests`. Drawn with the
// fonts of TestFonts, so that a second run writes the same files.

#include "drawing/DrawnScreens.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace TestImages {

using namespace DrawnScreens;

inline Screen picture(const Picture& picture) {
    return {picture, {}};
}

// Paths relative to the tests folder, without suffix.
inline QList<std::pair<QString, Screen>> all() {
    using DrawnText::prose, DrawnText::proseLines, DrawnText::sampleTable;
    QStringList many;
    for (int i = 0; i < 6; ++i)
        many += proseLines();
    const QList<QStringList> planets{
        {QStringLiteral("Planet"), QStringLiteral("Mean distance"), QStringLiteral("Moons")},
        {QStringLiteral("Mercury"), QStringLiteral("57.9 million km"), QStringLiteral("0")},
        {QStringLiteral("Venus"), QStringLiteral("108.2 million km"), QStringLiteral("0")},
        {QStringLiteral("Jupiter"), QStringLiteral("778.5 million km"), QStringLiteral("95")},
        {QStringLiteral("Saturn"), QStringLiteral("1,432 million km"), QStringLiteral("146")}};
    const QList<QStringList> verbs{
        {QStringLiteral("Verb"), QStringLiteral("Past tense"), QStringLiteral("Past participle")},
        {QStringLiteral("go"), QStringLiteral("went"), QStringLiteral("gone")},
        {QStringLiteral("buy"), QStringLiteral("bought"), QStringLiteral("bought")},
        {QStringLiteral("speak"), QStringLiteral("spoke"), QStringLiteral("spoken")}};
    const TableStyle serif{
        .family = QStringLiteral("Liberation Serif"), .pixelSize = 16, .rowGap = 0.8, .darkHeader = true};
    TableStyle olderSerif = serif;
    olderSerif.family = QStringLiteral("Liberation Serif 1.07");
    return {
        {"ocr/data/prose-13px", picture(prose(proseLines(), 13, Theme::Light))},
        {"ocr/data/prose-14px-2x", picture(prose(proseLines(), 14, Theme::Light, 2))},
        {"ocr/data/prose-16px-one-line", picture(prose(proseLines().mid(0, 1), 16, Theme::Light))},
        {"ocr/data/prose-16px-dark", picture(prose(proseLines().mid(0, 2), 16, Theme::Dark))},
        {"ocr/data/prose-15px-2x-long", picture(prose(many, 15, Theme::Light, 2))},
        {"ocr/data/paragraphs-16px",
         picture(prose({QStringLiteral("Reading on screen is different from reading on paper."),
                        QStringLiteral("Most people scan a page first."),
                        QStringLiteral("Long paragraphs are skipped far more often than short"),
                        QStringLiteral("ones, so writers keep them brief.")},
                       16, Theme::Light))},
        {"ocr/data/table-15px", picture(DrawnText::table(sampleTable(), 15, Theme::Light))},
        {"ocr/data/table-15px-tight", picture(DrawnText::table(sampleTable(), 15, Theme::Light, 24))},
        {"ocr/data/chinese-simplified",
         picture(prose(
             {QStringLiteral("龙井茶和长城"), QStringLiteral("中文识别测试"), QStringLiteral("OCR 识别结果")},
             24, Theme::Light, 1, QStringLiteral("Noto Sans CJK SC")))},
        {"ocr/data/chinese-traditional", picture(prose({QStringLiteral("繁體中文字幕")}, 24, Theme::Light, 1,
                                                       QStringLiteral("Noto Sans CJK TC")))},
        {"ocr/data/screen-table-zebra", table(planets, {.pixelSize = 13, .rowGap = 0.7, .zebra = true})},
        {"ocr/data/screen-table-serif", table(verbs, serif)},
        {"ocr/data/screen-table-older-serif", table(verbs, olderSerif)},
        {"ocr/data/screen-table-2x-dark-rules",
         table(sampleTable(), {.family = QStringLiteral("Liberation Sans"),
                               .scale = 2,
                               .theme = Theme::Dark,
                               .rowGap = 0.9,
                               .rules = true})},
        {"ocr/data/screen-table-spaced",
         {DrawnText::table(sampleTable(), 15, Theme::Light, 36, 2.4), sampleTable()}},
        {"ocr/data/screen-settings-dialog",
         settingsDialog({QStringLiteral("Liberation Sans"), 14, 1, Theme::Light})},
        {"ocr/data/screen-navigation-bar",
         navigationBar({QStringLiteral("DejaVu Sans"), 13, 1, Theme::Light})},
        {"ocr/data/screen-coloured-buttons",
         colouredButtons({QStringLiteral("Noto Sans"), 14, 1, Theme::Light})},
        {"ocr/data/screen-serif-2x",
         paragraphs({QStringLiteral("He had held the book back, hoping that the bad weather would hold "
                                    "and that nobody would ask for it.")},
                    {.family = QStringLiteral("Noto Serif"), .pixelSize = 16, .scale = 2, .width = 500})},
        {"pipeline/data/paragraph-20px", picture(prose(proseLines().mid(0, 3), 20, Theme::Light))},
        {"pipeline/data/table-20px", picture(DrawnText::table(sampleTable(), 20, Theme::Light))},
    };
}

inline bool write(const QString& testsFolder) {
    for (const auto& [name, screen] : all()) {
        const QString path = testsFolder + QLatin1Char('/') + name;
        QDir().mkpath(QFileInfo(path).path());
        QJsonArray lines, cells;
        for (const DrawnText::Line& line : screen.picture.lines) {
            const QRectF& box = line.box;
            lines.append(QJsonObject{
                {QStringLiteral("text"), line.text},
                {QStringLiteral("box"), QJsonArray{box.x(), box.y(), box.width(), box.height()}}});
        }
        for (const QStringList& row : screen.cells)
            cells.append(QJsonArray::fromStringList(row));
        QJsonObject json{{QStringLiteral("lines"), lines}, {QStringLiteral("reference"), screen.reference()}};
        if (!cells.isEmpty())
            json.insert(QStringLiteral("cells"), cells);
        QFile file(path + QStringLiteral(".json"));
        // The strongest compression: the pixels are the same at any level, the files smaller.
        if (!screen.picture.image.save(path + QStringLiteral(".png"), "PNG", 0) ||
            !file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(json).toJson()) < 0)
            return false;
    }
    return true;
}

} // namespace TestImages
