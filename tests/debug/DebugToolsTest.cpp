#include "debug/DebugTools.h"

#include "engine/SpaceEngine.h"
#include "platform/sim/Bundle.h"
#include "platform/sim/SystemVersion.h"
#include "store/Settings.h"
#include "support/MakerFeed.h"
#include "support/PlatformTest.h"
#include "support/ScriptedLoader.h"
#include "update/Updates.h"

#include <QDir>
#include <QTextStream>

#include <optional>
#include <vector>

namespace {

class DebugToolsTest : public PlatformTest {
protected:
    DebugToolsTest()
    {
        QDir(home()).mkpath(QStringLiteral("tmp"));
        qputenv("TMPDIR", QDir(home()).filePath(QStringLiteral("tmp")).toUtf8());
        qunsetenv("TESSAROOM_UPDATE_FEED");
        platform::sim::setBundleShortVersion(QStringLiteral("1.2"));
        platform::sim::setOperatingSystemVersion({14, 6, 1});
    }
    ~DebugToolsTest() override { qunsetenv("TMPDIR"); }

    DebugTools::Environment environment()
    {
        return DebugTools::Environment{
            .engine = SpaceEngine::shared(),
            .settings = Settings::shared(),
            .updates = updates,
            .out = out,
            .exit = [this](int status) { exits.push_back(status); },
            .accessibilityTrusted = [] { return true; },
            .tileLine = {},
            .missionControlOpen = [] { return false; },
            .switchLink = [](const QString& argument) { return QUrl(QStringLiteral("tessaroom://switch/") + argument); },
            .handOverLink = [this](const QUrl& link) {
                delivered.push_back(link);
                return handOver;
            },
            .bundlePath = QDir(home()).filePath(QStringLiteral("Applications/Tessaroom.app")),
        };
    }

    bool early(const QStringList& arguments)
    {
        DebugTools::Environment env = environment();
        return DebugTools::runEarlyCommand(QStringList{QStringLiteral("/Applications/Tessaroom.app/Tessaroom")} + arguments,
                                           env);
    }

    static QByteArray feed(const QString& version) { return makerFeedBytes(makerFeed(version)); }

    QStringList lines() const { return printed.split(QLatin1Char('\n'), Qt::SkipEmptyParts); }

    ScriptedLoader loader;
    Updates updates{Settings::shared(), loader};
    QString printed;
    QTextStream out{&printed};
    std::vector<int> exits;
    DebugTools::LinkHandOver handOver{.noCopy = true, .pid = 0, .problem = std::nullopt};
    std::vector<QUrl> delivered;
};

} // namespace

// --- arguments ---

TEST_F(DebugToolsTest, FlagsMatchWholeArgumentsAndValuesAreTakenWhateverTheyAre)
{
    const QStringList arguments{QStringLiteral("app"), QStringLiteral("--ax-dump"), QStringLiteral("--now"),
                                QStringLiteral("--depth=3"), QStringLiteral("--mc-watch")};
    EXPECT_TRUE(DebugTools::hasFlag(QStringLiteral("--ax-dump"), arguments));
    EXPECT_FALSE(DebugTools::hasFlag(QStringLiteral("--depth"), arguments));
    EXPECT_FALSE(DebugTools::hasFlag(QStringLiteral("--AX-DUMP"), arguments));
    EXPECT_EQ(DebugTools::value(QStringLiteral("--ax-dump"), arguments), QStringLiteral("--now"));
    EXPECT_EQ(DebugTools::value(QStringLiteral("--mc-watch"), arguments), std::nullopt);
    EXPECT_EQ(DebugTools::value(QStringLiteral("--absent"), arguments), std::nullopt);
    EXPECT_EQ(DebugTools::index(QStringLiteral("app"), arguments), 0);
    EXPECT_EQ(DebugTools::index(QStringLiteral("--mc-watch"), arguments), 4);
}

TEST_F(DebugToolsTest, NoModeLetsTheLaunchGoOn)
{
    EXPECT_FALSE(early({}));
    EXPECT_FALSE(early({QStringLiteral("--switch")}));
    EXPECT_TRUE(exits.empty());
    EXPECT_TRUE(printed.isEmpty());
}

TEST_F(DebugToolsTest, EveryModeOfEitherDispatcherIsKnownFromTheArgumentsAlone)
{
    const auto selects = [](QStringList arguments) {
        arguments.prepend(QStringLiteral("/Applications/Tessaroom.app/Contents/MacOS/tessaroom"));
        return DebugTools::selectsMode(arguments);
    };
    for (const char* flag : {"--diagnose", "--check-update", "--enable-shortcuts", "--sample", "--selftest"})
        EXPECT_TRUE(selects({QLatin1String(flag)})) << flag;
    for (const char* flag :
         {"--mc-watch", "--space-watch", "--ax-dump", "--status-probe", "--switch", "--capture", "--render"}) {
        EXPECT_TRUE(selects({QLatin1String(flag), QStringLiteral("/tmp/x")})) << flag;
        // Without its value the option is not recognised, and the launch is a normal one.
        EXPECT_FALSE(selects({QLatin1String(flag)})) << flag;
    }
    EXPECT_FALSE(selects({}));
    EXPECT_FALSE(selects({QStringLiteral("--run-for"), QStringLiteral("3"), QStringLiteral("tessaroom://switch/2")}));
    EXPECT_FALSE(selects({QStringLiteral("--Diagnose"), QStringLiteral("--download"), QStringLiteral("--now")}));
}

// --- diagnose ---

TEST_F(DebugToolsTest, DiagnoseWinsOverTheUpdateCheckAndExitsZero)
{
    EXPECT_TRUE(early({QStringLiteral("--check-update"), QStringLiteral("--diagnose")}));
    EXPECT_EQ(exits, std::vector<int>{0});
    EXPECT_EQ(loader.count(), 0u);
    EXPECT_TRUE(printed.startsWith(QStringLiteral("Tessaroom diagnostics\n")));
    EXPECT_TRUE(printed.endsWith(QStringLiteral("\n\n")));
}

// --- the update command ---

TEST_F(DebugToolsTest, CheckPrintsTheOutcomeAndAnOfferExitsZero)
{
    EXPECT_TRUE(early({QStringLiteral("--check-update"), QStringLiteral("--install")}));
    EXPECT_TRUE(exits.empty()); // waits for the feed
    loader.answer(200, feed(QStringLiteral("1.3")));
    EXPECT_EQ(printed, QStringLiteral("check: 1.3 is available\n"));
    EXPECT_EQ(exits, std::vector<int>{0});
    EXPECT_EQ(loader.count(), 1u); // --install without --download downloads nothing
}

TEST_F(DebugToolsTest, UpToDateAndSkippedExitZero)
{
    early({QStringLiteral("--check-update"), QStringLiteral("--download")});
    loader.answer(200, feed(QStringLiteral("1.1")));
    EXPECT_EQ(printed, QStringLiteral("check: up to date\n"));
    EXPECT_EQ(loader.count(), 1u); // nothing on offer: no download line
    Settings::shared().setUpdateSkipped(QStringLiteral("1.4"));
    early({QStringLiteral("--check-update")});
    loader.answer(200, feed(QStringLiteral("1.4")));
    EXPECT_EQ(lines().last(), QStringLiteral("check: 1.4 skipped"));
    EXPECT_EQ(exits, (std::vector<int>{0, 0}));
}

TEST_F(DebugToolsTest, AFailedCheckPrintsItsTextAndExitsOne)
{
    early({QStringLiteral("--check-update")});
    loader.answer(500, QByteArray("oops"));
    ASSERT_EQ(lines().size(), 1);
    EXPECT_TRUE(lines()[0].startsWith(QStringLiteral("check: ")));
    EXPECT_NE(lines()[0], QStringLiteral("check: up to date"));
    EXPECT_EQ(exits, std::vector<int>{1});
}

TEST_F(DebugToolsTest, ADownloadThatFailsVerificationExitsOne)
{
    early({QStringLiteral("--check-update"), QStringLiteral("--download"), QStringLiteral("--install")});
    loader.answer(200, feed(QStringLiteral("1.3")));
    ASSERT_EQ(loader.count(), 2u);
    EXPECT_EQ(loader.request(1).request.url.toString(), QStringLiteral("https://updates.tessaroom.app/Tessaroom-1.3.dmg"));
    loader.answer(200, QByteArray("abcd")); // the right size, not the announced digest
    clock().runPending(); // the verification's outcome, handed back from the background
    ASSERT_EQ(lines().size(), 3) << printed.toStdString();
    EXPECT_EQ(lines()[1], QStringLiteral("download: failed(\"the download's hash is not the announced one\")"));
    // The install step still reports; nothing was installed, the bundle has no readable version.
    EXPECT_EQ(lines()[2], QStringLiteral("install: failed(\"the download's hash is not the announced one\"); the bundle at ")
                              + home() + QStringLiteral("/Applications/Tessaroom.app is now ?"));
    EXPECT_EQ(exits, std::vector<int>{1});
}

TEST_F(DebugToolsTest, PhasesPrintInTheirPlainForm)
{
    using Phase = Updates::Phase;
    EXPECT_EQ(DebugTools::phaseText(Phase::idle()), QStringLiteral("idle"));
    EXPECT_EQ(DebugTools::phaseText(Phase::downloading(0.5)), QStringLiteral("downloading(0.5)"));
    EXPECT_EQ(DebugTools::phaseText(Phase::downloading(1)), QStringLiteral("downloading(1.0)"));
    EXPECT_EQ(DebugTools::phaseText(Phase::installing()), QStringLiteral("installing"));
    EXPECT_EQ(DebugTools::phaseText(Phase::failed(QStringLiteral("no disk"))), QStringLiteral("failed(\"no disk\")"));
    EXPECT_EQ(DebugTools::phaseText(Phase::ready(QStringLiteral("/tmp/a b.dmg"), UpdateFeed{})),
              QStringLiteral("ready(file:///tmp/a b.dmg)"));
}

// --- switch ---

TEST_F(DebugToolsTest, SwitchWithoutARunningCopyIsLeftToThisProcess)
{
    EXPECT_FALSE(early({QStringLiteral("--switch"), QStringLiteral("3")}));
    EXPECT_EQ(delivered, std::vector<QUrl>{QUrl(QStringLiteral("tessaroom://switch/3"))});
    EXPECT_TRUE(printed.isEmpty());
    EXPECT_TRUE(exits.empty());
}

TEST_F(DebugToolsTest, SwitchIsHandedToTheRunningCopy)
{
    handOver = {.noCopy = false, .pid = 4242, .problem = std::nullopt};
    EXPECT_TRUE(early({QStringLiteral("--switch"), QStringLiteral("Mail")}));
    EXPECT_EQ(delivered, std::vector<QUrl>{QUrl(QStringLiteral("tessaroom://switch/Mail"))});
    EXPECT_EQ(printed, QStringLiteral("asked Tessaroom (pid 4242) to open tessaroom://switch/Mail\n"));
    EXPECT_EQ(exits, std::vector<int>{0});
}

TEST_F(DebugToolsTest, ARefusedSwitchPrintsTheErrorAndExitsOne)
{
    handOver = {.noCopy = false, .pid = 4242, .problem = QStringLiteral("connection refused")};
    EXPECT_TRUE(early({QStringLiteral("--switch"), QStringLiteral("2")}));
    EXPECT_EQ(printed, QStringLiteral("could not deliver the link: connection refused\n"
                                      "Tessaroom (pid 4242) did not take tessaroom://switch/2\n"));
    EXPECT_EQ(exits, std::vector<int>{1});
}

TEST_F(DebugToolsTest, ASwitchThatOnlyFindsAStrangerOnTheSocketSaysWhyAndExitsOne)
{
    handOver = {.noCopy = false, .pid = 0, .problem = QStringLiteral("the link folder /tmp/tessaroom-0 belongs to another user")};
    EXPECT_TRUE(early({QStringLiteral("--switch"), QStringLiteral("2")}));
    EXPECT_EQ(printed, QStringLiteral("could not deliver the link: the link folder /tmp/tessaroom-0 belongs to another user\n"
                                      "Tessaroom did not take tessaroom://switch/2\n"));
    EXPECT_EQ(exits, std::vector<int>{1});
}

// --- shortcuts ---

TEST_F(DebugToolsTest, EnableShortcutsReportsTheWriteAndTheCountBack)
{
    EXPECT_TRUE(early({QStringLiteral("--enable-shortcuts"), QStringLiteral("--switch"), QStringLiteral("2")}));
    EXPECT_EQ(printed, QStringLiteral("wrote=true enabled=10\n"));
    EXPECT_EQ(exits, std::vector<int>{0});
    EXPECT_TRUE(delivered.empty()); // the first mode that matches decides
}
