#include "app/KeyTable.h"
#include "app/LinuxKeyMap.h"

#include <QTest>

// Only the keysym values are taken from the X11 headers, as an independent check
// of the constants in the key table; nothing is linked.
#include <X11/X.h>
#include <X11/keysym.h>

using namespace LinuxKeyMap;

Q_DECLARE_METATYPE(Qt::KeyboardModifiers)

class TestLinuxKeyMap : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void namedKeysRoundTrip_data() {
        QTest::addColumn<int>("keyCode");
        QTest::addColumn<quint32>("keysym");
        struct Row {
            int keyCode;
            quint32 keysym;
        };
        const Row rows[] = {
            {0, XK_a},
            {1, XK_s},
            {2, XK_d},
            {3, XK_f},
            {4, XK_h},
            {5, XK_g},
            {6, XK_z},
            {7, XK_x},
            {8, XK_c},
            {9, XK_v},
            {11, XK_b},
            {12, XK_q},
            {13, XK_w},
            {14, XK_e},
            {15, XK_r},
            {16, XK_y},
            {17, XK_t},
            {31, XK_o},
            {32, XK_u},
            {34, XK_i},
            {35, XK_p},
            {37, XK_l},
            {38, XK_j},
            {40, XK_k},
            {45, XK_n},
            {46, XK_m},
            {18, XK_1},
            {19, XK_2},
            {20, XK_3},
            {21, XK_4},
            {22, XK_6},
            {23, XK_5},
            {25, XK_9},
            {26, XK_7},
            {28, XK_8},
            {29, XK_0},
            {24, XK_equal},
            {27, XK_minus},
            {30, XK_bracketright},
            {33, XK_bracketleft},
            {39, XK_apostrophe},
            {41, XK_semicolon},
            {42, XK_backslash},
            {43, XK_comma},
            {44, XK_slash},
            {47, XK_period},
            {50, XK_grave},
            {65, XK_KP_Decimal},
            {67, XK_KP_Multiply},
            {69, XK_KP_Add},
            {71, XK_Clear},
            {75, XK_KP_Divide},
            {76, XK_KP_Enter},
            {78, XK_KP_Subtract},
            {81, XK_KP_Equal},
            {82, XK_KP_0},
            {83, XK_KP_1},
            {84, XK_KP_2},
            {85, XK_KP_3},
            {86, XK_KP_4},
            {87, XK_KP_5},
            {88, XK_KP_6},
            {89, XK_KP_7},
            {91, XK_KP_8},
            {92, XK_KP_9},
            {122, XK_F1},
            {120, XK_F2},
            {99, XK_F3},
            {118, XK_F4},
            {96, XK_F5},
            {97, XK_F6},
            {98, XK_F7},
            {100, XK_F8},
            {101, XK_F9},
            {109, XK_F10},
            {103, XK_F11},
            {111, XK_F12},
            {49, XK_space},
            {36, XK_Return},
            {51, XK_BackSpace},
            {48, XK_Tab},
            {53, XK_Escape},
            {123, XK_Left},
            {124, XK_Right},
            {125, XK_Down},
            {126, XK_Up},
        };
        QCOMPARE(std::size(rows), KeyTable::entries().size());
        for (const Row& row : rows)
            QTest::addRow("%d %s", row.keyCode, qPrintable(KeyTable::find(row.keyCode)->name.toString()))
                << row.keyCode << row.keysym;
    }
    void namedKeysRoundTrip() {
        QFETCH(int, keyCode);
        QFETCH(quint32, keysym);
        QCOMPARE(x11KeysymForKeyCode(keyCode), std::optional<quint32>(keysym));
        QCOMPARE(keyCodeForX11Keysym(keysym), std::optional<int>(keyCode));

        const std::optional<QtKey> qt = qtKeyForKeyCode(keyCode);
        QVERIFY(qt.has_value());
        const Qt::KeyboardModifiers keypad = qt->keypad ? Qt::KeypadModifier : Qt::NoModifier;
        QCOMPARE(keyCodeForQtKey(qt->key, keypad), std::optional<int>(keyCode));
        // Other modifiers held with the key change nothing.
        QCOMPARE(keyCodeForQtKey(qt->key, keypad | Qt::ShiftModifier | Qt::MetaModifier),
                 std::optional<int>(keyCode));

        const KeyTableEntry* entry = KeyTable::find(keyCode);
        if (entry->alternateX11Keysym)
            QCOMPARE(keyCodeForX11Keysym(entry->alternateX11Keysym), std::optional<int>(keyCode));
        if (entry->alternateQtKey)
            QCOMPARE(keyCodeForQtKey(entry->alternateQtKey, keypad), std::optional<int>(keyCode));
    }

    void x11OtherStates_data() {
        QTest::addColumn<quint32>("keysym");
        QTest::addColumn<int>("keyCode");
        QTest::newRow("shifted letter") << quint32(XK_T) << 17;
        QTest::newRow("keypad 1, Num Lock off") << quint32(XK_KP_End) << 83;
        QTest::newRow("keypad 5, Num Lock off") << quint32(XK_KP_Begin) << 87;
        QTest::newRow("keypad decimal, Num Lock off") << quint32(XK_KP_Delete) << 65;
        QTest::newRow("shift tab") << quint32(XK_ISO_Left_Tab) << 48;
        QTest::newRow("main Left is the arrow") << quint32(XK_Left) << 123;
        QTest::newRow("Clear") << quint32(XK_Clear) << 71;
    }
    void x11OtherStates() {
        QFETCH(quint32, keysym);
        QFETCH(int, keyCode);
        QCOMPARE(keyCodeForX11Keysym(keysym), std::optional<int>(keyCode));
    }

    void qtKeys_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<int>("keyCode"); // -1: none
        QTest::newRow("digit row 0") << int(Qt::Key_0) << Qt::KeyboardModifiers() << 29;
        QTest::newRow("keypad 0") << int(Qt::Key_0) << Qt::KeyboardModifiers(Qt::KeypadModifier) << 82;
        QTest::newRow("keypad 1, Num Lock off")
            << int(Qt::Key_End) << Qt::KeyboardModifiers(Qt::KeypadModifier) << 83;
        QTest::newRow("main End has no code") << int(Qt::Key_End) << Qt::KeyboardModifiers() << -1;
        QTest::newRow("Clear key") << int(Qt::Key_Clear) << Qt::KeyboardModifiers() << 71;
        QTest::newRow("keypad 5, Num Lock off")
            << int(Qt::Key_Clear) << Qt::KeyboardModifiers(Qt::KeypadModifier) << 87;
        QTest::newRow("keypad Enter")
            << int(Qt::Key_Enter) << Qt::KeyboardModifiers(Qt::KeypadModifier) << 76;
        QTest::newRow("Return") << int(Qt::Key_Return) << Qt::KeyboardModifiers() << 36;
        QTest::newRow("shift tab") << int(Qt::Key_Backtab) << Qt::KeyboardModifiers(Qt::ShiftModifier) << 48;
        QTest::newRow("Backspace is Delete") << int(Qt::Key_Backspace) << Qt::KeyboardModifiers() << 51;
        QTest::newRow("forward Delete has no code") << int(Qt::Key_Delete) << Qt::KeyboardModifiers() << -1;
        QTest::newRow("shifted symbol")
            << int(Qt::Key_Exclam) << Qt::KeyboardModifiers(Qt::ShiftModifier) << -1;
        QTest::newRow("F13") << int(Qt::Key_F13) << Qt::KeyboardModifiers() << -1;
    }
    void qtKeys() {
        QFETCH(int, key);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(int, keyCode);
        QCOMPARE(keyCodeForQtKey(key, modifiers), keyCode < 0 ? std::nullopt : std::optional<int>(keyCode));
    }

    void unnamedCodesAreNotRegistrable_data() {
        QTest::addColumn<int>("keyCode");
        for (int code : {55, 56, 58, 59, 10, 105, 114, 115, 117, 119, 121, -1, 127, 4096})
            QTest::addRow("%d", code) << code;
    }
    void unnamedCodesAreNotRegistrable() {
        QFETCH(int, keyCode);
        QCOMPARE(x11KeysymForKeyCode(keyCode), std::nullopt);
        QVERIFY(!qtKeyForKeyCode(keyCode));
    }

    void unknownKeysymsHaveNoCode() {
        for (quint32 keysym : {quint32(XK_End), quint32(XK_Num_Lock), quint32(XK_Super_L), quint32(XK_F13),
                               quint32(XK_exclam), quint32(0)})
            QCOMPARE(keyCodeForX11Keysym(keysym), std::nullopt);
    }

    void x11State_data() {
        QTest::addColumn<int>("state");
        QTest::addColumn<int>("expected");
        QTest::newRow("Shift with Caps Lock") << int(ShiftMask | LockMask) << 512;
        QTest::newRow("Ctrl with Num Lock") << int(ControlMask | Mod2Mask) << 4096;
        QTest::newRow("Alt") << int(Mod1Mask) << 2048;
        QTest::newRow("Super") << int(Mod4Mask) << 256;
        QTest::newRow("locks, Mod3, Mod5, buttons only")
            << int(LockMask | Mod2Mask | Mod3Mask | Mod5Mask | Button1Mask | Button3Mask) << 0;
        QTest::newRow("all four with both locks")
            << int(ShiftMask | ControlMask | Mod1Mask | Mod4Mask | LockMask | Mod2Mask) << 6912;
    }
    void x11State() {
        QFETCH(int, state);
        QFETCH(int, expected);
        QCOMPARE(carbonModifiersFromX11State(quint16(state)), expected);
    }

    void qtModifiers_data() {
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<int>("expected");
        QTest::newRow("none") << Qt::KeyboardModifiers() << 0;
        QTest::newRow("Ctrl") << Qt::KeyboardModifiers(Qt::ControlModifier) << 4096;
        QTest::newRow("Alt") << Qt::KeyboardModifiers(Qt::AltModifier) << 2048;
        QTest::newRow("Shift") << Qt::KeyboardModifiers(Qt::ShiftModifier) << 512;
        QTest::newRow("Meta is command") << Qt::KeyboardModifiers(Qt::MetaModifier) << 256;
        QTest::newRow("keypad and group switch ignored")
            << (Qt::KeypadModifier | Qt::GroupSwitchModifier | Qt::ControlModifier) << 4096;
        QTest::newRow("all four") << (Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier |
                                      Qt::MetaModifier)
                                  << 6912;
    }
    void qtModifiers() {
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(int, expected);
        QCOMPARE(carbonModifiersFromQt(modifiers), expected);
    }

    // Every stored mask grabs exactly its keys, and a press of them under any lock
    // state reads back as the same mask.
    void carbonMaskRoundTripsThroughX11() {
        const int bits[] = {256, 512, 2048, 4096};
        for (int combination = 0; combination < 16; ++combination) {
            int mask = 0;
            for (int i = 0; i < 4; ++i)
                mask |= (combination >> i & 1) ? bits[i] : 0;
            const quint16 state = x11StateFromCarbonModifiers(mask);
            QCOMPARE(state & (LockMask | Mod2Mask), 0);
            for (quint16 locks : kLockStateVariants)
                QCOMPARE(carbonModifiersFromX11State(state | locks), mask);
        }
        QCOMPARE(x11StateFromCarbonModifiers(256), quint16(Mod4Mask));
        QCOMPARE(x11StateFromCarbonModifiers(4096 | 2048), quint16(ControlMask | Mod1Mask));
        // Caps-lock (1024) and other bits without a meaning grab nothing extra.
        QCOMPARE(x11StateFromCarbonModifiers(6912 | 1024 | 1 | 65536), x11StateFromCarbonModifiers(6912));
    }
};

QTEST_GUILESS_MAIN(TestLinuxKeyMap)
#include "tst_linux_key_map.moc"
