#include "platform/HotKeys.h"
#include "platform/KeyCodes.h"
#include "platform/KeyEvents.h"
#include "support/PlatformTest.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

using namespace platform;

// A window whose focused button counts its clicks, and ⌃⌥Space registered
// as a global hot key that counts its presses.
class HotKeysInOwnWindowsTest : public PlatformTest {
protected:
    HotKeysInOwnWindowsTest()
    {
        window_ = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(window_.get());
        button_ = new QPushButton(QStringLiteral("Export"));
        layout->addWidget(button_);
        QObject::connect(button_, &QPushButton::clicked, [this] { ++clicks; });
        window_->show();
        window_->activateWindow();
        QApplication::processEvents();
        button_->setFocus();

        HotKeys::installEventHandler(
            HotKeys::applicationEventTarget(),
            [this](EventRef) {
                ++presses;
                return Status::noErr;
            },
            {{kEventClassKeyboard, kEventHotKeyPressed}}, nullptr);
        HotKeys::registerEventHotKey(KeyCode::space, CarbonModifiers::control | CarbonModifiers::option,
                                     {fourCharCode("TEST"), 1}, HotKeys::applicationEventTarget(), 0, &ref_);
    }

    // A key as the window system delivers it to the focused widget: the
    // shortcut override (when asked) and the press, then the release.
    void type(int key, Qt::KeyboardModifiers modifiers, int repeats = 0, bool override = true)
    {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : button_;
        const QString text = key == Qt::Key_Space ? QStringLiteral(" ") : QString();
        if (override) {
            QKeyEvent shortcut(QEvent::ShortcutOverride, key, modifiers, text);
            QApplication::sendEvent(target, &shortcut);
        }
        QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
        QApplication::sendEvent(target, &press);
        for (int i = 0; i < repeats; ++i) {
            QKeyEvent up(QEvent::KeyRelease, key, modifiers, text, true);
            QApplication::sendEvent(target, &up);
            QKeyEvent again(QEvent::KeyPress, key, modifiers, text, true);
            QApplication::sendEvent(target, &again);
        }
        QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
        QApplication::sendEvent(target, &release);
        clock().runPending();
    }

    static constexpr Qt::KeyboardModifiers controlOption = Qt::ControlModifier | Qt::AltModifier;

    std::unique_ptr<QWidget> window_;
    QPushButton* button_ = nullptr;
    EventHotKeyRef ref_ = 0;
    int clicks = 0;
    int presses = 0;
};

// --- a hot key pressed in the app's own window ---

TEST_F(HotKeysInOwnWindowsTest, TheHotKeyRunsAndTheFocusedControlNeverSeesIt)
{
    type(Qt::Key_Space, controlOption);
    EXPECT_EQ(presses, 1);
    EXPECT_EQ(clicks, 0);
    // Space alone is still the button's.
    type(Qt::Key_Space, {});
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(presses, 1);
}

TEST_F(HotKeysInOwnWindowsTest, AHeldHotKeyFiresOnceAndItsRepeatsAreSwallowed)
{
    type(Qt::Key_Space, controlOption, 3);
    EXPECT_EQ(presses, 1);
    // An X server marks no repeat: each comes as a release and a press with
    // one time stamp, also after a first press that another window took (an
    // open menu chose its item with it).
    for (const quint64 stamp : {1660u, 1700u, 1740u}) {
        for (const QEvent::Type kind : {QEvent::KeyRelease, QEvent::ShortcutOverride, QEvent::KeyPress}) {
            QKeyEvent event(kind, Qt::Key_Space, controlOption, QStringLiteral(" "));
            event.setTimestamp(stamp);
            QApplication::sendEvent(button_, &event);
        }
    }
    clock().runPending();
    EXPECT_EQ(presses, 1);
    EXPECT_EQ(clicks, 0);
}

TEST_F(HotKeysInOwnWindowsTest, APressWhoseReleaseWentToAnotherAppDoesNotBlockTheNext)
{
    for (quint64 stamp : {1000u, 2000u}) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, controlOption, QStringLiteral(" "));
        press.setTimestamp(stamp);
        QApplication::sendEvent(button_, &press);
        clock().runPending();
    }
    EXPECT_EQ(presses, 2);
    EXPECT_EQ(clicks, 0);
}

TEST_F(HotKeysInOwnWindowsTest, LocalMonitorsDoNotSeeAHotKey)
{
    std::vector<KeyEvent> seen;
    const auto monitor = KeyEvents::addLocalMonitor(KeyEvents::maskFor(KeyEventType::keyDown),
                                                    [&seen](const KeyEvent& event) -> std::optional<KeyEvent> {
                                                        seen.push_back(event);
                                                        return event;
                                                    });
    type(Qt::Key_Space, controlOption, 0, false);
    type(Qt::Key_Space, Qt::ControlModifier, 0, false);
    KeyEvents::removeMonitor(monitor);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].flags & EventFlag::option, 0u);
    EXPECT_EQ(presses, 1);
}

TEST_F(HotKeysInOwnWindowsTest, AnUnregisteredCombinationReachesTheControlAgain)
{
    ASSERT_EQ(HotKeys::unregisterEventHotKey(ref_), Status::noErr);
    type(Qt::Key_Space, controlOption);
    EXPECT_EQ(presses, 0);
    EXPECT_EQ(clicks, 1);
}

} // namespace
