#include "LateModeTest.h"

#include "store/SpaceStore.h"

#include <QDir>
#include <QFile>

namespace {

class LateModeDispatchTest : public LateModeTest {
protected:
    // Four desktops (space ids 1 to 4) on one display, the first on screen.
    void SetUp() override { addDisplays({4}); }
};

// --- no mode ---

TEST_F(LateModeDispatchTest, WithoutARecognisedFlagTheLaunchGoesOn)
{
    EXPECT_FALSE(runLate({"--verbose", "--switchx", "2"}));
    EXPECT_TRUE(lines().isEmpty());
    EXPECT_FALSE(SpaceStore::shared().isFrozen());
    advance(5);
    EXPECT_FALSE(status);
}

TEST_F(LateModeDispatchTest, FlagsWithoutTheirValueDoNotMatch)
{
    EXPECT_FALSE(runLate({"--switch"}));
    EXPECT_FALSE(runLate({"--render"}));
    EXPECT_FALSE(runLate({"--capture"}));
    EXPECT_TRUE(lines().isEmpty());
    EXPECT_FALSE(status);
}

// --- sample data ---

TEST_F(LateModeDispatchTest, SampleAloneLoadsTheDesktopsLogsOnceAndLetsTheLaunchGoOn)
{
    EXPECT_FALSE(runLate({"--sample"}));
    EXPECT_EQ(engine().desktopWithID(1)->name(), "Deep Work");
    EXPECT_EQ(engine().desktopWithID(3)->name(), "Code");
    EXPECT_TRUE(SpaceStore::shared().isFrozen());
    EXPECT_EQ(switchesLog().count("running on sample data for this session"), 1);
    EXPECT_TRUE(lines().isEmpty());
}

TEST_F(LateModeDispatchTest, CaptureWithSampleLoadsTheDesktopsWithoutTheLogLine)
{
    EXPECT_TRUE(runLate({"--capture", home() + "/shots", "--sample"}));
    EXPECT_EQ(engine().desktopWithID(1)->name(), "Deep Work");
    EXPECT_FALSE(switchesLog().contains("running on sample data"));
}

TEST_F(LateModeDispatchTest, CaptureWithoutSampleKeepsTheUsersNames)
{
    name(2, "Mine");
    EXPECT_TRUE(runLate({"--capture", home() + "/shots"}));
    EXPECT_FALSE(SpaceStore::shared().isFrozen());
    EXPECT_EQ(engine().desktopWithID(2)->name(), "Mine");
}

TEST_F(LateModeDispatchTest, SampleCombinesWithTheSwitch)
{
    EXPECT_TRUE(runLate({"--sample", "--switch", "Code"}));
    EXPECT_EQ(lines(), QStringList{"switching to Desktop 3 'Code'"});
    EXPECT_EQ(switchesLog().count("running on sample data for this session"), 1);
}

// --- switch inside this process ---

TEST_F(LateModeDispatchTest, SwitchByNumberSwitchesAndExitsAfterTwoAndAHalfSeconds)
{
    EXPECT_TRUE(runLate({"--switch", "2"}));
    EXPECT_EQ(lines(), QStringList{"switching to Desktop 2 'Desktop 2'"});
    // Over only once it has landed.
    EXPECT_EQ(switchesOver, 0);
    advance(0.5);
    EXPECT_EQ(active()->id(), 2u);
    EXPECT_EQ(switchesOver, 1);
    advance(1.9);
    EXPECT_FALSE(status);
    advance(0.2);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(switchesLog().contains("cli")) << qPrintable(switchesLog());
}

TEST_F(LateModeDispatchTest, ANumberNoDesktopHasFallsBackToTheNames)
{
    name(3, "0");
    EXPECT_TRUE(runLate({"--switch", "0"}));
    EXPECT_EQ(lines(), QStringList{"switching to Desktop 3 '0'"});
}

TEST_F(LateModeDispatchTest, ANameIsSearched)
{
    name(4, "Mail");
    EXPECT_TRUE(runLate({"--switch", "Mail"}));
    EXPECT_EQ(lines(), QStringList{"switching to Desktop 4 'Mail'"});
    advance(3);
    EXPECT_EQ(active()->id(), 4u);
    EXPECT_EQ(status, 0);
}

TEST_F(LateModeDispatchTest, SignedNumbersReadAsNumbersAndOthersAsNames)
{
    EXPECT_TRUE(runLate({"--switch", "+2"}));
    EXPECT_EQ(lines(), QStringList{"switching to Desktop 2 'Desktop 2'"});
    printed.clear();
    // " 2" and "2x" are not whole numbers; beyond 64 bits is not one either.
    EXPECT_TRUE(runLate({"--switch", "99999999999999999999"}));
    EXPECT_EQ(lines(), QStringList{"no desktop matches '99999999999999999999'"});
}

TEST_F(LateModeDispatchTest, NoMatchSaysSoAndExitsWithAFailure)
{
    EXPECT_TRUE(runLate({"--switch", "Nowhere"}));
    EXPECT_EQ(lines(), QStringList{"no desktop matches 'Nowhere'"});
    EXPECT_EQ(switchesOver, 1);
    advance(2.6);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(active()->id(), 1u);
}

TEST_F(LateModeDispatchTest, EmptyHugeAndBrokenArgumentsFindNothingCalmly)
{
    EXPECT_TRUE(runLate({"--switch", ""}));
    EXPECT_EQ(lines(), QStringList{"no desktop matches ''"});
    printed.clear();
    const QString huge(10'000, QLatin1Char('q'));
    EXPECT_TRUE(runLate({"--switch", huge}));
    EXPECT_EQ(lines(), QStringList{"no desktop matches '" + huge + "'"});
    printed.clear();
    // What the system makes of bytes that are not UTF-8.
    const QString broken = QString::fromUtf8("\xff\xfe\x41");
    EXPECT_TRUE(runLate({"--switch", broken}));
    EXPECT_EQ(lines().size(), 1);
    advance(3);
    EXPECT_EQ(status, 1);
}

// --- self test ---

TEST_F(LateModeDispatchTest, SelfTestFollowedByAFlagRunsWithoutATranscript)
{
    const QString before = QDir::currentPath();
    EXPECT_TRUE(runLate({"--selftest", "--x"}));
    ASSERT_FALSE(lines().isEmpty());
    EXPECT_TRUE(lines().first().startsWith("selftest: start on Desktop 1, switching to Desktop 2 ")) << qPrintable(printed);
    EXPECT_FALSE(QFile::exists(before + "/--x"));
    EXPECT_FALSE(QFile::exists(home() + "/--x"));
}

TEST_F(LateModeDispatchTest, SelfTestWithAPathClearsItAndWritesEveryLine)
{
    const QString path = home() + "/selftest.log";
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("left from before\n");
    old.close();
    EXPECT_TRUE(runLate({"--selftest", path}));
    advance(10);
    ASSERT_TRUE(status);
    QFile transcript(path);
    ASSERT_TRUE(transcript.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(transcript.readAll());
    EXPECT_EQ(text, lines().join('\n') + '\n');
    EXPECT_FALSE(text.contains("left from before"));
}

TEST_F(LateModeDispatchTest, CaptureComesBeforeRenderAndSelfTest)
{
    EXPECT_TRUE(runLate({"--selftest", "--render", home() + "/r", "--capture", home() + "/c"}));
    EXPECT_FALSE(printed.contains("selftest:"));
}

} // namespace
