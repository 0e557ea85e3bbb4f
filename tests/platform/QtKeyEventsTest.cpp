#include "platform/KeyCodes.h"
#include "platform/QtKeyEvents.h"
#include "platform/sim/Keyboard.h"
#include "support/PlatformTest.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QShortcut>
#include <QVBoxLayout>

#include <memory>
#include <vector>

using namespace platform;

namespace {

std::optional<KeyEvent> translate(QEvent::Type type, int key, Qt::KeyboardModifiers modifiers = {},
                                  const QString& text = {})
{
    return QtKeyEvents::fromQt(QKeyEvent(type, key, modifiers, text));
}

TEST(QtKeyTable, KeysMapToTheirPositionsOnAUsKeyboard)
{
    EXPECT_EQ(QtKeyEvents::virtualKeyCode(Qt::Key_A, false), KeyCode::a);
    EXPECT_EQ(QtKeyEvents::virtualKeyCode(Qt::Key_M, false), KeyCode::m);
    EXPECT_EQ(QtKeyEvents::virtualKeyCode(Qt::Key_Space, false), KeyCode::space);
    EXPECT_EQ(QtKeyEvents::virtualKeyCode(Qt::Key_Escape, false), KeyCode::escape);
    EXPECT_EQ(QtKeyEvents::virtualKeyCode(Qt::Key_QuoteLeft, false), KeyCode::grave);
    // The digit row is not in code order: 5 is 23, 6 is 22, 0 is 29.
    EXPECT_EQ(QtKeyEvents::virtualKeyCode(Qt::Key_5, false), KeyCode::digit5);
    EXPECT_EQ(QtKeyEvents::virtualKeyCode(Qt::Key_6, false), KeyCode::digit6);
    EXPECT_EQ(QtKeyEvents::virtualKeyCode(Qt::Key_0, false), KeyCode::digit0);
    EXPECT_EQ(QtKeyEvents::virtualKeyCode(Qt::Key_F1, false), KeyCode::f1);
    EXPECT_EQ(QtKeyEvents::virtualKeyCode(Qt::Key_F5, false), KeyCode::f5);
    EXPECT_EQ(QtKeyEvents::virtualKeyCode(Qt::Key_F12, false), KeyCode::f12);
    EXPECT_EQ(QtKeyEvents::virtualKeyCode(Qt::Key_Left, false), KeyCode::leftArrow);
    EXPECT_EQ(QtKeyEvents::virtualKeyCode(Qt::Key_Delete, false), KeyCode::forwardDelete);
    EXPECT_EQ(QtKeyEvents::virtualKeyCode(Qt::Key_Backspace, false), KeyCode::deleteKey);
}

TEST(QtKeyTable, ShiftedSymbolsAndKeypadKeys)
{
    // Qt names the symbol Shift typed; the key is the one under it.
    EXPECT_EQ(QtKeyEvents::virtualKeyCode(Qt::Key_Exclam, false), QtKeyEvents::virtualKeyCode(Qt::Key_1, false));
    EXPECT_EQ(QtKeyEvents::virtualKeyCode(Qt::Key_Question, false),
              QtKeyEvents::virtualKeyCode(Qt::Key_Slash, false));
    EXPECT_EQ(QtKeyEvents::virtualKeyCode(Qt::Key_AsciiTilde, false), KeyCode::grave);
    EXPECT_EQ(QtKeyEvents::virtualKeyCode(Qt::Key_5, true), 0x57);
    EXPECT_EQ(QtKeyEvents::virtualKeyCode(Qt::Key_Enter, true), 0x4C);
    // Keys the keypad does not have keep their own position.
    EXPECT_EQ(QtKeyEvents::virtualKeyCode(Qt::Key_Left, true), KeyCode::leftArrow);
    EXPECT_EQ(QtKeyEvents::virtualKeyCode(Qt::Key_LaunchMail, false), std::nullopt);
    EXPECT_EQ(QtKeyEvents::virtualKeyCode(Qt::Key_unknown, false), std::nullopt);
}

TEST(QtKeyTable, PressesAndReleasesBecomeKeyEventsWithFlags)
{
    const auto chord = translate(QEvent::KeyPress, Qt::Key_Space, Qt::ControlModifier | Qt::AltModifier, " ");
    ASSERT_TRUE(chord);
    EXPECT_EQ(chord->type, KeyEventType::keyDown);
    EXPECT_EQ(chord->keyCode, KeyCode::space);
    EXPECT_EQ(chord->flags, EventFlag::control | EventFlag::option);
    EXPECT_EQ(chord->characters, " ");

    const auto command = translate(QEvent::KeyPress, Qt::Key_D, Qt::MetaModifier | Qt::ShiftModifier);
    ASSERT_TRUE(command);
    EXPECT_EQ(command->flags, EventFlag::command | EventFlag::shift);

    const auto released = translate(QEvent::KeyRelease, Qt::Key_F5);
    ASSERT_TRUE(released);
    EXPECT_EQ(released->type, KeyEventType::keyUp);
    EXPECT_EQ(released->flags, EventFlag::secondaryFn);

    const auto arrow = translate(QEvent::KeyPress, Qt::Key_Up, Qt::KeypadModifier);
    ASSERT_TRUE(arrow);
    EXPECT_EQ(arrow->flags, EventFlag::secondaryFn | EventFlag::numericPad);

    EXPECT_FALSE(translate(QEvent::KeyPress, Qt::Key_LaunchMail));
}

TEST(QtKeyTable, ModifierKeysChangeFlagsWhicheverWayQtReportsThem)
{
    // A press may arrive with or without its own modifier; the result is the same.
    for (const Qt::KeyboardModifiers before : {Qt::KeyboardModifiers(), Qt::KeyboardModifiers(Qt::ShiftModifier)}) {
        const auto pressed = translate(QEvent::KeyPress, Qt::Key_Shift, before);
        ASSERT_TRUE(pressed);
        EXPECT_EQ(pressed->type, KeyEventType::flagsChanged);
        EXPECT_EQ(pressed->keyCode, KeyCode::shift);
        EXPECT_EQ(pressed->flags, EventFlag::shift);
    }
    const auto released = translate(QEvent::KeyRelease, Qt::Key_Control, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_TRUE(released);
    EXPECT_EQ(released->type, KeyEventType::flagsChanged);
    EXPECT_EQ(released->flags, EventFlag::shift);

    const auto super = translate(QEvent::KeyPress, Qt::Key_Super_L);
    ASSERT_TRUE(super);
    EXPECT_EQ(super->keyCode, KeyCode::command);
    EXPECT_EQ(super->flags, EventFlag::command);
}

// A window with a text field, and a monitor that records what it sees and
// swallows what the test tells it to.
class LocalMonitorRouting : public PlatformTest {
protected:
    LocalMonitorRouting()
    {
        QtKeyEvents::routeToLocalMonitors();
        window_ = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(window_.get());
        field_ = new QLineEdit;
        layout->addWidget(field_);
        window_->show();
        window_->activateWindow();
        QApplication::processEvents();
        field_->setFocus();
    }

    ~LocalMonitorRouting() override
    {
        if (monitor_)
            KeyEvents::removeMonitor(*monitor_);
    }

    void monitor(KeyEvents::EventMask mask, bool swallow)
    {
        monitor_ = KeyEvents::addLocalMonitor(mask, [this, swallow](const KeyEvent& event) -> std::optional<KeyEvent> {
            seen_.push_back(event);
            if (swallow)
                return std::nullopt;
            return event;
        });
    }

    // A key press as a widget gets it from the window system: shortcut
    // override, then the press.
    void press(QWidget* target, int key, Qt::KeyboardModifiers modifiers = {}, const QString& text = {})
    {
        QKeyEvent event(QEvent::KeyPress, key, modifiers, text);
        QApplication::sendEvent(target, &event);
    }

    std::unique_ptr<QWidget> window_;
    QLineEdit* field_ = nullptr;
    std::optional<KeyEvents::MonitorToken> monitor_;
    std::vector<KeyEvent> seen_;
};

TEST_F(LocalMonitorRouting, SwallowedKeysNeverReachTheWidget)
{
    monitor(KeyEvents::maskFor(KeyEventType::keyDown), true);
    press(field_, Qt::Key_A, {}, "a");
    EXPECT_EQ(field_->text(), "");
    ASSERT_EQ(seen_.size(), 1u);
    EXPECT_EQ(seen_[0].keyCode, KeyCode::a);
    EXPECT_EQ(seen_[0].characters, "a");

    KeyEvents::removeMonitor(*monitor_);
    monitor_.reset();
    press(field_, Qt::Key_A, {}, "a");
    EXPECT_EQ(field_->text(), "a");
}

TEST_F(LocalMonitorRouting, APassedKeyIsSeenOnceWhileItTravelsUpTheWidgets)
{
    monitor(KeyEvents::maskFor(KeyEventType::keyDown), false);
    // A plain child ignores keys, so the press goes on to its parent.
    auto* plain = new QWidget(window_.get());
    press(plain, Qt::Key_B, {}, "b");
    press(field_, Qt::Key_C, {}, "c");
    // The same key again is a new press, not the last one handed on.
    press(field_, Qt::Key_C, {}, "c");
    ASSERT_EQ(seen_.size(), 3u);
    EXPECT_EQ(seen_[0].keyCode, 0x0B);
    EXPECT_EQ(seen_[1].keyCode, 0x08);
    EXPECT_EQ(seen_[2].keyCode, 0x08);
    EXPECT_EQ(field_->text(), "cc");
}

TEST_F(LocalMonitorRouting, ASwallowedKeyFiresNoShortcut)
{
    int fired = 0;
    auto* shortcut = new QShortcut(QKeySequence(Qt::Key_Return), window_.get());
    QObject::connect(shortcut, &QShortcut::activated, [&fired] { ++fired; });
    press(field_, Qt::Key_Return);
    ASSERT_EQ(fired, 1) << "the window must be active for its shortcuts";

    monitor(KeyEvents::maskFor(KeyEventType::keyDown), true);
    press(field_, Qt::Key_Return);
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(seen_.size(), 1u);
}

TEST_F(LocalMonitorRouting, ModifierKeysReachFlagsMonitorsOnly)
{
    monitor(KeyEvents::maskFor(KeyEventType::flagsChanged), false);
    press(field_, Qt::Key_Alt);
    press(field_, Qt::Key_A, Qt::AltModifier, "a");
    ASSERT_EQ(seen_.size(), 1u);
    EXPECT_EQ(seen_[0].type, KeyEventType::flagsChanged);
    EXPECT_EQ(seen_[0].keyCode, KeyCode::option);
    EXPECT_EQ(seen_[0].flags, EventFlag::option);
}

} // namespace
