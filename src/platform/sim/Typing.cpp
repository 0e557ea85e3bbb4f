#include "platform/sim/Input.h"

#include "platform/KeyCodes.h"
#include "platform/KeyWindow.h"
#include "platform/QtKeyEvents.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QHash>
#include <QKeyEvent>
#include <QPointer>
#include <QWidget>

namespace platform::sim {

namespace {

// The toolkit key at each key position (US layout); the reverse of the app's
// key table for the keys a test types.
const QHash<quint16, int>& qtKeys()
{
    namespace K = KeyCode;
    static const QHash<quint16, int> table{
        {K::a, Qt::Key_A}, {K::b, Qt::Key_B}, {K::c, Qt::Key_C}, {K::d, Qt::Key_D}, {K::e, Qt::Key_E},
        {K::f, Qt::Key_F}, {K::g, Qt::Key_G}, {K::h, Qt::Key_H}, {K::i, Qt::Key_I}, {K::j, Qt::Key_J},
        {K::k, Qt::Key_K}, {K::l, Qt::Key_L}, {K::m, Qt::Key_M}, {K::n, Qt::Key_N}, {K::o, Qt::Key_O},
        {K::p, Qt::Key_P}, {K::q, Qt::Key_Q}, {K::r, Qt::Key_R}, {K::s, Qt::Key_S}, {K::t, Qt::Key_T},
        {K::u, Qt::Key_U}, {K::v, Qt::Key_V}, {K::w, Qt::Key_W}, {K::x, Qt::Key_X}, {K::y, Qt::Key_Y},
        {K::z, Qt::Key_Z}, {K::digit1, Qt::Key_1}, {K::digit2, Qt::Key_2}, {K::digit3, Qt::Key_3},
        {K::digit4, Qt::Key_4}, {K::digit5, Qt::Key_5}, {K::digit6, Qt::Key_6}, {K::digit7, Qt::Key_7},
        {K::digit8, Qt::Key_8}, {K::digit9, Qt::Key_9}, {K::digit0, Qt::Key_0}, {K::minus, Qt::Key_Minus},
        {K::equal, Qt::Key_Equal}, {K::period, Qt::Key_Period}, {K::comma, Qt::Key_Comma},
        {K::slash, Qt::Key_Slash}, {K::space, Qt::Key_Space}, {K::returnKey, Qt::Key_Return},
        {K::keypadEnter, Qt::Key_Enter}, {K::tab, Qt::Key_Tab}, {K::escape, Qt::Key_Escape},
        {K::deleteKey, Qt::Key_Backspace}, {K::forwardDelete, Qt::Key_Delete}, {K::leftArrow, Qt::Key_Left},
        {K::rightArrow, Qt::Key_Right}, {K::downArrow, Qt::Key_Down}, {K::upArrow, Qt::Key_Up},
        {K::home, Qt::Key_Home}, {K::end, Qt::Key_End},
    };
    return table;
}

// The key and Shift state that type a character on a US keyboard.
std::optional<KeyEvent> keyFor(QChar character)
{
    static const QHash<QChar, quint16> shifted{{u'!', KeyCode::digit1}, {u'@', KeyCode::digit2},
                                               {u'#', KeyCode::digit3}, {u'_', KeyCode::minus},
                                               {u'?', KeyCode::slash}};
    const QChar lower = character.toLower();
    const bool upper = character != lower;
    for (auto it = qtKeys().constBegin(); it != qtKeys().constEnd(); ++it) {
        const int key = it.value();
        // Keys beyond the ASCII range type no character of their own.
        if (key < Qt::Key_Space || key > Qt::Key_AsciiTilde)
            continue;
        const bool letter = key >= Qt::Key_A && key <= Qt::Key_Z;
        const QChar typed = letter ? QChar(u'a' + (key - Qt::Key_A)) : QChar(char16_t(key));
        if (typed != lower)
            continue;
        return KeyEvent{KeyEventType::keyDown, it.key(), upper ? EventFlag::shift : 0, QString(character)};
    }
    if (const auto found = shifted.constFind(character); found != shifted.constEnd())
        return KeyEvent{KeyEventType::keyDown, *found, EventFlag::shift, QString(character)};
    return std::nullopt;
}

Qt::KeyboardModifiers modifiersOf(EventFlags flags, quint16 keyCode)
{
    Qt::KeyboardModifiers modifiers;
    if (flags & EventFlag::shift)
        modifiers |= Qt::ShiftModifier;
    if (flags & EventFlag::control)
        modifiers |= Qt::ControlModifier;
    if (flags & EventFlag::option)
        modifiers |= Qt::AltModifier;
    if (flags & EventFlag::command)
        modifiers |= Qt::MetaModifier;
    if (keyCode == KeyCode::keypadEnter)
        modifiers |= Qt::KeypadModifier;
    return modifiers;
}

// Notes whether an event got past the application's filters to its receiver.
class Arrival : public QObject {
public:
    bool arrived = false;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress)
            arrived = true;
        return false;
    }
};

ulong nextTimestamp()
{
    static ulong stamp = 1;
    return ++stamp;
}

// Sends a press and its release to the responder; whether the press got past
// the local monitors.
bool send(QWidget* responder, int qtKey, Qt::KeyboardModifiers modifiers, const QString& text)
{
    QtKeyEvents::routeToLocalMonitors();
    QPointer<QWidget> target = responder;
    Arrival arrival;
    target->installEventFilter(&arrival);
    QKeyEvent press(QEvent::KeyPress, qtKey, modifiers, text);
    press.setTimestamp(nextTimestamp());
    QCoreApplication::sendEvent(target, &press);
    if (!target)
        return arrival.arrived;
    target->removeEventFilter(&arrival);
    QKeyEvent release(QEvent::KeyRelease, qtKey, modifiers, text);
    release.setTimestamp(nextTimestamp());
    QCoreApplication::sendEvent(target, &release);
    return arrival.arrived;
}

} // namespace

bool typeKey(const KeyEvent& event)
{
    QWidget* window = KeyWindow::current();
    QWidget* responder = KeyWindow::firstResponder(window);
    if (!responder)
        return false;
    const auto key = qtKeys().constFind(event.keyCode);
    const int qtKey = key != qtKeys().constEnd() ? *key : 0;
    return send(responder, qtKey, modifiersOf(event.flags, event.keyCode), event.characters);
}

void typeText(const QString& text)
{
    for (const QChar character : text) {
        if (const auto key = keyFor(character)) {
            typeKey(*key);
            continue;
        }
        if (QWidget* responder = KeyWindow::firstResponder(KeyWindow::current()))
            send(responder, 0, {}, QString(character));
    }
}

bool paste(const QString& text)
{
    QGuiApplication::clipboard()->setText(text);
    return typeKey({KeyEventType::keyDown, KeyCode::v, EventFlag::control, QStringLiteral("\x16")});
}

} // namespace platform::sim
