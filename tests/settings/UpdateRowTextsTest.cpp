#include "settings/AboutTexts.h"
#include "settings/RelativeTimeText.h"
#include "settings/UpdateRowModel.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

using Action = UpdateRowModel::Action;
using Control = UpdateRowModel::Control;
using Phase = Updates::Phase;

constexpr double now = 1777624200.0;
constexpr double minute = 60;
constexpr double hour = 3600;
constexpr double day = 86400;

UpdateFeed offer(const QString& version = QStringLiteral("1.3"))
{
    UpdateFeed feed;
    feed.version = version;
    feed.released = QStringLiteral("2026-03-07");
    return feed;
}

UpdateRowModel::State state(UpdateRowModel::State base = {})
{
    base.currentVersion = base.currentVersion.isEmpty() ? QStringLiteral("1.2") : base.currentVersion;
    base.now = now;
    return base;
}

QList<std::pair<Action, bool>> buttonsOf(const UpdateRowModel& row)
{
    QList<std::pair<Action, bool>> found;
    for (const auto& button : row.buttons)
        found.append({button.action, button.prominent});
    return found;
}

} // namespace

// --- relative time -----------------------------------------------------------------

TEST(RelativeTimeText, EachUnitStartsAtItsBoundary)
{
    EXPECT_EQ(RelativeTimeText::since(0), "0 seconds ago");
    EXPECT_EQ(RelativeTimeText::since(1), "1 second ago");
    EXPECT_EQ(RelativeTimeText::since(59.9), "59 seconds ago");
    EXPECT_EQ(RelativeTimeText::since(60), "1 minute ago");
    EXPECT_EQ(RelativeTimeText::since(119), "1 minute ago");
    EXPECT_EQ(RelativeTimeText::since(120), "2 minutes ago");
    EXPECT_EQ(RelativeTimeText::since(hour - 1), "59 minutes ago");
    EXPECT_EQ(RelativeTimeText::since(hour), "1 hour ago");
    EXPECT_EQ(RelativeTimeText::since(2 * hour), "2 hours ago");
    EXPECT_EQ(RelativeTimeText::since(day - 1), "23 hours ago");
    EXPECT_EQ(RelativeTimeText::since(day), "1 day ago");
    EXPECT_EQ(RelativeTimeText::since(7 * day - 1), "6 days ago");
    EXPECT_EQ(RelativeTimeText::since(7 * day), "1 week ago");
    EXPECT_EQ(RelativeTimeText::since(30 * day - 1), "4 weeks ago");
    EXPECT_EQ(RelativeTimeText::since(30 * day), "1 month ago");
    EXPECT_EQ(RelativeTimeText::since(365 * day - 1), "12 months ago");
    EXPECT_EQ(RelativeTimeText::since(365 * day), "1 year ago");
    EXPECT_EQ(RelativeTimeText::since(3 * 365 * day), "3 years ago");
}

TEST(RelativeTimeText, FutureMomentsAndOddInputs)
{
    EXPECT_EQ(RelativeTimeText::since(-2 * hour), "in 2 hours");
    EXPECT_EQ(RelativeTimeText::since(-day), "in 1 day");
    EXPECT_EQ(RelativeTimeText::since(-0.5), "0 seconds ago");
    EXPECT_EQ(RelativeTimeText::since(std::numeric_limits<double>::quiet_NaN()), "0 seconds ago");
    EXPECT_EQ(RelativeTimeText::since(std::numeric_limits<double>::infinity()), "0 seconds ago");
    // Far beyond what an int holds: still digits, no wrap-around.
    EXPECT_EQ(RelativeTimeText::since(1e12 * 365 * day), "1000000000000 years ago");
}

// --- last-check text ---------------------------------------------------------------

TEST(LastCheckText, NothingYetThenUpToDateWithTheMoment)
{
    EXPECT_EQ(UpdateRowModel::lastCheckText(state()), "Not checked yet.");
    EXPECT_EQ(UpdateRowModel::lastCheckText(state({.lastChecked = now - 59.9})), "Up to date. Last check a moment ago.");
    EXPECT_EQ(UpdateRowModel::lastCheckText(state({.lastChecked = now - 60})), "Up to date. Last check 1 minute ago.");
    EXPECT_EQ(UpdateRowModel::lastCheckText(state({.lastChecked = now - 2 * hour,
                                                   .lastAttempt = now - 2 * hour,
                                                   .lastOutcome = QStringLiteral("up to date")})),
              "Up to date. Last check 2 hours ago.");
    // A clock set back: a check "in the future" is under a minute ago.
    EXPECT_EQ(UpdateRowModel::lastCheckText(state({.lastChecked = now + 3 * hour})),
              "Up to date. Last check a moment ago.");
}

TEST(LastCheckText, OfferedAndSkippedOutcomes)
{
    // An offer the user then skipped reads up to date again.
    EXPECT_EQ(UpdateRowModel::lastCheckText(state({.lastChecked = now - 5 * minute,
                                                   .lastAttempt = now - 5 * minute,
                                                   .lastOutcome = QStringLiteral("1.3 is available")})),
              "Up to date. Last check 5 minutes ago.");
    EXPECT_EQ(UpdateRowModel::lastCheckText(state({.lastChecked = now - 10,
                                                   .lastAttempt = now - 10,
                                                   .lastOutcome = QStringLiteral("1.3 skipped")})),
              "Last check a moment ago: 1.3 skipped.");
}

TEST(LastCheckText, FailureIsShownWithTheMomentOfTheAttempt)
{
    // First check of a fresh install fails: the failure shows, not "Not checked yet.".
    EXPECT_EQ(UpdateRowModel::lastCheckText(state({.lastAttempt = now - 5,
                                                   .lastOutcome = QStringLiteral("the site answered 503")})),
              "Last check a moment ago: the site answered 503.");
    // A failure after an old success carries its own moment, not the success's.
    EXPECT_EQ(UpdateRowModel::lastCheckText(state({.lastChecked = now - 3 * day,
                                                   .lastAttempt = now - 2 * minute,
                                                   .lastOutcome = QStringLiteral("The request timed out")})),
              "Last check 2 minutes ago: The request timed out.");
    // A description that ends its own sentence gets no second full stop.
    EXPECT_EQ(UpdateRowModel::lastCheckText(state({.lastAttempt = now - 5,
                                                   .lastOutcome = QStringLiteral("The request timed out.")})),
              "Last check a moment ago: The request timed out.");
    EXPECT_EQ(UpdateRowModel::lastCheckText(state({.lastAttempt = now - 5,
                                                   .lastOutcome = QStringLiteral("Could not connect\u2026")})),
              "Last check a moment ago: Could not connect\u2026");
    EXPECT_EQ(UpdateRowModel::lastCheckText(state({.lastAttempt = now - 5,
                                                   .lastOutcome = QStringLiteral("Host not found\nretry later\n")})),
              "Last check a moment ago: Host not found retry later.");
    // Without a moment of its own (not this run) the stored time stands in.
    EXPECT_EQ(UpdateRowModel::lastCheckText(state({.lastChecked = now - 2 * hour,
                                                   .lastOutcome = QStringLiteral("the version file did not read")})),
              "Last check 2 hours ago: the version file did not read.");
}

// --- failure caption ---------------------------------------------------------------

TEST(FailureCaption, FirstCharacterUpperCaseRestKept)
{
    EXPECT_EQ(UpdateRowModel::failureCaption(QStringLiteral("the size is wrong")),
              "The size is wrong. Nothing was installed.");
    EXPECT_EQ(UpdateRowModel::failureCaption(QStringLiteral("SHA mismatch")), "SHA mismatch. Nothing was installed.");
    EXPECT_EQ(UpdateRowModel::failureCaption(QString()), ". Nothing was installed.");
    EXPECT_EQ(UpdateRowModel::failureCaption(QStringLiteral("the disk is full.")),
              "The disk is full. Nothing was installed.");
    EXPECT_EQ(UpdateRowModel::failureCaption(QStringLiteral("\u00e9chec r\u00e9seau")),
              "\u00c9chec r\u00e9seau. Nothing was installed.");
    // A character outside the basic plane is one character, kept whole.
    EXPECT_EQ(UpdateRowModel::failureCaption(QStringLiteral("\U0001D41Ax")), "\U0001D41Ax. Nothing was installed.");
    // A caption is one sentence: line breaks from a description become blanks.
    EXPECT_EQ(UpdateRowModel::failureCaption(QStringLiteral("line one\nline two\r\n\n  three \n")),
              "Line one line two three. Nothing was installed.");
}

// --- the seven states --------------------------------------------------------------

TEST(UpdateRowModelStates, NoOfferIdleAndChecking)
{
    const UpdateRowModel idle = UpdateRowModel::make(state());
    EXPECT_EQ(idle.title, "Version 1.2");
    EXPECT_EQ(idle.caption, "Not checked yet.");
    EXPECT_EQ(idle.control, Control::buttons);
    ASSERT_EQ(idle.buttons.size(), 1);
    EXPECT_EQ(idle.buttons[0], (UpdateRowModel::Button{Action::checkNow, "Check Now", false, true}));

    const UpdateRowModel checking = UpdateRowModel::make(state({.checking = true, .lastChecked = now - 2 * hour}));
    EXPECT_EQ(checking.title, "Checking\u2026");
    EXPECT_EQ(checking.caption, "Up to date. Last check 2 hours ago.");
    ASSERT_EQ(checking.buttons.size(), 1);
    EXPECT_EQ(checking.buttons[0], (UpdateRowModel::Button{Action::checkNow, "Check Now", false, false}));

    EXPECT_EQ(UpdateRowModel::make(state({.currentVersion = QStringLiteral("0")})).title, "Version 0");
}

TEST(UpdateRowModelStates, OfferIdle)
{
    const UpdateRowModel row = UpdateRowModel::make(state({.available = offer(), .lastOutcome = QStringLiteral("x")}));
    EXPECT_EQ(row.title, "Tessaroom 1.3 is available");
    EXPECT_EQ(row.caption, "Released " + offer().releasedText() + ". The current version is 1.2.");
    EXPECT_EQ(buttonsOf(row), (QList<std::pair<Action, bool>>{
                                  {Action::skip, false}, {Action::whatsNew, false}, {Action::download, true}}));
    EXPECT_EQ(row.buttons[0].title, "Skip");
    EXPECT_EQ(row.buttons[1].title, "What's New");
    EXPECT_EQ(row.buttons[2].title, "Download");
}

TEST(UpdateRowModelStates, DownloadingShowsTheFractionClamped)
{
    const UpdateRowModel row = UpdateRowModel::make(state({.available = offer(), .phase = Phase::downloading(0.4)}));
    EXPECT_EQ(row.title, "Downloading Tessaroom 1.3");
    EXPECT_EQ(row.caption, "Checking the size, the hash and the signature before it opens.");
    EXPECT_EQ(row.control, Control::progressBar);
    EXPECT_TRUE(row.buttons.isEmpty());
    EXPECT_DOUBLE_EQ(row.fraction, 0.4);
    EXPECT_EQ(UpdateRowModel::make(state({.available = offer(), .phase = Phase::downloading(1.7)})).fraction, 1.0);
    EXPECT_EQ(UpdateRowModel::make(state({.available = offer(), .phase = Phase::downloading(-1)})).fraction, 0.0);
    EXPECT_EQ(UpdateRowModel::make(
                  state({.available = offer(), .phase = Phase::downloading(std::numeric_limits<double>::quiet_NaN())}))
                  .fraction,
              0.0);
}

TEST(UpdateRowModelStates, ReadyInstallingAndFailed)
{
    const UpdateRowModel ready =
        UpdateRowModel::make(state({.available = offer(), .phase = Phase::ready(QStringLiteral("/x.dmg"), offer())}));
    EXPECT_EQ(ready.title, "Tessaroom 1.3 is downloaded and verified");
    EXPECT_TRUE(ready.caption.startsWith("Install puts it in place of this copy and restarts Tessaroom. "));
    EXPECT_TRUE(ready.caption.contains("names, shortcuts and tracked time stay"));
    EXPECT_EQ(buttonsOf(ready),
              (QList<std::pair<Action, bool>>{{Action::showImage, false}, {Action::installAndRelaunch, true}}));
    EXPECT_EQ(ready.buttons[0].title, "Show Image");
    EXPECT_EQ(ready.buttons[1].title, "Install and Relaunch");

    const UpdateRowModel installing = UpdateRowModel::make(state({.available = offer(), .phase = Phase::installing()}));
    EXPECT_EQ(installing.title, "Installing Tessaroom 1.3");
    EXPECT_EQ(installing.caption, "A few seconds. Tessaroom restarts by itself.");
    EXPECT_EQ(installing.control, Control::busyIndicator);
    EXPECT_TRUE(installing.buttons.isEmpty());

    const UpdateRowModel failed =
        UpdateRowModel::make(state({.available = offer(), .phase = Phase::failed(QStringLiteral("the hash differs"))}));
    EXPECT_EQ(failed.title, "The download did not go through");
    EXPECT_EQ(failed.caption, "The hash differs. Nothing was installed.");
    ASSERT_EQ(failed.buttons.size(), 1);
    EXPECT_EQ(failed.buttons[0], (UpdateRowModel::Button{Action::tryAgain, "Try Again", true, true}));
}

TEST(UpdateRowModelStates, AnOfferNeverShowsTheLastCheckWhateverCheckingSays)
{
    for (const Phase& phase : {Phase::idle(), Phase::downloading(0.2), Phase::ready(QStringLiteral("/x"), offer()),
                               Phase::installing(), Phase::failed(QStringLiteral("no"))}) {
        const UpdateRowModel row = UpdateRowModel::make(
            state({.available = offer(), .checking = true, .phase = phase, .lastChecked = now - hour,
                   .lastOutcome = QStringLiteral("the site answered 500")}));
        EXPECT_FALSE(row.caption.contains("Last check")) << row.caption.toStdString();
        EXPECT_NE(row.title, "Checking\u2026");
    }
}

TEST(UpdateRowModelStates, AnOverlongVersionIsShortenedInTheTitleAndWholeInTheTip)
{
    EXPECT_EQ(UpdateRowModel::shownVersion(QStringLiteral("1.3")), "1.3");
    const QString fits(40, QLatin1Char('1'));
    EXPECT_EQ(UpdateRowModel::shownVersion(fits), fits);
    QString version = QStringLiteral("20");
    while (version.size() < 1000)
        version += QStringLiteral(".0");
    const QString shown = UpdateRowModel::shownVersion(version);
    EXPECT_EQ(shown.size(), 40);
    EXPECT_EQ(shown, version.left(20) + QChar(0x2026) + version.right(19));
    for (const Phase& phase : {Phase::idle(), Phase::downloading(0.2), Phase::ready(QStringLiteral("/x"), offer()),
                               Phase::installing()}) {
        const UpdateRowModel row = UpdateRowModel::make(state({.available = offer(version), .phase = phase}));
        EXPECT_TRUE(row.title.contains(shown)) << row.title.toStdString();
        EXPECT_LT(row.title.size(), 100);
        EXPECT_TRUE(row.toolTip.contains(version));
        EXPECT_EQ(QString(row.toolTip).replace(version, shown), row.title);
    }
    EXPECT_TRUE(UpdateRowModel::make(state({.available = offer()})).toolTip.isEmpty());
}

// --- about texts -------------------------------------------------------------------

TEST(AboutTexts, VersionLineAndFixedCaption)
{
    EXPECT_EQ(AboutTexts::versionLine(QStringLiteral("1.4.2")), "Version 1.4.2 \u00b7 Native Qt \u00b7 macOS 14+");
    // No version text: nothing in its place, never "0".
    EXPECT_EQ(AboutTexts::versionLine(std::nullopt), "Version  \u00b7 Native Qt \u00b7 macOS 14+");
    qputenv("TESSAROOM_UPDATE_FEED", "https://elsewhere.example/update.json");
    EXPECT_EQ(AboutTexts::checkCaption(),
              "One request to updates.tessaroom.app for its version file, and nothing sent.");
    qunsetenv("TESSAROOM_UPDATE_FEED");
    EXPECT_EQ(AboutTexts::underTheHood().size(), 4);
}
