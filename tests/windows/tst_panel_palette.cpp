#include "windows/PanelPalette.h"

#include <QApplication>
#include <QTest>

// Every kind of text on the panels stays readable on their background in either scheme,
// whichever scheme the desktop's own palette has.
class TestPanelPalette : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void textStandsOut_data() {
        QTest::addColumn<bool>("dark");
        QTest::addColumn<QPalette::ColorGroup>("group");
        QTest::addColumn<QPalette::ColorRole>("role");
        for (const bool dark : {false, true}) {
            const char* scheme = dark ? "dark" : "light";
            for (const QPalette::ColorRole role :
                 {QPalette::WindowText, QPalette::ButtonText, QPalette::PlaceholderText})
                QTest::addRow("%s, role %d", scheme, int(role)) << dark << QPalette::Active << role;
            QTest::addRow("%s, disabled text", scheme) << dark << QPalette::Disabled << QPalette::WindowText;
        }
    }
    void textStandsOut() {
        QFETCH(bool, dark);
        QFETCH(QPalette::ColorRole, role);
        const QPalette palette = PanelPalette::forScheme(dark);
        const QColor text = palette.color(role), window = palette.color(QPalette::Window);
        // Blended as drawn: a translucent grey is only as far from the window as it shows.
        const int shown = qRound(text.lightness() * text.alphaF() + window.lightness() * (1 - text.alphaF()));
        QVERIFY2(qAbs(shown - window.lightness()) >= 60,
                 qPrintable(QStringLiteral("text %1 on %2").arg(text.name(QColor::HexArgb), window.name())));
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    TestPanelPalette test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_panel_palette.moc"
