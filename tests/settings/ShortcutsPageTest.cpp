#include "SettingsTest.h"

#include "platform/PreferenceDomain.h"
#include "settings/SettingsTexts.h"
#include "settings/ShortcutGrid.h"
#include "settings/ShortcutsPage.h"
#include "settings/SystemShortcutRow.h"
#include "store/KeyNames.h"
#include "store/Settings.h"
#include "switching/SystemShortcuts.h"
#include "ui/AccentButton.h"
#include "ui/DarkToggle.h"
#include "ui/HotkeyRecorder.h"
#include "ui/KeyCap.h"
#include "ui/PlainSymbolButton.h"
#include "ui/SegmentPicker.h"
#include "ui/SettingRow.h"

#include <QLabel>

namespace {

class ShortcutsPageTest : public SettingsTest {
protected:
    static QStringList cellTexts(const ShortcutsPage& page)
    {
        QStringList texts;
        if (!page.grid())
            return texts;
        for (QWidget* cell : page.grid()->cells())
            texts << cell->findChild<KeyCap*>()->text() + " " + cell->findChild<QLabel*>("cellName")->text();
        return texts;
    }
};

} // namespace

// --- texts -------------------------------------------------------------------------

TEST_F(ShortcutsPageTest, SystemShortcutCaptionsAndModifierChoices)
{
    const auto allOn = SettingsTexts::systemShortcutState(3, 3, "3");
    EXPECT_TRUE(allOn.allOn);
    EXPECT_EQ(allOn.caption, QStringLiteral("\u23031\u2013\u23033 are on. This is what makes switching instant."));
    const auto none = SettingsTexts::systemShortcutState(0, 0, "0");
    EXPECT_TRUE(none.allOn);
    EXPECT_EQ(none.caption, QStringLiteral("\u23031\u2013\u23030 are on. This is what makes switching instant."));
    const auto some = SettingsTexts::systemShortcutState(4, 6, "6");
    EXPECT_FALSE(some.allOn);
    EXPECT_EQ(some.caption, QStringLiteral("4 of 6 desktops have a system shortcut. Turn them on for instant switching "
                                           "(System Settings \u2192 Keyboard \u2192 Shortcuts \u2192 Mission "
                                           "Control)."));
    QList<quint32> masks;
    QStringList labels;
    for (const auto& [mask, label] : SettingsTexts::modifierOptions()) {
        masks << mask;
        labels << label;
    }
    EXPECT_EQ(masks, QList<quint32>({0x1800, 0x0800, 0x1100, 0x0900, 0x1900}));
    EXPECT_EQ(labels, QStringList({"\u2303\u2325", "\u2325", "\u2303\u2318", "\u2325\u2318", "\u2303\u2325\u2318"}));
    EXPECT_EQ(SettingsTexts::hotkeyCaption(std::nullopt), "No shortcut");
}

TEST_F(ShortcutsPageTest, GridColumnsAreAtLeast170Wide)
{
    EXPECT_EQ(ShortcutGrid::columns(100), 1);
    EXPECT_EQ(ShortcutGrid::columns(347), 1);
    EXPECT_EQ(ShortcutGrid::columns(348), 2);
    EXPECT_EQ(ShortcutGrid::columns(790), 4);
}

// --- global shortcuts -----------------------------------------------------------------

TEST_F(ShortcutsPageTest, GlobalRowsCaptionTheirShortcutAndTheClearButtonEmptiesIt)
{
    layOut({2});
    ShortcutsPage page(services());
    ASSERT_EQ(page.globalRows().size(), 5);
    QStringList titles;
    for (SettingRow* row : page.globalRows())
        titles << row->titleLabel()->text();
    EXPECT_EQ(titles, QStringList({"Quick Switcher", "Jump back to the previous space", "Next space", "Previous space",
                                   "Presentation mode"}));
    const Hotkey next = *Settings::shared().nextHotkey();
    EXPECT_EQ(page.globalRows()[2]->captionLabel()->text(), KeyNames::describe(next));

    click(*page.recorder(2)->clearButton());
    EXPECT_EQ(Settings::shared().nextHotkey(), std::nullopt);
    clock().runPending();
    EXPECT_EQ(page.globalRows()[2]->captionLabel()->text(), "No shortcut");

    // A shortcut another row already uses is stored without a word.
    const Hotkey previous = *Settings::shared().prevHotkey();
    Settings::shared().setNextHotkey(previous);
    clock().runPending();
    EXPECT_EQ(page.globalRows()[2]->captionLabel()->text(), KeyNames::describe(previous));
    EXPECT_EQ(page.recorder(2)->hotkey(), previous);
}

// --- number shortcuts ------------------------------------------------------------------

TEST_F(ShortcutsPageTest, TheGridShowsTheFirstTenDesktopsAndFollowsTheModifiers)
{
    layOut({12});
    SpaceMeta own;
    own.name = "Code";
    own.hotkey = Hotkey{40, 0x100};
    store(2, own);
    ShortcutsPage page(services());
    page.resize(790, page.sizeHint().height());
    const QStringList cells = cellTexts(page);
    ASSERT_EQ(cells.size(), 10);
    EXPECT_EQ(cells[1], own.hotkey->display() + " Code");
    EXPECT_EQ(cells[0], desktop(1).effectiveHotkey(Settings::shared())->display() + " Desktop 1");
    EXPECT_TRUE(cells[0].startsWith(QStringLiteral("\u2303\u2325")));

    auto& picker = *page.findChild<SegmentPicker*>("modifierPicker");
    leftClick(picker, picker.segmentRect(4).center());
    EXPECT_EQ(Settings::shared().directJumpModifiers(), 0x1900u);
    clock().runPending();
    const QStringList after = cellTexts(page);
    EXPECT_TRUE(after[0].startsWith(QStringLiteral("\u2303\u2325\u2318")));
    EXPECT_EQ(after[1], cells[1]);
    keep(page, "shortcuts");
}

TEST_F(ShortcutsPageTest, NumberShortcutsOffHideTheGridButNotTheModifiers)
{
    layOut({3});
    ShortcutsPage page(services());
    click(*page.findChild<DarkToggle*>("numberShortcutsToggle"));
    EXPECT_FALSE(Settings::shared().directJumpEnabled());
    clock().runPending();
    EXPECT_TRUE(page.findChild<ShortcutGrid*>()->parentWidget()->isHidden());
    EXPECT_TRUE(page.grid()->cells().isEmpty());
    EXPECT_FALSE(page.findChild<SegmentPicker*>("modifierPicker")->isHidden());
}

// --- system shortcuts ------------------------------------------------------------------

TEST_F(ShortcutsPageTest, TurnOnWritesTheShortcutsAndRereadsNowAndLater)
{
    layOut({6});
    ShortcutsPage page(services());
    SystemShortcutRow* row = page.systemRow();
    const int before = row->enabled();
    ASSERT_LT(before, 6);
    EXPECT_EQ(row->needed(), 6);
    EXPECT_TRUE(row->caption().startsWith(QString::number(before) + " of 6 desktops"));
    ASSERT_NE(row->turnOnButton(), nullptr);
    click(*row->turnOnButton());
    EXPECT_GE(SystemShortcuts::enabledDesktopCount(), 6);
    EXPECT_EQ(row->enabled(), SystemShortcuts::enabledDesktopCount());
    EXPECT_TRUE(row->allOn());
    EXPECT_EQ(row->turnOnButton(), nullptr);
    EXPECT_TRUE(row->caption().startsWith(QStringLiteral("\u23031\u2013\u2303")));
    advance(SystemShortcutRow::rereadDelay);
    EXPECT_TRUE(row->allOn());
}

TEST_F(ShortcutsPageTest, WithNoDesktopsTheRowIsAllOnWithTheDigitZero)
{
    ShortcutsPage page(services());
    EXPECT_EQ(page.systemRow()->needed(), 0);
    EXPECT_TRUE(page.systemRow()->allOn());
    EXPECT_EQ(page.systemRow()->caption(),
              QStringLiteral("\u23031\u2013\u23030 are on. This is what makes switching instant."));
    EXPECT_TRUE(page.grid()->cells().isEmpty());
}

TEST_F(ShortcutsPageTest, MoveAndSwitchingTogglesWriteTheirSettings)
{
    layOut({1});
    ShortcutsPage page(services());
    click(*page.findChild<DarkToggle*>("nativeToggle"));
    EXPECT_FALSE(Settings::shared().nativeSwitching());
    click(*page.findChild<DarkToggle*>("moveToggle"));
    EXPECT_FALSE(Settings::shared().moveWindowEnabled());
    // Following stays usable with moving off.
    click(*page.findChild<DarkToggle*>("followToggle"));
    EXPECT_TRUE(Settings::shared().moveFollow());
    EXPECT_TRUE(page.findChild<QLabel*>("footer")->text().startsWith("A space's own shortcut"));
}
