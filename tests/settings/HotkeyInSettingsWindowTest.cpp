#include "SettingsTest.h"

#include "platform/sim/DialogScript.h"
#include "settings/TimeTrackingPage.h"
#include "store/Hotkey.h"
#include "switching/HotkeyCenter.h"
#include "ui/AccentButton.h"

#include <QApplication>
#include <QKeyEvent>

namespace {

class HotkeyInSettingsWindowTest : public SettingsTest {};

// --- a registered hotkey pressed in the settings window ---

TEST_F(HotkeyInSettingsWindowTest, TheQuickSwitcherHotkeyRunsAndDoesNotPressTheFocusedExportButton)
{
    layOut({2});
    int toggled = 0;
    HotkeyCenter::shared().registerHotkey(Hotkey{0x31, Hotkey::defaultModifiers}, [&toggled] { ++toggled; });
    TimeTrackingPage page(services());
    page.show();
    page.activateWindow();
    QApplication::processEvents();
    page.exportButton()->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), page.exportButton());

    // ⌃⌥Space as the window system delivers it to the focused button.
    const Qt::KeyboardModifiers modifiers = Qt::ControlModifier | Qt::AltModifier;
    QKeyEvent override(QEvent::ShortcutOverride, Qt::Key_Space, modifiers, QStringLiteral(" "));
    QApplication::sendEvent(page.exportButton(), &override);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, modifiers, QStringLiteral(" "));
    QApplication::sendEvent(page.exportButton(), &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Space, modifiers, QStringLiteral(" "));
    QApplication::sendEvent(page.exportButton(), &release);
    clock().runPending();

    EXPECT_EQ(toggled, 1);
    EXPECT_TRUE(platform::sim::shownSavePanels().empty());
    HotkeyCenter::shared().unregisterAll();
}

} // namespace
