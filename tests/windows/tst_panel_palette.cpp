#include "support/TestMain.h"
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
        QTest::addColumn<QPalette::ColorRole>("role");
        const std::pair<const char*, QPalette::ColorRole> roles[] = {
            {"text", QPalette::WindowText},
            {"button", QPalette::ButtonText},
            {"second line", QPalette::PlaceholderText}};
        for (const bool dark : {false, true})
            for (const auto& [name, role] : roles)
                QTest::addRow("%s, %s", dark ? "dark" : "light", name) << dark << role;
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

VYRN_TEST_MAIN(QApplication, TestPanelPalette, "offscreen")
#include "tst_panel_palette.moc"
