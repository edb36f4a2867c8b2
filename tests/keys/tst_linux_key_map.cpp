#include "keys/KeyTable.h"
#include "keys/LinuxKeyMap.h"

#include <QTest>

// Keysyms and state bits come from the X11 headers as an independent check of the
// table's constants; nothing is linked.
#include <X11/X.h>
#include <X11/keysym.h>

using namespace LinuxKeyMap;
using KeysymsPerModifier = std::array<QList<quint32>, 8>;
Q_DECLARE_METATYPE(KeysymsPerModifier)
Q_DECLARE_METATYPE(LinuxKeyMap::X11ModifierMap)

namespace {

// What a Debian 12 X server (and Xvfb) reports with the default us/pc105 layout.
KeysymsPerModifier debianDefault() {
    KeysymsPerModifier keysyms;
    keysyms[ShiftMapIndex] = {XK_Shift_L, XK_Shift_R};
    keysyms[LockMapIndex] = {XK_Caps_Lock};
    keysyms[ControlMapIndex] = {XK_Control_L, XK_Control_R};
    keysyms[Mod1MapIndex] = {XK_Alt_L, XK_Meta_L, XK_Alt_R, XK_Meta_R, XK_Meta_L};
    keysyms[Mod2MapIndex] = {XK_Num_Lock};
    keysyms[Mod4MapIndex] = {XK_Super_L, XK_Super_R, XK_Super_L, XK_Hyper_L};
    keysyms[Mod5MapIndex] = {XK_ISO_Level3_Shift, XK_Mode_switch};
    return keysyms;
}

const int kMaskBits[] = {256, 512, 2048, 4096};

} // namespace

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
                QCOMPARE(keyCodeForQtKey(entry.alternateQtKey, keypad | Qt::ShiftModifier), code);
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
                    {65, XK_KP_Decimal, XK_KP_Delete},
                    {87, XK_KP_5, XK_KP_Begin},
                    {117, XK_Delete, 0},
                    {48, XK_Tab, XK_ISO_Left_Tab},
                    {KeyTable::print, XK_Print, XK_Sys_Req},
                    {KeyTable::pause, XK_Pause, XK_Break}};
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

    // Qt reports Super+Shift+8 as "*" without the keypad flag and the keypad's "*" with it.
    void qtKeysKeepMainAndKeypadApart() {
        QCOMPARE(keyCodeForQtKey(Qt::Key_Asterisk, Qt::ShiftModifier), 28);
        QCOMPARE(keyCodeForQtKey(Qt::Key_Asterisk, Qt::KeypadModifier), 67);
        QCOMPARE(keyCodeForQtKey(Qt::Key_End, Qt::NoModifier), 119);
        QCOMPARE(keyCodeForQtKey(Qt::Key_End, Qt::KeypadModifier), 83);
        QCOMPARE(keyCodeForQtKey(Qt::Key_Delete, Qt::NoModifier), 117);
        QCOMPARE(keyCodeForQtKey(Qt::Key_Delete, Qt::KeypadModifier), 65);
    }

    // KDE's shortcut service takes and sends combinations as Qt key codes with Qt's bits.
    void qtCombinations_data() {
        QTest::addColumn<int>("keyCode");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("combination");
        QTest::newRow("Super+Shift+T")
            << 17 << (4096 | 512) << (Qt::META | Qt::SHIFT | Qt::Key_T).toCombined();
        QTest::newRow("Ctrl+Alt+T") << 17 << (256 | 2048) << (Qt::CTRL | Qt::ALT | Qt::Key_T).toCombined();
        QTest::newRow("Esc") << 53 << 0 << int(Qt::Key_Escape);
        QTest::newRow("Ctrl+keypad *")
            << 67 << 256
            << QKeyCombination(Qt::ControlModifier | Qt::KeypadModifier, Qt::Key_Asterisk).toCombined();
        QTest::newRow("Shift+8 stays the main key") << 28 << 512 << (Qt::SHIFT | Qt::Key_8).toCombined();
    }
    void qtCombinations() {
        QFETCH(int, keyCode);
        QFETCH(int, modifiers);
        QFETCH(int, combination);
        QCOMPARE(qtCombinationForHotkey(keyCode, modifiers), combination);
        QCOMPARE(hotkeyForQtCombination(combination), (Hotkey{keyCode, modifiers}));
    }

    void keysWithoutCounterpartAreRefused() {
        for (int combination :
             {0, (Qt::META | Qt::Key_Meta).toCombined(), (Qt::CTRL | Qt::Key_unknown).toCombined()})
            QCOMPARE(hotkeyForQtCombination(combination), std::nullopt);
        QCOMPARE(qtCombinationForHotkey(55, 4096), std::nullopt);
        for (int code : {55, 10, -1, 127, 1002})
            QVERIFY2(!x11KeysymForKeyCode(code) && !qtKeyForKeyCode(code), qPrintable(QString::number(code)));
        for (int keysym : {XK_Num_Lock, XK_Super_L, XK_Shift_L, 0})
            QCOMPARE(keyCodeForX11Keysym(quint32(keysym)), std::nullopt);
        QCOMPARE(keyCodeForQtKey(Qt::Key_Meta, Qt::NoModifier), std::nullopt);
    }

    void modifierMapFromServer_data() {
        QTest::addColumn<KeysymsPerModifier>("keysyms");
        QTest::addColumn<X11ModifierMap>("expected");
        QTest::newRow("debian default") << debianDefault() << X11ModifierMap{Mod1Mask, Mod4Mask, Mod2Mask, 0};

        KeysymsPerModifier superOnMod3 = debianDefault();
        superOnMod3[Mod4MapIndex] = {XK_Hyper_L};
        superOnMod3[Mod3MapIndex] = {XK_Super_L, XK_Super_R};
        QTest::newRow("super moved to mod3")
            << superOnMod3 << X11ModifierMap{Mod1Mask, Mod3Mask, Mod2Mask, 0};

        KeysymsPerModifier noSuper = debianDefault();
        noSuper[Mod4MapIndex] = {};
        QTest::newRow("no super key") << noSuper << X11ModifierMap{Mod1Mask, 0, Mod2Mask, 0};

        KeysymsPerModifier metaOnly = debianDefault();
        metaOnly[Mod1MapIndex] = {XK_Meta_L, XK_Meta_R};
        QTest::newRow("meta stands in for alt")
            << metaOnly << X11ModifierMap{Mod1Mask, Mod4Mask, Mod2Mask, 0};

        KeysymsPerModifier locksElsewhere = debianDefault();
        locksElsewhere[Mod2MapIndex] = {};
        locksElsewhere[Mod3MapIndex] = {XK_Scroll_Lock};
        locksElsewhere[Mod5MapIndex] = {XK_Num_Lock};
        QTest::newRow("num and scroll lock elsewhere")
            << locksElsewhere << X11ModifierMap{Mod1Mask, Mod4Mask, Mod5Mask, Mod3Mask};

        // Shift, Lock and Control have fixed meanings, whatever keys sit on them.
        KeysymsPerModifier superOnControl = debianDefault();
        superOnControl[ControlMapIndex].append(XK_Super_L);
        QTest::newRow("core modifiers are not scanned")
            << superOnControl << X11ModifierMap{Mod1Mask, Mod4Mask, Mod2Mask, 0};
    }
    void modifierMapFromServer() {
        QFETCH(KeysymsPerModifier, keysyms);
        QFETCH(X11ModifierMap, expected);
        QCOMPARE(X11ModifierMap::fromModifierKeysyms(keysyms), expected);
    }

    // A press under any lock state, or with a mouse button down, reads back as the same mask.
    void carbonMaskRoundTripsThroughX11_data() {
        QTest::addColumn<X11ModifierMap>("map");
        QTest::newRow("default") << X11ModifierMap{};
        QTest::newRow("super on mod3") << X11ModifierMap{Mod1Mask, Mod3Mask, Mod2Mask, 0};
        QTest::newRow("locks elsewhere") << X11ModifierMap{Mod1Mask, Mod4Mask, Mod5Mask, Mod3Mask};
    }
    void carbonMaskRoundTripsThroughX11() {
        QFETCH(X11ModifierMap, map);
        const quint16 meaningful = ShiftMask | ControlMask | map.alt | map.super;
        for (int combination = 0; combination < 16; ++combination) {
            int mask = 0;
            for (int i = 0; i < 4; ++i)
                mask |= (combination >> i & 1) ? kMaskBits[i] : 0;
            const std::optional<quint16> state = x11StateFromCarbonModifiers(mask | 1024 | 1, map);
            QVERIFY(state);
            QCOMPARE(*state & ~meaningful, 0);
            const QList<quint16> variants = lockStateVariants(*state, map);
            QCOMPARE(variants.first(), 0);
            for (quint16 locks : variants) {
                QCOMPARE(locks & meaningful, 0);
                QCOMPARE(carbonModifiersFromX11State(*state | locks, map), mask);
            }
            QCOMPARE(carbonModifiersFromX11State(*state | Button1Mask, map), mask);
        }
    }

    void fixedBits() {
        const X11ModifierMap map;
        QCOMPARE(x11StateFromCarbonModifiers(4096, map), quint16(Mod4Mask));   // control is Super
        QCOMPARE(x11StateFromCarbonModifiers(256, map), quint16(ControlMask)); // command is Ctrl
        QCOMPARE(carbonModifiersFromQt(Qt::MetaModifier | Qt::KeypadModifier), 4096);
        QCOMPARE(carbonModifiersFromQt(Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier),
                 256 | 2048 | 512);
        QCOMPARE(lockStateVariants(0, map), QList<quint16>({0, LockMask, Mod2Mask, LockMask | Mod2Mask}));
        QCOMPARE(lockStateVariants(0, X11ModifierMap{Mod1Mask, Mod4Mask, Mod2Mask, Mod3Mask}).size(), 8);
        // No key gives Super: a Super hotkey cannot be grabbed, a Ctrl one still can.
        const X11ModifierMap noSuper{Mod1Mask, 0, Mod2Mask, 0};
        QCOMPARE(x11StateFromCarbonModifiers(4096, noSuper), std::nullopt);
        QCOMPARE(x11StateFromCarbonModifiers(256 | 512, noSuper), quint16(ControlMask | ShiftMask));
    }
};

QTEST_GUILESS_MAIN(TestLinuxKeyMap)
#include "tst_linux_key_map.moc"
