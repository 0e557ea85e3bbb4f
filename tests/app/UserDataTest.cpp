#include "AppTest.h"
#include "StoredNames.h"

#include "platform/Application.h"
#include "platform/PreferenceDomain.h"
#include "platform/SystemLog.h"
#include "platform/TerminationSignals.h"
#include "store/SpaceMetaDocument.h"
#include "store/SpaceStore.h"
#include "support/LockElsewhere.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>

#include <csignal>
#include <ostream>
#include <utility>
#include <vector>

// Test names show the arguments.
static void PrintTo(const QStringList& arguments, std::ostream* out)
{
    *out << arguments.join(QLatin1Char(' ')).toStdString();
}

namespace {

// The launched app in this process with the arguments given, as the
// platform's delegate, over a names store that already holds the user's data.
class UserDataTest : public AppTest {
protected:
    UserDataTest()
    {
        mail = *SpaceEngine::shared().desktopWithNumber(2);
        SpaceStore::shared().change(mail.managedID(), [](SpaceMeta& meta) {
            meta.name = QStringLiteral("Mail");
            meta.seconds = 100;
        });
        SpaceStore::shared().flushNow();
        before = storedNamesDocument();
    }

    ~UserDataTest() override { platform::Application::setDelegate(nullptr); }

    void launchWith(QStringList arguments)
    {
        arguments.prepend(QStringLiteral("/Applications/Tessaroom.app/Contents/MacOS/tessaroom"));
        delegate = std::make_unique<AppDelegate>(
            SpaceEngine::shared(), Settings::shared(), Accessibility::shared(),
            AppDelegate::Options{.arguments = std::move(arguments),
                                 .exit = [this](int status) { exits.push_back(status); }});
        platform::Application::setDelegate(delegate.get());
        delegate->launch();
    }

    // A rename the user makes in this process; its write is still pending.
    void renameMailPending()
    {
        SpaceStore::shared().change(mail.managedID(), [](SpaceMeta& meta) { meta.name = QStringLiteral("Post"); });
        ASSERT_TRUE(SpaceStore::shared().hasPendingWrite());
    }

    // A desktop's metadata in the file, as another process would read it
    // (this process's domain also holds what it could not write yet).
    static SpaceMeta metaOnDisk(qint64 managedID)
    {
        platform::PreferenceDomain fromDisk(platform::PreferenceDomain::standardName());
        const auto decoded = SpaceMetaDocument::decode(fromDisk.data(SpaceStore::documentKey).value_or(QByteArray()));
        if (!decoded)
            return SpaceMeta::empty();
        const auto found = decoded.value().find(managedID);
        return found == decoded.value().end() ? SpaceMeta::empty() : found->second;
    }
    static QString nameOnDisk(qint64 managedID) { return metaOnDisk(managedID).name; }

    static QString preferencesFolder()
    {
        return QFileInfo(platform::PreferenceDomain::standard().filePath()).path();
    }

    static QStringList linesWith(const QString& text) { return platform::SystemLog::lines().filter(text); }

    void renameMail(const QString& name)
    {
        SpaceStore::shared().change(mail.managedID(), [&](SpaceMeta& meta) { meta.name = name; });
        advance(SpaceStore::saveDelay);
    }

    // The main loop's pending work until the app ends.
    static void runLoopUntilTerminating()
    {
        for (int turn = 0; turn < 1000 && !platform::Application::isTerminating(); ++turn)
            QCoreApplication::processEvents();
    }

    Desktop mail;
    std::optional<QByteArray> before;
    std::vector<int> exits;
};

class ModeUserDataTest : public UserDataTest, public ::testing::WithParamInterface<QStringList> {};

// --- developer modes leave the user's names and time alone ---

TEST_P(ModeUserDataTest, TheStoredNamesAndTimeAreAsTheModeFoundThem)
{
    QStringList arguments = GetParam();
    arguments.replaceInStrings(QStringLiteral("HOME"), home());
    launchWith(arguments);
    // Sweeps count time, switches flush it, and the end saves what it can.
    advance(6);
    delegate->switchTo(*SpaceEngine::shared().desktopWithNumber(3));
    advance(2);
    platform::Application::terminate();
    EXPECT_EQ(storedNamesDocument(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, ModeUserDataTest,
    ::testing::Values(QStringList{"--diagnose"}, QStringList{"--enable-shortcuts"},
                      QStringList{"--space-watch", "HOME/space.log"}, QStringList{"--mc-watch", "HOME/mc.log"},
                      QStringList{"--ax-dump", "HOME/ax.log", "--now"}, QStringList{"--status-probe", "HOME/probe.log"},
                      QStringList{"--switch", "3"}, QStringList{"--selftest"}, QStringList{"--sample"}),
    [](const ::testing::TestParamInfo<QStringList>& mode) {
        QString name = mode.param.first().mid(2);
        name.remove(QLatin1Char('-'));
        return name.toStdString();
    });

TEST_F(UserDataTest, ANormalLaunchSavesTimeAndAPendingRenameWhenItQuits)
{
    launchWith({});
    advance(2);
    renameMailPending();
    platform::Application::terminate();
    EXPECT_EQ(storedMeta(mail.managedID()).name, QStringLiteral("Post"));
    EXPECT_GT(storedMeta(SpaceEngine::shared().activeDesktop()->managedID()).seconds, 0);
}

// --- ending by a signal ---

TEST_F(UserDataTest, ASignalEndsANormalLaunchWithTheRenameAndTheTimeSaved)
{
    const platform::TerminationSignals termination;
    launchWith({});
    advance(1);
    renameMailPending();
    std::raise(SIGTERM);
    runLoopUntilTerminating();
    EXPECT_EQ(storedMeta(mail.managedID()).name, QStringLiteral("Post"));
    EXPECT_GT(storedMeta(SpaceEngine::shared().activeDesktop()->managedID()).seconds, 0);
}

TEST_F(UserDataTest, ASignalEndsAModeWithoutWriting)
{
    const platform::TerminationSignals termination;
    launchWith({QStringLiteral("--space-watch"), home() + QStringLiteral("/space.log")});
    advance(3);
    std::raise(SIGHUP);
    runLoopUntilTerminating();
    ASSERT_TRUE(platform::Application::isTerminating());
    EXPECT_EQ(storedNamesDocument(), before);
}

// --- the preferences folder locked by another program ---

TEST_F(UserDataTest, AFolderLockKeptElsewhereHoldsUpNeitherAWriteNorTheQuit)
{
    launchWith({});
    advance(2);
    LockElsewhere held(preferencesFolder());
    ASSERT_TRUE(held.holding());
    // The rename's write gives up at once and keeps the rename in memory...
    renameMail(QStringLiteral("Post"));
    EXPECT_TRUE(held.holding());
    EXPECT_EQ(nameOnDisk(mail.managedID()), QStringLiteral("Mail"));
    // ...until the engine's next sweep after the lock is let go.
    held.letGo();
    advance(1.5);
    EXPECT_EQ(nameOnDisk(mail.managedID()), QStringLiteral("Post"));

    // A quit while the lock is never let go ends within its bound, and says
    // which keys it could not save.
    LockElsewhere again(preferencesFolder());
    ASSERT_TRUE(again.holding());
    renameMail(QStringLiteral("Inbox"));
    const QDeadlineTimer quitBound(5000);
    platform::Application::terminate();
    EXPECT_FALSE(quitBound.hasExpired());
    EXPECT_TRUE(again.holding());
    EXPECT_EQ(nameOnDisk(mail.managedID()), QStringLiteral("Post"));
    const QString lost = QStringLiteral("1 changed keys of %1 could not be saved: %2")
                             .arg(platform::PreferenceDomain::standard().filePath(), SpaceStore::documentKey);
    EXPECT_EQ(linesWith(lost).size(), 1) << qPrintable(platform::SystemLog::lines().join('\n'));
}

TEST_F(UserDataTest, AQuitWaitsForAFolderLockThatIsLetGoAndSavesTheTimeAndThePendingRename)
{
    launchWith({});
    advance(2);
    const qint64 active = SpaceEngine::shared().activeDesktop()->managedID();
    const double secondsOnDisk = metaOnDisk(active).seconds;
    // Another copy in the middle of a slow write, for far longer than a
    // write during the run waits.
    LockElsewhere held(preferencesFolder(), 1000);
    ASSERT_TRUE(held.holding());
    renameMailPending();
    platform::Application::terminate();
    EXPECT_EQ(nameOnDisk(mail.managedID()), QStringLiteral("Post"));
    EXPECT_GT(metaOnDisk(active).seconds, secondsOnDisk);
    EXPECT_TRUE(linesWith(QStringLiteral("could not be saved")).isEmpty());
}

} // namespace
