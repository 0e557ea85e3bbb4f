#include "platform/QtKeyEvents.h"

#include <QHash>
#include <QKeyEvent>

namespace platform {

namespace {

// Virtual key codes of the key positions, US layout.
const QHash<int, quint16>& mainKeys()
{
    static const QHash<int, quint16> table{
        {Qt::Key_A, 0x00}, {Qt::Key_S, 0x01}, {Qt::Key_D, 0x02}, {Qt::Key_F, 0x03}, {Qt::Key_H, 0x04},
        {Qt::Key_G, 0x05}, {Qt::Key_Z, 0x06}, {Qt::Key_X, 0x07}, {Qt::Key_C, 0x08}, {Qt::Key_V, 0x09},
        {Qt::Key_B, 0x0B}, {Qt::Key_Q, 0x0C}, {Qt::Key_W, 0x0D}, {Qt::Key_E, 0x0E}, {Qt::Key_R, 0x0F},
        {Qt::Key_Y, 0x10}, {Qt::Key_T, 0x11}, {Qt::Key_O, 0x1F}, {Qt::Key_U, 0x20}, {Qt::Key_I, 0x22},
        {Qt::Key_P, 0x23}, {Qt::Key_L, 0x25}, {Qt::Key_J, 0x26}, {Qt::Key_K, 0x28}, {Qt::Key_N, 0x2D},
        {Qt::Key_M, 0x2E},
        // Digits and the symbols Shift gives on the same keys.
        {Qt::Key_1, 0x12}, {Qt::Key_Exclam, 0x12}, {Qt::Key_2, 0x13}, {Qt::Key_At, 0x13},
        {Qt::Key_3, 0x14}, {Qt::Key_NumberSign, 0x14}, {Qt::Key_4, 0x15}, {Qt::Key_Dollar, 0x15},
        {Qt::Key_5, 0x17}, {Qt::Key_Percent, 0x17}, {Qt::Key_6, 0x16}, {Qt::Key_AsciiCircum, 0x16},
        {Qt::Key_7, 0x1A}, {Qt::Key_Ampersand, 0x1A}, {Qt::Key_8, 0x1C}, {Qt::Key_Asterisk, 0x1C},
        {Qt::Key_9, 0x19}, {Qt::Key_ParenLeft, 0x19}, {Qt::Key_0, 0x1D}, {Qt::Key_ParenRight, 0x1D},
        {Qt::Key_Minus, 0x1B}, {Qt::Key_Underscore, 0x1B}, {Qt::Key_Equal, 0x18}, {Qt::Key_Plus, 0x18},
        {Qt::Key_BracketLeft, 0x21}, {Qt::Key_BraceLeft, 0x21}, {Qt::Key_BracketRight, 0x1E},
        {Qt::Key_BraceRight, 0x1E}, {Qt::Key_Backslash, 0x2A}, {Qt::Key_Bar, 0x2A},
        {Qt::Key_Semicolon, 0x29}, {Qt::Key_Colon, 0x29}, {Qt::Key_Apostrophe, 0x27},
        {Qt::Key_QuoteDbl, 0x27}, {Qt::Key_Comma, 0x2B}, {Qt::Key_Less, 0x2B}, {Qt::Key_Period, 0x2F},
        {Qt::Key_Greater, 0x2F}, {Qt::Key_Slash, 0x2C}, {Qt::Key_Question, 0x2C},
        {Qt::Key_QuoteLeft, 0x32}, {Qt::Key_AsciiTilde, 0x32},
        // Keys that type no character.
        {Qt::Key_Return, 0x24}, {Qt::Key_Enter, 0x4C}, {Qt::Key_Tab, 0x30}, {Qt::Key_Backtab, 0x30},
        {Qt::Key_Space, 0x31}, {Qt::Key_Backspace, 0x33}, {Qt::Key_Escape, 0x35}, {Qt::Key_Clear, 0x47},
        {Qt::Key_Insert, 0x72}, {Qt::Key_Help, 0x72}, {Qt::Key_Home, 0x73}, {Qt::Key_PageUp, 0x74},
        {Qt::Key_Delete, 0x75}, {Qt::Key_End, 0x77}, {Qt::Key_PageDown, 0x79}, {Qt::Key_Left, 0x7B},
        {Qt::Key_Right, 0x7C}, {Qt::Key_Down, 0x7D}, {Qt::Key_Up, 0x7E},
        {Qt::Key_VolumeUp, 0x48}, {Qt::Key_VolumeDown, 0x49}, {Qt::Key_VolumeMute, 0x4A},
        {Qt::Key_F1, 0x7A}, {Qt::Key_F2, 0x78}, {Qt::Key_F3, 0x63}, {Qt::Key_F4, 0x76}, {Qt::Key_F5, 0x60},
        {Qt::Key_F6, 0x61}, {Qt::Key_F7, 0x62}, {Qt::Key_F8, 0x64}, {Qt::Key_F9, 0x65}, {Qt::Key_F10, 0x6D},
        {Qt::Key_F11, 0x67}, {Qt::Key_F12, 0x6F}, {Qt::Key_F13, 0x69}, {Qt::Key_F14, 0x6B},
        {Qt::Key_F15, 0x71}, {Qt::Key_F16, 0x6A}, {Qt::Key_F17, 0x40}, {Qt::Key_F18, 0x4F},
        {Qt::Key_F19, 0x50}, {Qt::Key_F20, 0x5A},
        // Modifier keys.
        {Qt::Key_Meta, 0x37}, {Qt::Key_Super_L, 0x37}, {Qt::Key_Super_R, 0x36}, {Qt::Key_Shift, 0x38},
        {Qt::Key_CapsLock, 0x39}, {Qt::Key_Alt, 0x3A}, {Qt::Key_AltGr, 0x3D}, {Qt::Key_Control, 0x3B},
    };
    return table;
}

const QHash<int, quint16>& keypadKeys()
{
    static const QHash<int, quint16> table{
        {Qt::Key_0, 0x52}, {Qt::Key_1, 0x53}, {Qt::Key_2, 0x54}, {Qt::Key_3, 0x55}, {Qt::Key_4, 0x56},
        {Qt::Key_5, 0x57}, {Qt::Key_6, 0x58}, {Qt::Key_7, 0x59}, {Qt::Key_8, 0x5B}, {Qt::Key_9, 0x5C},
        {Qt::Key_Period, 0x41}, {Qt::Key_Comma, 0x41}, {Qt::Key_Asterisk, 0x43}, {Qt::Key_Plus, 0x45},
        {Qt::Key_Slash, 0x4B}, {Qt::Key_Minus, 0x4E}, {Qt::Key_Equal, 0x51}, {Qt::Key_Enter, 0x4C},
    };
    return table;
}

// The flag a modifier key sets while it is held; 0 for other keys.
EventFlags modifierKeyFlag(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Shift:
        return EventFlag::shift;
    case Qt::Key_Control:
        return EventFlag::control;
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
        return EventFlag::option;
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
        return EventFlag::command;
    case Qt::Key_CapsLock:
        return EventFlag::capsLock;
    default:
        return 0;
    }
}

bool isFunctionKey(int qtKey)
{
    return qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F20;
}

bool isArrowKey(int qtKey)
{
    return qtKey == Qt::Key_Left || qtKey == Qt::Key_Right || qtKey == Qt::Key_Up || qtKey == Qt::Key_Down;
}

bool isNavigationKey(int qtKey)
{
    return qtKey == Qt::Key_Home || qtKey == Qt::Key_End || qtKey == Qt::Key_PageUp || qtKey == Qt::Key_PageDown
        || qtKey == Qt::Key_Delete || qtKey == Qt::Key_Insert || qtKey == Qt::Key_Help;
}

// The flags the real keyboard adds for the key itself.
EventFlags keyFlags(int qtKey, bool keypad)
{
    EventFlags flags = 0;
    if (isFunctionKey(qtKey) || isArrowKey(qtKey) || isNavigationKey(qtKey))
        flags |= EventFlag::secondaryFn;
    if (isArrowKey(qtKey) || (keypad && keypadKeys().contains(qtKey)))
        flags |= EventFlag::numericPad;
    return flags;
}

} // namespace

std::optional<quint16> QtKeyEvents::virtualKeyCode(int qtKey, bool keypad)
{
    if (keypad) {
        const auto found = keypadKeys().constFind(qtKey);
        if (found != keypadKeys().constEnd())
            return *found;
    }
    const auto found = mainKeys().constFind(qtKey);
    if (found == mainKeys().constEnd())
        return std::nullopt;
    return *found;
}

EventFlags QtKeyEvents::eventFlags(Qt::KeyboardModifiers modifiers)
{
    EventFlags flags = 0;
    if (modifiers & Qt::ShiftModifier)
        flags |= EventFlag::shift;
    if (modifiers & Qt::ControlModifier)
        flags |= EventFlag::control;
    if (modifiers & (Qt::AltModifier | Qt::GroupSwitchModifier))
        flags |= EventFlag::option;
    if (modifiers & Qt::MetaModifier)
        flags |= EventFlag::command;
    if (modifiers & Qt::KeypadModifier)
        flags |= EventFlag::numericPad;
    return flags;
}

std::optional<KeyEvent> QtKeyEvents::fromQt(const QKeyEvent& event)
{
    const bool press = event.type() == QEvent::KeyPress || event.type() == QEvent::ShortcutOverride;
    if (!press && event.type() != QEvent::KeyRelease)
        return std::nullopt;
    const int key = event.key();
    const bool keypad = event.modifiers().testFlag(Qt::KeypadModifier);
    const std::optional<quint16> code = virtualKeyCode(key, keypad);
    if (!code)
        return std::nullopt;

    KeyEvent translated;
    translated.keyCode = *code;
    translated.flags = eventFlags(event.modifiers()) | keyFlags(key, keypad);
    if (const EventFlags own = modifierKeyFlag(key)) {
        // Qt reports the modifiers from before or after the change depending
        // on the window system; the key itself says which way it went.
        translated.type = KeyEventType::flagsChanged;
        translated.flags = press ? (translated.flags | own) : (translated.flags & ~own);
        return translated;
    }
    translated.type = press ? KeyEventType::keyDown : KeyEventType::keyUp;
    translated.characters = event.text();
    return translated;
}

} // namespace platform
