#include "settings/NotchScreens.h"
#include "settings/SettingsTexts.h"
#include "store/Hotkey.h"
#include "support/PlatformTest.h"
#include "ui/SettingsPage.h"

namespace {

class SettingsTextsTest : public PlatformTest {};

} // namespace

// --- pages -----------------------------------------------------------------

TEST_F(SettingsTextsTest, EightPagesInTabOrderWithTheirTexts)
{
    const QList<SettingsPage>& all = SettingsPages::allCases();
    ASSERT_EQ(all.size(), 8);
    EXPECT_EQ(all.first(), SettingsPage::spaces);
    EXPECT_EQ(all.last(), SettingsPage::about);
    QStringList raw;
    QStringList labels;
    for (SettingsPage page : all) {
        raw << SettingsPages::rawValue(page);
        labels << SettingsPages::label(page);
    }
    EXPECT_EQ(raw, QStringList({"spaces", "missionControl", "switchTag", "spaceHover", "shortcuts", "timeTracking",
                                "general", "about"}));
    EXPECT_EQ(labels, QStringList({"Spaces", "Mission Control", "Switch Tag", "Hover", "Shortcuts", "Time", "General",
                                   "About"}));
    EXPECT_EQ(SettingsPages::title(SettingsPage::spaces), "Your spaces");
    EXPECT_EQ(SettingsPages::title(SettingsPage::about), "About Tessaroom");
    EXPECT_EQ(SettingsPages::subtitle(SettingsPage::spaceHover),
              "Rest the pointer at the top of the screen to reveal every space.");
    EXPECT_EQ(SettingsPages::subtitle(SettingsPage::general), "Menu bar, camera notch, login and data.");
    EXPECT_EQ(SettingsPages::symbol(SettingsPage::timeTracking), "clock.fill");
    EXPECT_EQ(SettingsPages::symbol(SettingsPage::missionControl), "macwindow.on.rectangle");
}

TEST_F(SettingsTextsTest, RawValuesMatchExactlyAndCaseSensitively)
{
    EXPECT_EQ(SettingsPages::fromRawValue("timeTracking"), SettingsPage::timeTracking);
    EXPECT_EQ(SettingsPages::fromRawValue("TimeTracking"), std::nullopt);
    EXPECT_EQ(SettingsPages::fromRawValue(""), std::nullopt);
    for (SettingsPage page : SettingsPages::allCases())
        EXPECT_EQ(SettingsPages::fromRawValue(SettingsPages::rawValue(page)), page);
}

// --- header and rows --------------------------------------------------------

TEST_F(SettingsTextsTest, CountsLineAndHeaderTileTexts)
{
    EXPECT_EQ(SettingsTexts::countsLine(0, 0), QStringLiteral("0 desktops \u00b7 0 named"));
    EXPECT_EQ(SettingsTexts::countsLine(48, 3), QStringLiteral("48 desktops \u00b7 3 named"));
    EXPECT_EQ(SettingsTexts::heroCaption(true, "Code", 2), "Code");
    EXPECT_EQ(SettingsTexts::heroCaption(false, "Desktop 2", 2), "2");
    EXPECT_EQ(SettingsTexts::heroTooltip("Desktop 4"), QStringLiteral("Desktop 4 \u00b7 click to edit"));
    EXPECT_EQ(SettingsTexts::heroTooltip("Two\r\nlines\tand"), QStringLiteral("Two lines and \u00b7 click to edit"));
    EXPECT_EQ(SettingsTexts::accessibilityBadge(true), "Mission Control names on");
    EXPECT_EQ(SettingsTexts::accessibilityBadge(false), "Allow Accessibility for Mission Control names");
    EXPECT_EQ(SettingsTexts::displayHeader(0), "Display 1");
    EXPECT_EQ(SettingsTexts::displayHeader(1), "Display 2");
    EXPECT_EQ(SettingsTexts::desktopNumber(12), "Desktop 12");
}

TEST_F(SettingsTextsTest, StoredNameLosesWhiteSpaceAndLineBreaksAtBothEndsOnly)
{
    EXPECT_EQ(SettingsTexts::storedName("word "), "word");
    EXPECT_EQ(SettingsTexts::storedName(" a"), "a");
    EXPECT_EQ(SettingsTexts::storedName("  \t\n "), "");
    EXPECT_EQ(SettingsTexts::storedName("\u00a0two words\u2029"), "two words");
    EXPECT_EQ(SettingsTexts::storedName("in  side"), "in  side");
}

// --- page captions and choices ----------------------------------------------

TEST_F(SettingsTextsTest, PresentationCaptionNamesTheHotkeyOrEndsWithAFullStop)
{
    const QString fixed = "For recordings and screen shares: names, icons and colors are hidden on every surface "
                          "until this is off. Shortcuts keep working";
    EXPECT_EQ(SettingsTexts::presentationCaption(std::nullopt), fixed + ".");
    const Hotkey controlOptionP{35, Hotkey::defaultModifiers};
    EXPECT_EQ(SettingsTexts::presentationCaption(controlOptionP),
              fixed + ", and " + controlOptionP.display() + " toggles it.");
    EXPECT_TRUE(controlOptionP.display().startsWith(QStringLiteral("\u2303\u2325")));
}

TEST_F(SettingsTextsTest, NotchCaptionDependsOnAConnectedNotch)
{
    EXPECT_TRUE(SettingsTexts::notchCaption(true).startsWith("The name sits in the menu bar band"));
    EXPECT_TRUE(SettingsTexts::notchCaption(false).startsWith("For MacBooks with a notch. None is connected"));
}

TEST_F(SettingsTextsTest, IdleChoicesAndWidthLabel)
{
    const auto& choices = SettingsTexts::idleChoices();
    ASSERT_EQ(choices.size(), 4);
    EXPECT_EQ(choices[0], std::make_pair(qint64(1), QStringLiteral("1 min")));
    EXPECT_EQ(choices[3], std::make_pair(qint64(10), QStringLiteral("10 min")));
    EXPECT_EQ(SettingsTexts::widthLabel(240), "240 pt");
    EXPECT_EQ(SettingsTexts::widthLabel(100.4), "100 pt");
}

// --- notch screens -----------------------------------------------------------

TEST_F(SettingsTextsTest, NotchNeedsBothTopAreasWithAGapBetween)
{
    platform::Screen plain;
    plain.frame = QRectF(0, 0, 1512, 982);
    EXPECT_FALSE(NotchScreens::notchRect(plain));

    platform::Screen notched = plain;
    notched.auxiliaryTopLeftArea = QRectF(0, 950, 660, 32);
    notched.auxiliaryTopRightArea = QRectF(852, 950, 660, 32);
    EXPECT_EQ(NotchScreens::notchRect(notched), QRectF(660, 950, 192, 32));

    platform::Screen touching = plain;
    touching.auxiliaryTopLeftArea = QRectF(0, 950, 756, 32);
    touching.auxiliaryTopRightArea = QRectF(756, 950, 756, 32);
    EXPECT_FALSE(NotchScreens::notchRect(touching));

    platform::Screen oneSided = plain;
    oneSided.auxiliaryTopLeftArea = notched.auxiliaryTopLeftArea;
    EXPECT_FALSE(NotchScreens::notchRect(oneSided));

    EXPECT_FALSE(NotchScreens::anyNotch({plain, touching}));
    EXPECT_TRUE(NotchScreens::anyNotch({plain, notched}));
    EXPECT_FALSE(NotchScreens::anyNotch({}));
}

// --- slider value texts --------------------------------------------------------

TEST_F(SettingsTextsTest, SliderValueTextsRoundAndTruncateAsEachRowSays)
{
    EXPECT_EQ(SettingsTexts::pillScaleLabel(1.0), "100%");
    EXPECT_EQ(SettingsTexts::pillScaleLabel(0.85), "85%");
    EXPECT_EQ(SettingsTexts::pillScaleLabel(1.6), "160%");
    EXPECT_EQ(SettingsTexts::pillOffsetLabel(-12.0), "-12 pt");
    EXPECT_EQ(SettingsTexts::pillOffsetLabel(0), "0 pt");
    EXPECT_EQ(SettingsTexts::pillOffsetLabel(-0.7), "0 pt");
    EXPECT_EQ(SettingsTexts::pillOffsetLabel(79.9), "79 pt");
    EXPECT_EQ(SettingsTexts::tagDurationLabel(1.2), "1.2 s");
    EXPECT_EQ(SettingsTexts::tagDurationLabel(4), "4.0 s");
    EXPECT_EQ(SettingsTexts::hoverDelayLabel(0.45), "0.45 s");
    EXPECT_EQ(SettingsTexts::hoverDelayLabel(1.5), "1.50 s");
}
