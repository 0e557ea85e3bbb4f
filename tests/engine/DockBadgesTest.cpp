#include "EngineTest.h"

#include "engine/DockBadges.h"
#include "platform/NotificationCenter.h"

#include <QUrl>

using platform::sim::DockItemSpec;

class DockBadgesTest : public EngineTest {
protected:
    DockBadgesTest()
    {
        addApp(500, QStringLiteral("Mail"));
        addApp(501, QStringLiteral("Chat"));
        posts_ = platform::NotificationCenter::defaultCenter().observe(DockBadges::badgesDidChange, [this] { ++posted_; });
    }

    static DockItemSpec item(const QString& title, const std::optional<QString>& label,
                             const std::optional<QString>& path = std::nullopt, std::optional<bool> running = true)
    {
        std::optional<QUrl> url;
        if (path)
            url = QUrl::fromLocalFile(*path);
        return {title, label, url, running};
    }

    int posted_ = 0;
    platform::NotificationCenter::Subscription posts_;
};

TEST_F(DockBadgesTest, NormalizeKeepsIntegersAndMarksEverythingElse)
{
    EXPECT_EQ(DockBadges::normalize(QStringLiteral(" 3 \n")), QStringLiteral("3"));
    EXPECT_EQ(DockBadges::normalize(QStringLiteral("12")), QStringLiteral("12"));
    EXPECT_EQ(DockBadges::normalize(QStringLiteral("+7")), QStringLiteral("+7"));
    EXPECT_EQ(DockBadges::normalize(QStringLiteral("!")), QStringLiteral("•"));
    EXPECT_EQ(DockBadges::normalize(QStringLiteral("new")), QStringLiteral("•"));
    EXPECT_EQ(DockBadges::normalize(QStringLiteral("99999999999999999999")), QStringLiteral("•"));
    EXPECT_EQ(DockBadges::normalize(QStringLiteral("1 2")), QStringLiteral("•"));
    EXPECT_EQ(DockBadges::normalize(QStringLiteral("   ")), std::nullopt);
}

TEST_F(DockBadgesTest, SummaryStandsForSeveralBadges)
{
    using L = QStringList;
    EXPECT_EQ(DockBadges::summary({}), std::nullopt);
    EXPECT_EQ(DockBadges::summary(L{"3", "•"}), QStringLiteral("3"));
    EXPECT_EQ(DockBadges::summary(L{"•"}), QStringLiteral("•"));
    EXPECT_EQ(DockBadges::summary(L{"60", "45"}), QStringLiteral("99+"));
    EXPECT_EQ(DockBadges::summary(L{"0"}), QStringLiteral("•"));
    EXPECT_EQ(DockBadges::summary(L{"5", "-2"}), QStringLiteral("3"));
    EXPECT_EQ(DockBadges::summary(L{"-5"}), QStringLiteral("-5"));
    EXPECT_EQ(DockBadges::summary(L{"99"}), QStringLiteral("99"));
    EXPECT_EQ(DockBadges::summary(L{"100"}), QStringLiteral("99+"));
    // Untrimmed texts do not read as numbers.
    EXPECT_EQ(DockBadges::summary(L{" 4"}), QStringLiteral("•"));
    EXPECT_EQ(DockBadges::summary(L{"9223372036854775807", "9223372036854775807"}), QStringLiteral("99+"));
}

TEST_F(DockBadgesTest, ReadsBadgesOfRunningRegularApps)
{
    addApp(502, QStringLiteral("Agent"), platform::ActivationPolicy::accessory);
    world().setDockItems({item(QStringLiteral("Mail"), QStringLiteral(" 3 ")),
                          item(QStringLiteral("Chat"), QStringLiteral("")),
                          item(QStringLiteral("Agent"), QStringLiteral("2")),
                          item(QStringLiteral("Notes"), QStringLiteral("9"))});
    const auto badges = DockBadges::readDock();
    EXPECT_EQ(badges, (QHash<qint32, QString>{{500, QStringLiteral("3")}}));
}

TEST_F(DockBadgesTest, ItemsNotRunningOrWithoutTheAttributeAreSkipped)
{
    world().setDockItems({item(QStringLiteral("Mail"), QStringLiteral("3"), std::nullopt, false),
                          item(QStringLiteral("Chat"), QStringLiteral("1"), std::nullopt, std::nullopt)});
    EXPECT_TRUE(DockBadges::readDock().isEmpty());
}

TEST_F(DockBadgesTest, LaterItemWithTheSameTitleWins)
{
    world().setDockItems({item(QStringLiteral("Mail"), QStringLiteral("3")), item(QStringLiteral("Mail"), QStringLiteral("8"))});
    EXPECT_EQ(DockBadges::readDock().value(500), QStringLiteral("8"));
}

TEST_F(DockBadgesTest, BundlePathMatchComesBeforeTheName)
{
    world().setDockItems({item(QStringLiteral("Post"), QStringLiteral("4"), QStringLiteral("/Applications/Mail.app/")),
                          item(QStringLiteral("Mail"), QStringLiteral("6"))});
    EXPECT_EQ(DockBadges::readDock().value(500), QStringLiteral("4"));
}

TEST_F(DockBadgesTest, NoDockOrNoListReadsNothing)
{
    EXPECT_TRUE(DockBadges::readDock().isEmpty()); // no Dock process at all
    world().setDockItems({item(QStringLiteral("Mail"), QStringLiteral("3"))});
    const qint32 dock = world().dockPID();
    // A Dock whose tree has no list (an element with another role in front).
    world().removeApp(dock);
    platform::sim::AppSpec bare;
    bare.pid = 96;
    bare.bundleID = QStringLiteral("com.apple.dock");
    world().addApp(bare);
    world().addElement(96, {}, {{QStringLiteral("AXRole"), QStringLiteral("AXGroup")}});
    EXPECT_TRUE(DockBadges::readDock().isEmpty());
}

TEST_F(DockBadgesTest, RefreshPublishesChangesOnceOnTheMainQueue)
{
    world().setDockItems({item(QStringLiteral("Mail"), QStringLiteral("3"))});
    DockBadges& badges = DockBadges::shared();
    badges.refresh();
    EXPECT_TRUE(badges.reading());
    EXPECT_TRUE(badges.badges().isEmpty());
    advance(0);
    EXPECT_FALSE(badges.reading());
    EXPECT_EQ(badges.badges().value(500), QStringLiteral("3"));
    EXPECT_EQ(posted_, 1);
    EXPECT_EQ(badges.lastRead(), platform::now());
    badges.refresh();
    advance(0);
    EXPECT_EQ(posted_, 1);
    world().setDockItems({});
    badges.refresh();
    advance(0);
    EXPECT_TRUE(badges.badges().isEmpty());
    EXPECT_EQ(posted_, 2);
}

TEST_F(DockBadgesTest, WithoutAccessibilityNothingIsReadAndNothingPosted)
{
    world().setDockItems({item(QStringLiteral("Mail"), QStringLiteral("3"))});
    DockBadges& badges = DockBadges::shared();
    badges.refresh();
    advance(0);
    world().setTrusted(false);
    world().setDockItems({});
    for (int i = 0; i < 3; ++i) {
        badges.refresh();
        advance(0);
    }
    EXPECT_FALSE(badges.reading());
    EXPECT_EQ(badges.badges().value(500), QStringLiteral("3"));
    EXPECT_EQ(posted_, 1);
}

TEST_F(DockBadgesTest, RefreshDuringAReadIsIgnored)
{
    world().setDockItems({item(QStringLiteral("Mail"), QStringLiteral("3"))});
    DockBadges& badges = DockBadges::shared();
    badges.refresh();
    const int reads = world().callCount(QStringLiteral("copyAttributeValue"));
    badges.refresh();
    EXPECT_EQ(world().callCount(QStringLiteral("copyAttributeValue")), reads);
    advance(0);
    badges.refresh();
    EXPECT_GT(world().callCount(QStringLiteral("copyAttributeValue")), reads);
}

TEST_F(DockBadgesTest, ReadingSetsTheDocksMessagingTimeout)
{
    world().setDockItems({item(QStringLiteral("Mail"), QStringLiteral("3"))});
    DockBadges::readDock();
    EXPECT_FLOAT_EQ(world().messagingTimeout(platform::AX::createApplication(world().dockPID())), 0.5f);
}
