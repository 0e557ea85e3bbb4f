#include "platform/QtKeyEvents.h"

#include "platform/KeyCodes.h"

#include <QHash>
#include <QKeyEvent>

namespace platform {

namespace {

// Virtual key codes of the key positions, US layout.
const QHash<int, quint16>& mainKeys()
{
    static const QHash<int, quint16> table{
        {Qt::Key_A, KeyCode::a}, {Qt::Key_S, KeyCode::s}, {Qt::Key_D, KeyCode::d}, {Qt::Key_F, KeyCode::f},
        {Qt::Key_H, KeyCode::h}, {Qt::Key_G, KeyCode::g}, {Qt::Key_Z, KeyCode::z}, {Qt::Key_X, KeyCode::x},
        {Qt::Key_C, KeyCode::c}, {Qt::Key_V, KeyCode::v}, {Qt::Key_B, KeyCode::b}, {Qt::Key_Q, KeyCode::q},
        {Qt::Key_W, KeyCode::w}, {Qt::Key_E, KeyCode::e}, {Qt::Key_R, KeyCode::r}, {Qt::Key_Y, KeyCode::y},
        {Qt::Key_T, KeyCode::t}, {Qt::Key_O, KeyCode::o}, {Qt::Key_U, KeyCode::u}, {Qt::Key_I, KeyCode::i},
        {Qt::Key_P, KeyCode::p}, {Qt::Key_L, KeyCode::l}, {Qt::Key_J, KeyCode::j}, {Qt::Key_K, KeyCode::k},
        {Qt::Key_N, KeyCode::n}, {Qt::Key_M, KeyCode::m},
        // Digits and the symbols Shift gives on the same keys.
        {Qt::Key_1, KeyCode::digit1}, {Qt::Key_Exclam, KeyCode::digit1}, {Qt::Key_2, KeyCode::digit2},
        {Qt::Key_At, KeyCode::digit2}, {Qt::Key_3, KeyCode::digit3}, {Qt::Key_NumberSign, KeyCode::digit3},
        {Qt::Key_4, KeyCode::digit4}, {Qt::Key_Dollar, KeyCode::digit4}, {Qt::Key_5, KeyCode::digit5},
        {Qt::Key_Percent, KeyCode::digit5}, {Qt::Key_6, KeyCode::digit6}, {Qt::Key_AsciiCircum, KeyCode::digit6},
        {Qt::Key_7, KeyCode::digit7}, {Qt::Key_Ampersand, KeyCode::digit7}, {Qt::Key_8, KeyCode::digit8},
        {Qt::Key_Asterisk, KeyCode::digit8}, {Qt::Key_9, KeyCode::digit9}, {Qt::Key_ParenLeft, KeyCode::digit9},
        {Qt::Key_0, KeyCode::digit0}, {Qt::Key_ParenRight, KeyCode::digit0}, {Qt::Key_Minus, KeyCode::minus},
        {Qt::Key_Underscore, KeyCode::minus}, {Qt::Key_Equal, KeyCode::equal}, {Qt::Key_Plus, KeyCode::equal},
        {Qt::Key_BracketLeft, KeyCode::leftBracket}, {Qt::Key_BraceLeft, KeyCode::leftBracket},
        {Qt::Key_BracketRight, KeyCode::rightBracket}, {Qt::Key_BraceRight, KeyCode::rightBracket},
        {Qt::Key_Backslash, KeyCode::backslash}, {Qt::Key_Bar, KeyCode::backslash},
        {Qt::Key_Semicolon, KeyCode::semicolon}, {Qt::Key_Colon, KeyCode::semicolon},
        {Qt::Key_Apostrophe, KeyCode::quote}, {Qt::Key_QuoteDbl, KeyCode::quote}, {Qt::Key_Comma, KeyCode::comma},
        {Qt::Key_Less, KeyCode::comma}, {Qt::Key_Period, KeyCode::period}, {Qt::Key_Greater, KeyCode::period},
        {Qt::Key_Slash, KeyCode::slash}, {Qt::Key_Question, KeyCode::slash}, {Qt::Key_QuoteLeft, KeyCode::grave},
        {Qt::Key_AsciiTilde, KeyCode::grave},
        // Keys that type no character.
        {Qt::Key_Return, KeyCode::returnKey}, {Qt::Key_Enter, KeyCode::keypadEnter}, {Qt::Key_Tab, KeyCode::tab},
        {Qt::Key_Backtab, KeyCode::tab}, {Qt::Key_Space, KeyCode::space}, {Qt::Key_Backspace, KeyCode::deleteKey},
        {Qt::Key_Escape, KeyCode::escape}, {Qt::Key_Clear, KeyCode::keypadClear}, {Qt::Key_Insert, KeyCode::help},
        {Qt::Key_Help, KeyCode::help}, {Qt::Key_Home, KeyCode::home}, {Qt::Key_PageUp, KeyCode::pageUp},
        {Qt::Key_Delete, KeyCode::forwardDelete}, {Qt::Key_End, KeyCode::end}, {Qt::Key_PageDown, KeyCode::pageDown},
        {Qt::Key_Left, KeyCode::leftArrow}, {Qt::Key_Right, KeyCode::rightArrow}, {Qt::Key_Down, KeyCode::downArrow},
        {Qt::Key_Up, KeyCode::upArrow}, {Qt::Key_VolumeUp, KeyCode::volumeUp},
        {Qt::Key_VolumeDown, KeyCode::volumeDown}, {Qt::Key_VolumeMute, KeyCode::mute}, {Qt::Key_F1, KeyCode::f1},
        {Qt::Key_F2, KeyCode::f2}, {Qt::Key_F3, KeyCode::f3}, {Qt::Key_F4, KeyCode::f4}, {Qt::Key_F5, KeyCode::f5},
        {Qt::Key_F6, KeyCode::f6}, {Qt::Key_F7, KeyCode::f7}, {Qt::Key_F8, KeyCode::f8}, {Qt::Key_F9, KeyCode::f9},
        {Qt::Key_F10, KeyCode::f10}, {Qt::Key_F11, KeyCode::f11}, {Qt::Key_F12, KeyCode::f12},
        {Qt::Key_F13, KeyCode::f13}, {Qt::Key_F14, KeyCode::f14}, {Qt::Key_F15, KeyCode::f15},
        {Qt::Key_F16, KeyCode::f16}, {Qt::Key_F17, KeyCode::f17}, {Qt::Key_F18, KeyCode::f18},
        {Qt::Key_F19, KeyCode::f19}, {Qt::Key_F20, KeyCode::f20},
        // Modifier keys.
        {Qt::Key_Meta, KeyCode::command}, {Qt::Key_Super_L, KeyCode::command}, {Qt::Key_Super_R, KeyCode::rightCommand},
        {Qt::Key_Shift, KeyCode::shift}, {Qt::Key_CapsLock, KeyCode::capsLock}, {Qt::Key_Alt, KeyCode::option},
        {Qt::Key_AltGr, KeyCode::rightOption}, {Qt::Key_Control, KeyCode::control},
    };
    return table;
}

const QHash<int, quint16>& keypadKeys()
{
    static const QHash<int, quint16> table{
        {Qt::Key_0, KeyCode::keypad0}, {Qt::Key_1, KeyCode::keypad1}, {Qt::Key_2, KeyCode::keypad2},
        {Qt::Key_3, KeyCode::keypad3}, {Qt::Key_4, KeyCode::keypad4}, {Qt::Key_5, KeyCode::keypad5},
        {Qt::Key_6, KeyCode::keypad6}, {Qt::Key_7, KeyCode::keypad7}, {Qt::Key_8, KeyCode::keypad8},
        {Qt::Key_9, KeyCode::keypad9}, {Qt::Key_Period, KeyCode::keypadDecimal},
        {Qt::Key_Comma, KeyCode::keypadDecimal}, {Qt::Key_Asterisk, KeyCode::keypadMultiply},
        {Qt::Key_Plus, KeyCode::keypadPlus}, {Qt::Key_Slash, KeyCode::keypadDivide},
        {Qt::Key_Minus, KeyCode::keypadMinus}, {Qt::Key_Equal, KeyCode::keypadEquals},
        {Qt::Key_Enter, KeyCode::keypadEnter},
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
