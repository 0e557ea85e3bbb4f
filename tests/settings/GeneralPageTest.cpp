#include "RecordingCommands.h"
#include "SettingsTest.h"

#include "platform/linux/LoginItems.h"
#include "platform/sim/DialogScript.h"
#include "settings/GeneralPage.h"
#include "store/Settings.h"
#include "ui/AccentButton.h"
#include "ui/DarkToggle.h"
#include "ui/SectionHeader.h"
#include "ui/SegmentPicker.h"
#include "ui/SettingRow.h"
#include "ui/ValueSlider.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>

using platform::ModalResponse;

namespace {

class GeneralPageTest : public SettingsTest {
protected:
    static QStringList optionLabels(const SegmentPicker& picker)
    {
        QStringList labels;
        for (const auto& option : picker.options())
            labels << option.second;
        return labels;
    }

    template <typename T>
    static T& child(const GeneralPage& page, const QString& name)
    {
        T* found = page.findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name.toStdString();
        return *found;
    }

    static void addNotchedDisplay()
    {
        platform::sim::DisplaySpec built = displaySpec(1, 1, 1);
        built.notchLeft = QRectF(1512, 950, 660, 32);
        built.notchRight = QRectF(2364, 950, 660, 32);
        world().addDisplay(built);
    }
};

} // namespace

// --- launch at login ---------------------------------------------------------------

TEST_F(GeneralPageTest, LaunchAtLoginRegistersAndUnregistersTheLoginItem)
{
    layOut({1});
    GeneralPage page(services());
    EXPECT_FALSE(page.launchToggle()->isOn());
    click(*page.launchToggle());
    EXPECT_TRUE(QFileInfo::exists(platform::host::loginItemEntryPath()));
    EXPECT_TRUE(page.launchToggle()->isOn());
    EXPECT_TRUE(page.launchAtLogin());
    click(*page.launchToggle());
    EXPECT_FALSE(QFileInfo::exists(platform::host::loginItemEntryPath()));
    EXPECT_FALSE(page.launchToggle()->isOn());
    EXPECT_TRUE(platform::sim::shownAlerts().empty());
}

TEST_F(GeneralPageTest, ARefusedChangeShowsTheAlertAndTheSwitchGoesBack)
{
    layOut({1});
    // The autostart folder cannot be made: a file stands where it should be.
    const QString folder = QFileInfo(platform::host::loginItemEntryPath()).path();
    QDir().mkpath(QFileInfo(folder).path());
    QFile blocker(folder);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    GeneralPage page(services());
    click(*page.launchToggle());
    const auto alerts = platform::sim::shownAlerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].messageText, "Could not change launch at login");
    EXPECT_FALSE(alerts[0].informativeText.isEmpty());
    EXPECT_FALSE(page.launchToggle()->isOn());
    EXPECT_FALSE(page.launchAtLogin());
}

TEST_F(GeneralPageTest, ChangingToTheRegistrationsOwnStateDoesNothing)
{
    layOut({1});
    GeneralPage page(services());
    // Registered elsewhere after the page was made.
    ASSERT_EQ(Settings::shared().setLaunchAtLogin(true), std::nullopt);
    platform::host::failLoginItemChanges(QStringLiteral("refused"));
    page.setLaunchAtLogin(true);
    EXPECT_TRUE(platform::sim::shownAlerts().empty());
    EXPECT_TRUE(page.launchToggle()->isOn());
}

// --- settings rows -----------------------------------------------------------------

TEST_F(GeneralPageTest, MenuBarControlsWriteTheirSettings)
{
    layOut({1});
    GeneralPage page(services());
    auto& style = child<SegmentPicker>(page, "menuBarStylePicker");
    EXPECT_EQ(optionLabels(style), QStringList({"Icon and name", "Name only", "Icon only", "Number and name"}));
    leftClick(style, style.segmentRect(3).center());
    EXPECT_EQ(Settings::shared().menuBarStyle(), MenuBarStyle::numberAndName);

    auto& width = child<ValueSlider>(page, "menuBarWidthSlider");
    EXPECT_EQ(width.minimum(), 100);
    EXPECT_EQ(width.maximum(), 420);
    EXPECT_EQ(width.step(), 10);
    EXPECT_EQ(width.text(), "220 pt");
    Settings::shared().setMenuBarMaxWidth(240);
    clock().runPending();
    EXPECT_EQ(width.text(), "240 pt");

    click(child<DarkToggle>(page, "shortcutsInMenuToggle"));
    EXPECT_FALSE(Settings::shared().showShortcutsInMenu());
    click(child<DarkToggle>(page, "badgesToggle"));
    EXPECT_FALSE(Settings::shared().badgesEnabled());
    click(child<DarkToggle>(page, "presentingToggle"));
    EXPECT_TRUE(Settings::shared().presenting());
}

TEST_F(GeneralPageTest, PresentationCaptionFollowsTheHotkeyWithoutReopening)
{
    layOut({1});
    Settings::shared().setPresentationHotkey(std::nullopt);
    GeneralPage page(services());
    const QString caption = page.presentationRow()->captionLabel()->text();
    EXPECT_TRUE(caption.endsWith("Shortcuts keep working.")) << caption.toStdString();
    EXPECT_EQ(page.presentationRow()->titleLabel()->text(), QStringLiteral("Show every desktop as \u201cDesktop N\u201d"));

    const Hotkey hotkey{35, 0x1800};
    Settings::shared().setPresentationHotkey(hotkey);
    clock().runPending();
    EXPECT_TRUE(page.presentationRow()->captionLabel()->text().endsWith(", and " + hotkey.display() + " toggles it."));
}

TEST_F(GeneralPageTest, NotchControlsAndTheQuitRowThatComesWithAHiddenTile)
{
    layOut({1});
    GeneralPage page(services());
    auto& side = child<SegmentPicker>(page, "notchSidePicker");
    EXPECT_EQ(optionLabels(side), QStringList({"Left", "Right"}));
    leftClick(side, side.segmentRect(1).center());
    EXPECT_EQ(Settings::shared().notchSide(), NotchSide::right);
    auto& content = child<SegmentPicker>(page, "notchContentPicker");
    EXPECT_EQ(optionLabels(content), QStringList({"Icon and name", "Name", "Icon"}));
    leftClick(content, content.segmentRect(2).center());
    EXPECT_EQ(Settings::shared().notchContent(), NotchContent::iconOnly);
    click(child<DarkToggle>(page, "notchToggle"));
    EXPECT_TRUE(Settings::shared().notchEnabled());
    click(child<DarkToggle>(page, "standsInToggle"));
    EXPECT_FALSE(Settings::shared().notchStandsIn());

    EXPECT_TRUE(page.quitRow()->isHidden());
    click(child<DarkToggle>(page, "tileHiddenToggle"));
    clock().runPending();
    EXPECT_FALSE(page.quitRow()->isHidden());
    EXPECT_EQ(page.quitRow()->titleLabel()->text(), "Quit Tessaroom");
    Settings::shared().setTileHiddenBesideNotch(false);
    clock().runPending();
    EXPECT_TRUE(page.quitRow()->isHidden());
}

TEST_F(GeneralPageTest, SectionsInOrderAndThePreviewButtonCallsTheCommand)
{
    layOut({1});
    RecordingCommands commands;
    QWidget root;
    AppEnvironment::setCommands(&root, commands);
    auto* page = new GeneralPage(services(), &root);
    QStringList sections;
    for (SectionHeader* header : page->findChildren<SectionHeader*>())
        sections << header->text().toLower();
    EXPECT_EQ(sections, QStringList({"menu bar", "presentation mode", "attention", "camera notch", "data"}));
    click(child<AccentButton>(*page, "notchPreviewButton"));
    EXPECT_EQ(commands.notchPreviews, 1);
    page->resize(824, page->sizeHint().height());
    keep(*page, "general");
}

// --- camera notch ----------------------------------------------------------------

TEST_F(GeneralPageTest, NotchCaptionFollowsScreensComingAndGoing)
{
    layOut({1});
    GeneralPage page(services());
    EXPECT_FALSE(page.hasNotch());
    EXPECT_TRUE(page.notchRow()->captionLabel()->text().startsWith("For MacBooks with a notch."));
    addNotchedDisplay();
    clock().runPending();
    EXPECT_TRUE(page.hasNotch());
    EXPECT_TRUE(page.notchRow()->captionLabel()->text().startsWith("The name sits in the menu bar band"));
    world().removeDisplay("display-2");
    clock().runPending();
    EXPECT_FALSE(page.hasNotch());
    EXPECT_TRUE(page.notchRow()->captionLabel()->text().startsWith("For MacBooks with a notch."));
}

TEST_F(GeneralPageTest, AFreshPageReadsTheNotchScreens)
{
    layOut({1});
    addNotchedDisplay();
    GeneralPage page(services());
    EXPECT_TRUE(page.hasNotch());
}

// --- reset -----------------------------------------------------------------------

TEST_F(GeneralPageTest, ResetAsksFirstAndCancellingChangesNothing)
{
    layOut({2});
    SpaceMeta meta;
    meta.name = "Code";
    meta.seconds = 60;
    store(1, meta);
    Settings::shared().setMenuBarStyle(MenuBarStyle::nameOnly);
    GeneralPage page(services());
    platform::sim::answerNextConfirmation(ModalResponse::cancel);
    click(child<AccentButton>(page, "resetButton"));
    const auto asked = platform::sim::shownConfirmations();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].title, "Reset all spaces?");
    EXPECT_EQ(asked[0].message,
              "Names, icons, colors, shortcuts and tracked time for every desktop will be removed.");
    EXPECT_EQ(asked[0].actionTitle, "Reset Everything");
    EXPECT_TRUE(asked[0].destructive);
    EXPECT_EQ(desktop(1).meta(), meta);
    EXPECT_EQ(child<AccentButton>(page, "resetButton").text(), QStringLiteral("Reset\u2026"));
}

TEST_F(GeneralPageTest, ConfirmedResetRemovesEveryDesktopsDataAndNothingElse)
{
    layOut({2});
    SpaceMeta meta;
    meta.name = "Code";
    meta.seconds = 60;
    meta.hotkey = Hotkey{40, 0x100};
    store(1, meta);
    SpaceMeta other;
    other.name = "Mail";
    store(2, other);
    Settings::shared().setMenuBarStyle(MenuBarStyle::nameOnly);
    Settings::shared().setTrackTime(false);
    const QString picture = home() + "/picture.png";
    QFile file(picture);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("png");
    file.close();

    GeneralPage page(services());
    platform::sim::answerNextConfirmation(ModalResponse::alertFirstButton);
    page.confirmReset();
    EXPECT_TRUE(store().metas().empty());
    EXPECT_EQ(desktop(1).meta(), SpaceMeta());
    EXPECT_EQ(Settings::shared().menuBarStyle(), MenuBarStyle::nameOnly);
    EXPECT_FALSE(Settings::shared().trackTime());
    EXPECT_TRUE(QFileInfo::exists(picture));
    advance(1);
    store().flushNow();
    EXPECT_TRUE(store().metas().empty());
}
