#include "AppTest.h"

#include "app/LinkServer.h"

#include "settings/SettingsModel.h"
#include "platform/sim/World.h"
#include "store/SpaceStore.h"

namespace {

using platform::sim::World;

class LinkHandlingTest : public AppTest {
protected:
    LinkHandlingTest() { delegate->launch(); }

    void open(const QList<QString>& urls)
    {
        delegate->applicationOpenURLs(urls);
        advance(1);
    }

    qint64 activeNumber() const { return SpaceEngine::shared().activeDesktop()->number; }
};

// --- following links ---------------------------------------------------------------------

TEST_F(LinkHandlingTest, ANumberLinkSwitchesWithReasonLink)
{
    open({QStringLiteral("TESSAROOM://SWITCH/2")});
    EXPECT_EQ(activeNumber(), 2);
    EXPECT_TRUE(switchesLog().contains(QStringLiteral("link")));
}

TEST_F(LinkHandlingTest, ANamedLinkSwitchesToTheBestMatch)
{
    const Desktop third = *SpaceEngine::shared().desktopWithNumber(3);
    SpaceStore::shared().change(third.managedID(), [](SpaceMeta& meta) { meta.name = QStringLiteral("Music"); });
    open({QStringLiteral("tessaroom://switch/mus")});
    EXPECT_EQ(activeNumber(), 3);
}

TEST_F(LinkHandlingTest, FailuresAreLoggedAndToastedWithTheLinkSymbol)
{
    open({QStringLiteral("tessaroom://switch/-1")});
    EXPECT_TRUE(switchesLog().contains(QStringLiteral("link: There is no Desktop -1")));
    ASSERT_TRUE(lastToast());
    EXPECT_EQ(lastToast()->text, QStringLiteral("There is no Desktop -1"));
    EXPECT_EQ(lastToast()->symbol, QStringLiteral("link"));

    open({QStringLiteral("tessaroom://switch/zzqqxx")});
    EXPECT_EQ(lastToast()->text, QStringLiteral("No desktop matches \u201Czzqqxx\u201D"));

    open({QStringLiteral("tessaroom://settings/nope")});
    EXPECT_EQ(lastToast()->text, QStringLiteral("There is no Settings page called \u201Cnope\u201D"));
}

TEST_F(LinkHandlingTest, AFailureToastStaysThreeSeconds)
{
    delegate->applicationOpenURLs({QStringLiteral("tessaroom://switch/99")});
    clock().runPending();
    advance(2.9);
    EXPECT_TRUE(toastShowing());
    advance(0.2);
    EXPECT_FALSE(toastShowing());
}

TEST_F(LinkHandlingTest, SettingsPagesAreMatchedWithoutCase)
{
    open({QStringLiteral("tessaroom://settings/SHORTCUTS")});
    EXPECT_EQ(delegate->settingsModel().page(), SettingsPage::shortcuts);
    open({QStringLiteral("tessaroom://settings/timetracking")});
    EXPECT_EQ(delegate->settingsModel().page(), SettingsPage::timeTracking);
}

TEST_F(LinkHandlingTest, LinesAboutLinksNotUnderstoodAreTwentyAMinuteAndTheRestCounted)
{
    for (int link = 0; link < 25; ++link)
        delegate->handleLinkBytes("nonsense" + QByteArray::number(link));
    EXPECT_EQ(switchesLog().count(QStringLiteral("link not understood: ")), 20);
    EXPECT_FALSE(switchesLog().contains(QStringLiteral("more not understood")));
    advance(60);
    EXPECT_TRUE(switchesLog().endsWith(QStringLiteral("] \u2026 and 5 more not understood\n"))) << qPrintable(switchesLog());
    delegate->handleLinkBytes("again");
    EXPECT_TRUE(switchesLog().endsWith(QStringLiteral("] link not understood: again\n")));
}

TEST_F(LinkHandlingTest, LinksThatAreNotUnderstood)
{
    open({QStringLiteral("tessaroom://switch/")});
    EXPECT_TRUE(switchesLog().contains(QStringLiteral("link not understood: tessaroom://switch/")));
    EXPECT_EQ(lastToast()->text, QStringLiteral("Tessaroom doesn't know the link tessaroom://switch/"));
    open({QStringLiteral("tessaroom://previous")});
    EXPECT_TRUE(switchesLog().contains(QStringLiteral("link not understood: tessaroom://previous")));
}

TEST_F(LinkHandlingTest, StepsAndJumpBack)
{
    open({QStringLiteral("tessaroom://next")});
    EXPECT_EQ(activeNumber(), 2);
    open({QStringLiteral("tessaroom://prev")});
    EXPECT_EQ(activeNumber(), 1);
    open({QStringLiteral("tessaroom://switch/3")});
    open({QStringLiteral("tessaroom://back")});
    EXPECT_EQ(activeNumber(), 1);
}

TEST_F(LinkHandlingTest, ThePresentationLinkFlipsTheModeAndTheSinkToasts)
{
    open({QStringLiteral("tessaroom://presentation")});
    EXPECT_TRUE(settings.presenting());
    EXPECT_TRUE(switchesLog().contains(QStringLiteral("presentation mode on")));
}

// --- batches and bad input --------------------------------------------------------------------

TEST_F(LinkHandlingTest, ABatchRunsInOrderAndAFailureDoesNotStopIt)
{
    open({QStringLiteral("tessaroom://nowhere"), QStringLiteral("tessaroom://switch/99"),
          QStringLiteral("tessaroom://settings/general"), QStringLiteral("tessaroom://switch/2")});
    const QString log = switchesLog();
    const qsizetype notUnderstood = log.indexOf(QStringLiteral("link not understood: tessaroom://nowhere"));
    const qsizetype noDesktop = log.indexOf(QStringLiteral("link: There is no Desktop 99"));
    ASSERT_GE(notUnderstood, 0);
    ASSERT_GE(noDesktop, 0);
    EXPECT_LT(notUnderstood, noDesktop);
    EXPECT_EQ(delegate->settingsModel().page(), SettingsPage::general);
    EXPECT_EQ(activeNumber(), 2);
}

TEST_F(LinkHandlingTest, BytesThatAreNotTextAreNotUnderstoodAndTheNextLinkRuns)
{
    delegate->handleLinkBytes(QByteArray("tessaroom://switch/\xff\xfe", 21));
    delegate->handleLinkBytes(QByteArray("tessaroom://switch/2"));
    advance(1);
    EXPECT_TRUE(switchesLog().contains(QStringLiteral("link not understood: tessaroom://switch/")));
    EXPECT_TRUE(switchesLog().contains(QStringLiteral("(not UTF-8 text)")));
    EXPECT_EQ(activeNumber(), 2);
}

TEST_F(LinkHandlingTest, AnOverlongLinkIsRefusedWithoutBeingFollowed)
{
    QByteArray huge("tessaroom://switch/");
    huge.append(QByteArray(LinkServer::maxLinkBytes, '2'));
    delegate->handleLinkBytes(huge);
    const QString log = switchesLog();
    EXPECT_TRUE(log.contains(QStringLiteral("link not understood: (a link of ") + QString::number(huge.size())));
    EXPECT_LT(log.size(), 10'000);
    EXPECT_EQ(activeNumber(), 1);
}

TEST_F(LinkHandlingTest, ALongLinkIsNotUnderstoodAndCutToTwoHundredCharacters)
{
    const QString link = QStringLiteral("tessaroom://switch/") + QString(5000, QLatin1Char('x'));
    open({link});
    const QString shown = link.left(AppDelegate::shownLinkCharacters) + QStringLiteral("\u2026");
    ASSERT_TRUE(lastToast());
    EXPECT_EQ(lastToast()->text, QStringLiteral("Tessaroom doesn't know the link ") + shown);
    EXPECT_TRUE(switchesLog().contains(QStringLiteral("link not understood: ") + shown + QLatin1Char('\n')));
}

TEST_F(LinkHandlingTest, ANameOverAThousandCharactersIsNotSearchedFor)
{
    const Desktop third = *SpaceEngine::shared().desktopWithNumber(3);
    SpaceStore::shared().change(third.managedID(), [](SpaceMeta& meta) { meta.name = QStringLiteral("Music"); });
    // 1,001 characters once decoded.
    open({QStringLiteral("tessaroom://switch/Music") + QStringLiteral("%20").repeated(996)});
    EXPECT_EQ(activeNumber(), 1);
    EXPECT_TRUE(switchesLog().contains(QStringLiteral("link not understood: tessaroom://switch/Music")));
    EXPECT_FALSE(switchesLog().contains(QStringLiteral("No desktop matches")));
}

TEST_F(LinkHandlingTest, ControlCharactersAreShownEscapedNeverWritten)
{
    open({QStringLiteral("tessaroom://switch/a%0A%5Bforged%5D%20b%1B%5B2Jc%00d%E2%80%A8e")});
    const QString shown = QStringLiteral("a\\n[forged] b\\x1b[2Jc\\0d\\u2028e");
    ASSERT_TRUE(lastToast());
    EXPECT_EQ(lastToast()->text, QStringLiteral("No desktop matches \u201C") + shown + QStringLiteral("\u201D"));
    const QString log = switchesLog();
    EXPECT_TRUE(log.contains(QStringLiteral("link: No desktop matches \u201C") + shown + QStringLiteral("\u201D\n")));
    EXPECT_FALSE(log.contains(QStringLiteral("\n[forged]")));
    EXPECT_FALSE(log.contains(QChar(0x1b)));
    EXPECT_FALSE(log.contains(QChar(0)));

    open({QStringLiteral("tessaroom://settings/%07%07")});
    EXPECT_EQ(lastToast()->text, QStringLiteral("There is no Settings page called \u201C\\x07\\x07\u201D"));
}

TEST_F(LinkHandlingTest, RawControlCharactersInALinkAreEscapedToo)
{
    delegate->handleLinkBytes(QByteArray("tessaroom://switch/1\n[forged]\x1b[2J"));
    advance(1);
    EXPECT_TRUE(switchesLog().contains(QStringLiteral("link not understood: tessaroom://switch/1\\n[forged]\\x1b[2J\n")));
    EXPECT_EQ(activeNumber(), 1);
}

TEST_F(LinkHandlingTest, BytesEndingInsideACharacterAreNotUnderstood)
{
    delegate->handleLinkBytes(QByteArray("tessaroom://switch/4\xF0\x9F"));
    advance(1);
    EXPECT_EQ(activeNumber(), 1);
    EXPECT_TRUE(switchesLog().contains(QStringLiteral("(not UTF-8 text)")));
}

TEST_F(LinkHandlingTest, MalformedTextIsNotUnderstood)
{
    open({QStringLiteral("tessaroom://sw itch/2"), QStringLiteral("::::"), QString()});
    EXPECT_EQ(switchesLog().count(QStringLiteral("link not understood: ")), 3);
    EXPECT_EQ(activeNumber(), 1);
}

} // namespace
