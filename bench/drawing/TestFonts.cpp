#include "drawing/TestFonts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

struct FontFiles {
    const char* folder; // inside the private font folder
    const char* source;
    QStringList files;
};

} // namespace

TestFonts::TestFonts() {
    const QString truetype = QStringLiteral("/usr/share/fonts/truetype/");
    const QList<FontFiles> sets{
        {"dejavu",
         "dejavu",
         {"DejaVuSans.ttf", "DejaVuSans-Bold.ttf", "DejaVuSans-Oblique.ttf", "DejaVuSans-BoldOblique.ttf",
          "DejaVuSerif.ttf", "DejaVuSerif-Bold.ttf", "DejaVuSerif-Italic.ttf", "DejaVuSerif-BoldItalic.ttf"}},
        {"liberation2",
         "liberation2",
         {"LiberationSans-Regular.ttf", "LiberationSans-Bold.ttf", "LiberationSans-Italic.ttf",
          "LiberationSerif-Regular.ttf", "LiberationSerif-Bold.ttf", "LiberationSerif-Italic.ttf"}},
        {"liberation1",
         "liberation",
         {"LiberationSerif-Regular.ttf", "LiberationSerif-Bold.ttf", "LiberationSerif-Italic.ttf"}},
        {"noto",
         "noto",
         {"NotoSans-Regular.ttf", "NotoSans-Bold.ttf", "NotoSans-Italic.ttf", "NotoSerif-Regular.ttf",
          "NotoSerif-Bold.ttf", "NotoSerif-Italic.ttf", "NotoColorEmoji.ttf"}},
        {"cjk",
         "../opentype/noto",
         {"NotoSansCJK-Regular.ttc", "NotoSansCJK-Bold.ttc", "NotoSerifCJK-Regular.ttc",
          "NotoSerifCJK-Bold.ttc"}},
    };
    QStringList missing;
    QString dirs;
    for (const FontFiles& set : sets) {
        const QString folder = m_dir.filePath(QString::fromLatin1(set.folder));
        QDir().mkpath(folder);
        for (const QString& file : set.files) {
            const QString source =
                QDir::cleanPath(truetype + QLatin1String(set.source) + QLatin1Char('/') + file);
            if (!QFile::link(source, folder + QLatin1Char('/') + file) || !QFileInfo::exists(source))
                missing.append(source);
        }
        dirs += QStringLiteral("<dir>%1</dir>").arg(folder);
    }
    m_missing = missing.join(QStringLiteral(", "));
    // The older Liberation Serif takes a family name of its own when it is scanned.
    const QString config =
        QStringLiteral("<?xml version=\"1.0\"?><!DOCTYPE fontconfig SYSTEM \"fonts.dtd\"><fontconfig>"
                       "%1<cachedir>%2</cachedir>"
                       "<match target=\"scan\"><test name=\"file\" compare=\"contains\">"
                       "<string>/liberation1/</string></test><edit name=\"family\" "
                       "mode=\"assign_replace\"><string>Liberation Serif 1.07</string></edit></match>"
                       "</fontconfig>\n")
            .arg(dirs, m_dir.filePath(QStringLiteral("cache")));
    QFile file(m_dir.filePath(QStringLiteral("fonts.conf")));
    if (file.open(QIODevice::WriteOnly))
        file.write(config.toUtf8());
    file.close();
    qputenv("FONTCONFIG_FILE", file.fileName().toUtf8());
}
