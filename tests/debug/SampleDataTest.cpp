#include "debug/SampleData.h"
#include "LateModeTest.h"

#include "platform/NotificationCenter.h"
#include "platform/PreferenceDomain.h"
#include "platform/Workspace.h"
#include "platform/sim/InstalledApps.h"
#include "store/SpaceStore.h"

namespace {

class SampleDataTest : public LateModeTest {
protected:
    // One display with count desktops (space ids 1.., managed ids 1001..),
    // the one at position current (1-based) on screen.
    void desktopsWithCurrent(int count, int current)
    {
        addDisplays({count});
        world().setCurrentSpace(QStringLiteral("D1"), quint64(current));
        clock().runPending();
        engine().refresh(false);
    }

    static void load() { SampleData::load(engine(), SpaceStore::shared()); }

    static QStringList appNames(quint64 spaceID)
    {
        QStringList names;
        for (const SpaceApp& app : engine().apps(*engine().desktopWithID(spaceID)))
            names << app.name;
        return names;
    }

    static std::optional<QByteArray> storedDocument()
    {
        return platform::PreferenceDomain::standard().data(SpaceStore::documentKey);
    }

    static SpaceApp appOn(quint64 spaceID, qsizetype position)
    {
        return engine().apps(*engine().desktopWithID(spaceID)).at(position);
    }
};

// --- names, icons and times ---

TEST_F(SampleDataTest, ASingleDesktopIsDeepWorkWithNotesAndReminders)
{
    addDisplays({1});
    load();
    const Desktop only = *engine().desktopWithID(1);
    EXPECT_EQ(only.displayName(), "Deep Work");
    EXPECT_EQ(only.icon(), SpaceIcon::symbol("bolt.fill"));
    EXPECT_DOUBLE_EQ(only.meta().seconds, 4.37 * 3600);
    EXPECT_EQ(appNames(1), (QStringList{"Notes", "Reminders"}));
    EXPECT_EQ(appOn(1, 0).pid, 100000);
    EXPECT_EQ(appOn(1, 1).pid, 100001);
}

TEST_F(SampleDataTest, NineDesktopsWithTheThirdCurrentTakeTheNamesInTableOrder)
{
    desktopsWithCurrent(9, 3);
    load();
    QStringList names;
    for (const Desktop& desktop : engine().desktops())
        names << desktop.name();
    EXPECT_EQ(names, (QStringList{"", "Code", "Deep Work", "Design", "Mail", "Research", "Music", "Chat", ""}));
    EXPECT_DOUBLE_EQ(engine().desktopWithID(3)->meta().seconds, 4.37 * 3600);
    EXPECT_DOUBLE_EQ(engine().desktopWithID(2)->meta().seconds, 2.4 * 3600);
    EXPECT_EQ(engine().desktopWithID(1)->icon(), SpaceIcon::none());
    EXPECT_EQ(engine().desktopWithID(8)->icon(), SpaceIcon::symbol("bubble.left.and.bubble.right.fill"));
    EXPECT_EQ(engine().desktopWithID(1)->displayName(), "Desktop 1");
    EXPECT_EQ(appNames(1), QStringList{"Finder"});
    EXPECT_EQ(appNames(9), QStringList{"Finder"});
    EXPECT_EQ(appNames(6), (QStringList{"Safari", "Notes"}));
    // Sample desktops keep the automatic colour and have no own shortcut.
    for (const Desktop& desktop : engine().desktops()) {
        EXPECT_EQ(desktop.meta().color, TileColor()) << desktop.number;
        EXPECT_FALSE(desktop.meta().hotkey) << desktop.number;
    }
}

TEST_F(SampleDataTest, WithoutACurrentDesktopTheFirstIsDeepWork)
{
    addDisplays({3});
    world().setCurrentSpace(QStringLiteral("D1"), 2);
    clock().runPending();
    engine().refresh(false);
    load();
    EXPECT_EQ(engine().desktopWithID(2)->name(), "Deep Work");
    EXPECT_EQ(engine().desktopWithID(1)->name(), "");
    EXPECT_EQ(engine().desktopWithID(3)->name(), "Code");
}

// --- apps ---

TEST_F(SampleDataTest, AMissingAppIsLeftOutButKeepsItsPlaceInThePids)
{
    platform::sim::uninstallApp("com.apple.Terminal");
    addDisplays({3});
    load();
    ASSERT_EQ(appNames(3), QStringList{"Safari"});
    EXPECT_EQ(appOn(3, 0).pid, 100021);
}

TEST_F(SampleDataTest, MailAndMessagesCarryTheirBadgesAndNothingElseDoes)
{
    addDisplays({8});
    load();
    // Desktop 5 is "Mail", desktop 8 "Chat".
    EXPECT_EQ(appOn(5, 0).badge, QStringLiteral("3"));
    EXPECT_EQ(appOn(5, 1).name, "Calendar");
    EXPECT_EQ(appOn(5, 1).badge, std::nullopt);
    EXPECT_EQ(appOn(8, 0).name, "Messages");
    EXPECT_EQ(appOn(8, 0).badge, QStringLiteral("1"));
    EXPECT_EQ(appOn(8, 1).badge, std::nullopt);
    EXPECT_EQ(appOn(8, 1).pid, 100071);
}

TEST_F(SampleDataTest, SampleAppsTakeTheIconTheWorkspaceShowsForTheirBundle)
{
    QImage red(8, 8, QImage::Format_ARGB32);
    red.fill(Qt::red);
    platform::sim::installApp("com.apple.Notes", "/Applications/Notes.app");
    platform::sim::setFileIcon("/Applications/Notes.app", red);
    addDisplays({1});
    load();
    EXPECT_EQ(appOn(1, 0).name, "Notes");
    EXPECT_EQ(appOn(1, 0).icon, red);
    EXPECT_FALSE(appOn(1, 1).icon.isNull());
}

TEST_F(SampleDataTest, TheEngineKeepsAnsweringWithTheSampleAppsOverRealWindows)
{
    addDisplays({2});
    addApp(500, "Editor");
    addWindow(9000, 500, 2);
    load();
    engine().appsByDesktop(true);
    advance(30);
    engine().appsByDesktop(false);
    EXPECT_EQ(appNames(2), QStringList{"Finder"});
    EXPECT_EQ(appOn(2, 0).pid, 100010);
}

// --- the frozen store ---

TEST_F(SampleDataTest, LoadingReplacesEveryEntryFreezesTheStoreAndAnnouncesIt)
{
    addDisplays({2});
    name(2, "My own name");
    // An entry for a desktop that is gone.
    SpaceStore::shared().change(5000, [](SpaceMeta& meta) { meta.name = "Old"; });
    advance(5);
    const auto stored = storedDocument();
    ASSERT_TRUE(stored);

    int announced = 0;
    auto subscription = platform::NotificationCenter::defaultCenter().observe(
        QStringLiteral("Tessaroom.spaceMetaChanged"), [&announced] { ++announced; });
    load();
    EXPECT_EQ(announced, 1);
    EXPECT_TRUE(SpaceStore::shared().isFrozen());
    EXPECT_EQ(SpaceStore::shared().metas().size(), 2u);
    EXPECT_EQ(SpaceStore::shared().metas().count(5000), 0u);
    EXPECT_EQ(engine().desktopWithID(2)->name(), "");

    // Edits made while frozen, and tracked time, never reach the file.
    name(1, "Edited");
    advance(30);
    SpaceStore::shared().save();
    EXPECT_EQ(storedDocument(), stored);
}

TEST_F(SampleDataTest, APendingWriteOfTheUsersNamesIsCancelled)
{
    addDisplays({2});
    advance(5);
    name(2, "Typed just now");
    load();
    EXPECT_FALSE(SpaceStore::shared().hasPendingWrite());
    advance(30);
    EXPECT_FALSE(storedDocument().value_or(QByteArray()).contains("Typed just now"));
}

// --- installed applications of the simulated machine ---

TEST_F(SampleDataTest, RunningAppsCountAsInstalledUnlessRemoved)
{
    addApp(500, "Editor");
    EXPECT_EQ(platform::Workspace::urlForApplication("com.example.editor"),
              QUrl::fromLocalFile("/Applications/Editor.app"));
    EXPECT_EQ(platform::Workspace::urlForApplication("com.apple.finder"),
              QUrl::fromLocalFile("/System/Library/CoreServices/Finder.app"));
    EXPECT_EQ(platform::Workspace::urlForApplication("com.example.nothing"), std::nullopt);
    platform::sim::uninstallApp("com.example.editor");
    EXPECT_EQ(platform::Workspace::urlForApplication("com.example.editor"), std::nullopt);
    // Drawn icons are the same for the same path.
    EXPECT_EQ(platform::Workspace::icon("/Applications/X.app"), platform::Workspace::icon("/Applications/X.app/"));
}

} // namespace
