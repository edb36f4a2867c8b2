#include "app/KeyTable.h"
#include "app/LinuxKeyMap.h"

#include <QTest>

// Keysyms and state bits come from the X11 headers as an independent check of the
// table's constants; nothing is linked.
#include <X11/X.h>
#include <X11/keysym.h>

using namespace LinuxKeyMap;

class TestLinuxKeyMap : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyNamedKeyRoundTrips() {
        for (const KeyTableEntry& entry : KeyTable::entries()) {
            const int code = entry.keyCode;
            const std::optional<quint32> keysym = x11KeysymForKeyCode(code);
            QVERIFY(keysym);
            QCOMPARE(keyCodeForX11Keysym(*keysym), code);
            const std::optional<QtKey> qt = qtKeyForKeyCode(code);
            QVERIFY(qt);
            const Qt::KeyboardModifiers keypad = qt->keypad ? Qt::KeypadModifier : Qt::NoModifier;
            QCOMPARE(keyCodeForQtKey(qt->key, keypad | Qt::ShiftModifier), code);
            if (entry.alternateX11Keysym)
                QCOMPARE(keyCodeForX11Keysym(entry.alternateX11Keysym), code);
            if (entry.alternateQtKey)
                QCOMPARE(keyCodeForQtKey(entry.alternateQtKey, keypad), code);
        }
    }

    void keysyms_data() {
        QTest::addColumn<int>("keyCode");
        QTest::addColumn<quint32>("keysym");
        QTest::addColumn<quint32>("otherState"); // 0: none
        const struct {
            int code;
            quint32 keysym, other;
        } rows[] = {{0, XK_a, XK_A},
                    {29, XK_0, 0},
                    {50, XK_grave, 0},
                    {42, XK_backslash, 0},
                    {65, XK_KP_Decimal, XK_KP_Delete},
                    {81, XK_KP_Equal, 0},
                    {87, XK_KP_5, XK_KP_Begin},
                    {92, XK_KP_9, XK_KP_Prior},
                    {71, XK_Clear, 0},
                    {76, XK_KP_Enter, 0},
                    {122, XK_F1, 0},
                    {111, XK_F12, 0},
                    {51, XK_BackSpace, 0},
                    {48, XK_Tab, XK_ISO_Left_Tab},
                    {126, XK_Up, 0}};
        for (const auto& row : rows)
            QTest::addRow("%d", row.code) << row.code << row.keysym << row.other;
    }
    void keysyms() {
        QFETCH(int, keyCode);
        QFETCH(quint32, keysym);
        QFETCH(quint32, otherState);
        QCOMPARE(x11KeysymForKeyCode(keyCode), keysym);
        if (otherState)
            QCOMPARE(keyCodeForX11Keysym(otherState), keyCode);
    }

    void keysWithoutCounterpartAreRefused() {
        for (int code : {55, 10, 105, 117, 119, -1, 127})
            QVERIFY2(!x11KeysymForKeyCode(code) && !qtKeyForKeyCode(code), qPrintable(QString::number(code)));
        for (int keysym : {XK_End, XK_Num_Lock, XK_Super_L, XK_exclam, 0})
            QCOMPARE(keyCodeForX11Keysym(quint32(keysym)), std::nullopt);
        QCOMPARE(keyCodeForQtKey(Qt::Key_End, Qt::NoModifier), std::nullopt);
        QCOMPARE(keyCodeForQtKey(Qt::Key_Delete, Qt::NoModifier), std::nullopt);
    }

    void modifierStates() {
        QCOMPARE(carbonModifiersFromX11State(ShiftMask | LockMask), 512);
        QCOMPARE(carbonModifiersFromX11State(ControlMask | Mod2Mask), 4096);
        QCOMPARE(carbonModifiersFromX11State(Mod1Mask | Mod4Mask), 2048 | 256);
        QCOMPARE(carbonModifiersFromX11State(LockMask | Mod2Mask | Mod3Mask | Mod5Mask | Button1Mask), 0);
        QCOMPARE(carbonModifiersFromQt(Qt::MetaModifier | Qt::AltModifier), 256 | 2048);
        QCOMPARE(carbonModifiersFromQt(Qt::ControlModifier | Qt::ShiftModifier | Qt::KeypadModifier),
                 4096 | 512);
    }

    // Every stored mask grabs exactly its keys, and a press of them under any lock
    // state reads back as the same mask.
    void carbonMaskRoundTripsThroughX11() {
        const int bits[] = {256, 512, 2048, 4096};
        for (int combination = 0; combination < 16; ++combination) {
            int mask = 0;
            for (int i = 0; i < 4; ++i)
                mask |= (combination >> i & 1) ? bits[i] : 0;
            const quint16 state = x11StateFromCarbonModifiers(mask | 1024 | 1);
            QCOMPARE(state & ~(ShiftMask | ControlMask | Mod1Mask | Mod4Mask), 0);
            for (quint16 locks : kLockStateVariants)
                QCOMPARE(carbonModifiersFromX11State(state | locks), mask);
        }
        QCOMPARE(x11StateFromCarbonModifiers(256), quint16(Mod4Mask));
    }
};

QTEST_GUILESS_MAIN(TestLinuxKeyMap)
#include "tst_linux_key_map.moc"
