#include "keys/KeyTable.h"

#include <QtCore/qnamespace.h>

#include <array>

namespace {

// Keypad keys share their names with the main keyboard. Qt reports KP_Equal
// without the keypad modifier, so a real keypad "=" reaches the recorder as the
// main "="; both carry the same name, and the keypad row stays distinct here.
// Main keys carry their shifted US symbol as the other state, because X11 and
// Qt report Super+Shift+1 as "!".
constexpr std::array<KeyTableEntry, 102> kEntries{{
    {0, u"A", 0x0061, Qt::Key_A, false},                                         // XK_a
    {1, u"S", 0x0073, Qt::Key_S, false},                                         // XK_s
    {2, u"D", 0x0064, Qt::Key_D, false},                                         // XK_d
    {3, u"F", 0x0066, Qt::Key_F, false},                                         // XK_f
    {4, u"H", 0x0068, Qt::Key_H, false},                                         // XK_h
    {5, u"G", 0x0067, Qt::Key_G, false},                                         // XK_g
    {6, u"Z", 0x007a, Qt::Key_Z, false},                                         // XK_z
    {7, u"X", 0x0078, Qt::Key_X, false},                                         // XK_x
    {8, u"C", 0x0063, Qt::Key_C, false},                                         // XK_c
    {9, u"V", 0x0076, Qt::Key_V, false},                                         // XK_v
    {11, u"B", 0x0062, Qt::Key_B, false},                                        // XK_b
    {12, u"Q", 0x0071, Qt::Key_Q, false},                                        // XK_q
    {13, u"W", 0x0077, Qt::Key_W, false},                                        // XK_w
    {14, u"E", 0x0065, Qt::Key_E, false},                                        // XK_e
    {15, u"R", 0x0072, Qt::Key_R, false},                                        // XK_r
    {16, u"Y", 0x0079, Qt::Key_Y, false},                                        // XK_y
    {17, u"T", 0x0074, Qt::Key_T, false},                                        // XK_t
    {31, u"O", 0x006f, Qt::Key_O, false},                                        // XK_o
    {32, u"U", 0x0075, Qt::Key_U, false},                                        // XK_u
    {34, u"I", 0x0069, Qt::Key_I, false},                                        // XK_i
    {35, u"P", 0x0070, Qt::Key_P, false},                                        // XK_p
    {37, u"L", 0x006c, Qt::Key_L, false},                                        // XK_l
    {38, u"J", 0x006a, Qt::Key_J, false},                                        // XK_j
    {40, u"K", 0x006b, Qt::Key_K, false},                                        // XK_k
    {45, u"N", 0x006e, Qt::Key_N, false},                                        // XK_n
    {46, u"M", 0x006d, Qt::Key_M, false},                                        // XK_m
    {18, u"1", 0x0031, Qt::Key_1, false, 0x0021, Qt::Key_Exclam},                // XK_1
    {19, u"2", 0x0032, Qt::Key_2, false, 0x0040, Qt::Key_At},                    // XK_2
    {20, u"3", 0x0033, Qt::Key_3, false, 0x0023, Qt::Key_NumberSign},            // XK_3
    {21, u"4", 0x0034, Qt::Key_4, false, 0x0024, Qt::Key_Dollar},                // XK_4
    {22, u"6", 0x0036, Qt::Key_6, false, 0x005e, Qt::Key_AsciiCircum},           // XK_6
    {23, u"5", 0x0035, Qt::Key_5, false, 0x0025, Qt::Key_Percent},               // XK_5
    {25, u"9", 0x0039, Qt::Key_9, false, 0x0028, Qt::Key_ParenLeft},             // XK_9
    {26, u"7", 0x0037, Qt::Key_7, false, 0x0026, Qt::Key_Ampersand},             // XK_7
    {28, u"8", 0x0038, Qt::Key_8, false, 0x002a, Qt::Key_Asterisk},              // XK_8
    {29, u"0", 0x0030, Qt::Key_0, false, 0x0029, Qt::Key_ParenRight},            // XK_0
    {24, u"=", 0x003d, Qt::Key_Equal, false, 0x002b, Qt::Key_Plus},              // XK_equal
    {27, u"-", 0x002d, Qt::Key_Minus, false, 0x005f, Qt::Key_Underscore},        // XK_minus
    {30, u"]", 0x005d, Qt::Key_BracketRight, false, 0x007d, Qt::Key_BraceRight}, // XK_bracketright
    {33, u"[", 0x005b, Qt::Key_BracketLeft, false, 0x007b, Qt::Key_BraceLeft},   // XK_bracketleft
    {39, u"'", 0x0027, Qt::Key_Apostrophe, false, 0x0022, Qt::Key_QuoteDbl},     // XK_apostrophe
    {41, u";", 0x003b, Qt::Key_Semicolon, false, 0x003a, Qt::Key_Colon},         // XK_semicolon
    {42, u"\\", 0x005c, Qt::Key_Backslash, false, 0x007c, Qt::Key_Bar},          // XK_backslash
    {43, u",", 0x002c, Qt::Key_Comma, false, 0x003c, Qt::Key_Less},              // XK_comma
    {44, u"/", 0x002f, Qt::Key_Slash, false, 0x003f, Qt::Key_Question},          // XK_slash
    {47, u".", 0x002e, Qt::Key_Period, false, 0x003e, Qt::Key_Greater},          // XK_period
    {50, u"`", 0x0060, Qt::Key_QuoteLeft, false, 0x007e, Qt::Key_AsciiTilde},    // XK_grave
    {65, u".", 0xffae, Qt::Key_Period, true, 0xff9f, Qt::Key_Delete},            // XK_KP_Decimal
    {67, u"*", 0xffaa, Qt::Key_Asterisk, true},                                  // XK_KP_Multiply
    {69, u"+", 0xffab, Qt::Key_Plus, true},                                      // XK_KP_Add
    {71, u"Clear", 0xff0b, Qt::Key_Clear, false},                                // XK_Clear
    {75, u"/", 0xffaf, Qt::Key_Slash, true},                                     // XK_KP_Divide
    {76, u"Enter", 0xff8d, Qt::Key_Enter, true},                                 // XK_KP_Enter
    {78, u"-", 0xffad, Qt::Key_Minus, true},                                     // XK_KP_Subtract
    {81, u"=", 0xffbd, Qt::Key_Equal, true},                                     // XK_KP_Equal
    {82, u"0", 0xffb0, Qt::Key_0, true, 0xff9e, Qt::Key_Insert},                 // XK_KP_0
    {83, u"1", 0xffb1, Qt::Key_1, true, 0xff9c, Qt::Key_End},                    // XK_KP_1
    {84, u"2", 0xffb2, Qt::Key_2, true, 0xff99, Qt::Key_Down},                   // XK_KP_2
    {85, u"3", 0xffb3, Qt::Key_3, true, 0xff9b, Qt::Key_PageDown},               // XK_KP_3
    {86, u"4", 0xffb4, Qt::Key_4, true, 0xff96, Qt::Key_Left},                   // XK_KP_4
    {87, u"5", 0xffb5, Qt::Key_5, true, 0xff9d, Qt::Key_Clear},                  // XK_KP_5
    {88, u"6", 0xffb6, Qt::Key_6, true, 0xff98, Qt::Key_Right},                  // XK_KP_6
    {89, u"7", 0xffb7, Qt::Key_7, true, 0xff95, Qt::Key_Home},                   // XK_KP_7
    {91, u"8", 0xffb8, Qt::Key_8, true, 0xff97, Qt::Key_Up},                     // XK_KP_8
    {92, u"9", 0xffb9, Qt::Key_9, true, 0xff9a, Qt::Key_PageUp},                 // XK_KP_9
    {122, u"F1", 0xffbe, Qt::Key_F1, false},                                     // XK_F1
    {120, u"F2", 0xffbf, Qt::Key_F2, false},                                     // XK_F2
    {99, u"F3", 0xffc0, Qt::Key_F3, false},                                      // XK_F3
    {118, u"F4", 0xffc1, Qt::Key_F4, false},                                     // XK_F4
    {96, u"F5", 0xffc2, Qt::Key_F5, false},                                      // XK_F5
    {97, u"F6", 0xffc3, Qt::Key_F6, false},                                      // XK_F6
    {98, u"F7", 0xffc4, Qt::Key_F7, false},                                      // XK_F7
    {100, u"F8", 0xffc5, Qt::Key_F8, false},                                     // XK_F8
    {101, u"F9", 0xffc6, Qt::Key_F9, false},                                     // XK_F9
    {109, u"F10", 0xffc7, Qt::Key_F10, false},                                   // XK_F10
    {103, u"F11", 0xffc8, Qt::Key_F11, false},                                   // XK_F11
    {111, u"F12", 0xffc9, Qt::Key_F12, false},                                   // XK_F12
    {49, u"Space", 0x0020, Qt::Key_Space, false},                                // XK_space
    {36, u"Enter", 0xff0d, Qt::Key_Return, false},                               // XK_Return
    {51, u"Backspace", 0xff08, Qt::Key_Backspace, false},                        // XK_BackSpace
    {48, u"Tab", 0xff09, Qt::Key_Tab, false, 0xfe20, Qt::Key_Backtab},           // XK_Tab
    {53, u"Esc", 0xff1b, Qt::Key_Escape, false},                                 // XK_Escape
    {123, u"←", 0xff51, Qt::Key_Left, false},                                    // XK_Left
    {124, u"→", 0xff53, Qt::Key_Right, false},                                   // XK_Right
    {125, u"↓", 0xff54, Qt::Key_Down, false},                                    // XK_Down
    {126, u"↑", 0xff52, Qt::Key_Up, false},                                      // XK_Up
    // Navigation and function keys: the stored code where the stored table has one
    // (Insert shares Help's code), otherwise codes from 1000 up, clear of that table.
    {115, u"Home", 0xff50, Qt::Key_Home, false},          // XK_Home
    {119, u"End", 0xff57, Qt::Key_End, false},            // XK_End
    {116, u"Page Up", 0xff55, Qt::Key_PageUp, false},     // XK_Page_Up
    {121, u"Page Down", 0xff56, Qt::Key_PageDown, false}, // XK_Page_Down
    {117, u"Delete", 0xffff, Qt::Key_Delete, false},      // XK_Delete
    {114, u"Insert", 0xff63, Qt::Key_Insert, false},      // XK_Insert
    {105, u"F13", 0xffca, Qt::Key_F13, false},            // XK_F13
    {107, u"F14", 0xffcb, Qt::Key_F14, false},            // XK_F14
    {113, u"F15", 0xffcc, Qt::Key_F15, false},            // XK_F15
    {106, u"F16", 0xffcd, Qt::Key_F16, false},            // XK_F16
    {64, u"F17", 0xffce, Qt::Key_F17, false},             // XK_F17
    {79, u"F18", 0xffcf, Qt::Key_F18, false},             // XK_F18
    {80, u"F19", 0xffd0, Qt::Key_F19, false},             // XK_F19
    {90, u"F20", 0xffd1, Qt::Key_F20, false},             // XK_F20
    // Alt+Print gives Sys_Req and Ctrl+Pause gives Break on PC layouts.
    {KeyTable::print, u"Print", 0xff61, Qt::Key_Print, false, 0xff15, Qt::Key_SysReq}, // XK_Print
    {KeyTable::pause, u"Pause", 0xff13, Qt::Key_Pause, false, 0xff6b},                 // XK_Pause
}};

} // namespace

namespace KeyTable {

std::span<const KeyTableEntry> entries() {
    return kEntries;
}

const KeyTableEntry* find(int keyCode) {
    for (const KeyTableEntry& entry : kEntries) {
        if (entry.keyCode == keyCode)
            return &entry;
    }
    return nullptr;
}

} // namespace KeyTable
