#include "UiTest.h"

#include "ui/AppCommands.h"
#include "ui/SettingsPage.h"

#include <QWidget>

namespace {

class AppEnvironmentTest : public UiTest {};

} // namespace

// --- settings pages ---

TEST_F(AppEnvironmentTest, PagesComeInTabOrderWithTheirNames)
{
    const QList<SettingsPage>& all = SettingsPages::allCases();
    ASSERT_EQ(all.size(), 8);
    EXPECT_EQ(all.first(), SettingsPage::spaces);
    EXPECT_EQ(all.last(), SettingsPage::about);
    QStringList raw;
    for (SettingsPage page : all)
        raw.append(SettingsPages::rawValue(page));
    EXPECT_EQ(raw.join(','),
              QStringLiteral("spaces,missionControl,switchTag,spaceHover,shortcuts,timeTracking,general,about"));
    EXPECT_EQ(SettingsPages::label(SettingsPage::timeTracking), QStringLiteral("Time"));
    EXPECT_EQ(SettingsPages::title(SettingsPage::about), QStringLiteral("About Tessaroom"));
    EXPECT_EQ(SettingsPages::symbol(SettingsPage::spaceHover), QStringLiteral("cursorarrow.motionlines"));
}

TEST_F(AppEnvironmentTest, RawValueLookupIsCaseSensitive)
{
    EXPECT_EQ(SettingsPages::fromRawValue(QStringLiteral("timeTracking")), SettingsPage::timeTracking);
    EXPECT_FALSE(SettingsPages::fromRawValue(QStringLiteral("TimeTracking")).has_value());
    EXPECT_FALSE(SettingsPages::fromRawValue(QString()).has_value());
}

// --- commands in the environment ---

TEST_F(AppEnvironmentTest, ViewWithoutEnvironmentGetsTheSharedInertCommands)
{
    QWidget view;
    AppCommands& first = AppEnvironment::commands(&view);
    EXPECT_EQ(&first, &InertCommands::shared());
    EXPECT_EQ(&AppEnvironment::commands(&view), &first);
    EXPECT_EQ(first.diagnosticsText(), QString());
}

TEST_F(AppEnvironmentTest, NestedViewFindsTheCommandsOfItsRoot)
{
    InertCommands commands; // not the shared one
    QWidget root;
    auto* middle = new QWidget(&root);
    auto* leaf = new QWidget(middle);
    EXPECT_EQ(AppEnvironment::withAppEnvironment(&root, commands), &root);
    EXPECT_EQ(&AppEnvironment::commands(leaf), &commands);
    QWidget stranger;
    EXPECT_EQ(&AppEnvironment::commands(&stranger), &InertCommands::shared());
}
