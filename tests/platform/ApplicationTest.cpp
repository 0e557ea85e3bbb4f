#include "platform/AppBundles.h"
#include "platform/Bundle.h"
#include "platform/Folders.h"
#include "platform/Application.h"
#include "platform/ChildProcess.h"
#include "platform/LinkHandlers.h"
#include "platform/Workspace.h"
#include "platform/linux/DetachedStarts.h"
#include "platform/linux/LinkHandlers.h"
#include "platform/linux/RealCopies.h"
#include "platform/sim/AppTermination.h"
#include "platform/sim/Application.h"
#include "platform/sim/Volumes.h"
#include "platform/sim/World.h"
#include "support/PlatformTest.h"
#include "support/TestProcesses.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest-spi.h>

#include <csignal>
#include <memory>

#include <sys/syscall.h>
#include <unistd.h>

namespace {

using namespace platform;

class RecordingDelegate final : public ApplicationDelegate {
public:
    void applicationDidFinishLaunching() override { events.append(QStringLiteral("launched")); }
    bool applicationShouldHandleReopen(bool) override
    {
        events.append(QStringLiteral("reopen"));
        return false;
    }
    void applicationWillTerminate() override { events.append(QStringLiteral("terminate")); }
    void applicationOpenURLs(const QList<QString>& urls) override { events.append(urls.join(QLatin1Char(' '))); }
    QStringList events;
};

class ApplicationTest : public PlatformTest {
protected:
    RecordingDelegate delegate;
};

// --- the application object ------------------------------------------------------------

TEST_F(ApplicationTest, TheLifecycleReachesTheDelegateOnce)
{
    Application::setActivationPolicy(ActivationPolicy::accessory);
    EXPECT_EQ(Application::activationPolicy(), ActivationPolicy::accessory);
    Application::setDelegate(&delegate);
    Application::finishLaunching();
    Application::finishLaunching();
    Application::openURLs({QStringLiteral("tessaroom://a"), QStringLiteral("tessaroom://b")});
    Application::reopen();
    Application::terminate();
    Application::terminate();
    EXPECT_EQ(delegate.events, (QStringList{QStringLiteral("launched"), QStringLiteral("tessaroom://a tessaroom://b"),
                                            QStringLiteral("reopen"), QStringLiteral("terminate")}));
    EXPECT_TRUE(Application::isTerminating());
    Application::setDelegate(nullptr);
}

TEST_F(ApplicationTest, TheCurrentEventIsWhatTheSimulationSays)
{
    EXPECT_FALSE(Application::currentEvent());
    sim::setCurrentEvent(CurrentEvent{.type = EventType::rightMouseUp, .modifierFlags = EventFlag::control});
    ASSERT_TRUE(Application::currentEvent());
    EXPECT_EQ(Application::currentEvent()->type, EventType::rightMouseUp);
    Application::activate(true);
    EXPECT_TRUE(Application::isActive());
    EXPECT_EQ(sim::activationCount(), 1);
}

// --- running applications -----------------------------------------------------------------

TEST_F(ApplicationTest, TerminationCanBeRefusedButNotForced)
{
    sim::AppSpec app;
    app.pid = 900;
    app.bundleID = QStringLiteral("com.example.stubborn");
    sim::World::shared().addApp(app);
    sim::setAppRefusesTermination(900, true);
    EXPECT_FALSE(Workspace::terminate(900));
    EXPECT_EQ(Workspace::runningApplications(QStringLiteral("com.example.stubborn")).size(), 1);
    EXPECT_TRUE(Workspace::forceTerminate(900));
    EXPECT_TRUE(Workspace::runningApplications(QStringLiteral("com.example.stubborn")).isEmpty());
    EXPECT_FALSE(Workspace::forceTerminate(900));
}

// --- copies of this app running as real processes ------------------------------------------

// A real process that stands for another copy of the app.
class RealCopiesTest : public PlatformTest, protected TestProcesses {
protected:
    RealCopiesTest()
        : copy(start(QStringLiteral("/bin/sleep"), {QStringLiteral("60")}))
        , pid(qint32(copy.processId()))
    {
        mayOutlive(copy);
    }

    // Running, not a zombie waiting to be reaped.
    bool alive() const { return !ended(pid); }

    // The copy is found, with a handle on its process; asking it to quit does
    // what answer says.
    void findCopy(std::function<bool(qint32)> answer)
    {
        host::setRealCopies({
            .find =
                [this] {
                    ++finds;
                    const int handle = int(::syscall(SYS_pidfd_open, pid, 0));
                    return QList<host::RealCopies::Found>{
                        {.copy = {.pid = pid, .bundlePath = QStringLiteral("/opt/Tessaroom.app")},
                         .process = handle < 0 ? nullptr : std::shared_ptr<const int>(new int(handle), [](const int* fd) {
                             ::close(*fd);
                             delete fd;
                         })}};
                },
            .askToQuit = [answer = std::move(answer)](qint32 asked, double) { return answer(asked); },
        });
    }

    QProcess& copy;
    const qint32 pid;
    int finds = 0;
};

TEST_F(RealCopiesTest, TheyAreListedOnlyUnderThisAppsIdentifier)
{
    findCopy([](qint32) { return false; });
    const QList<RunningApplication> ours = Workspace::runningApplications(Bundle::identifier().value());
    ASSERT_FALSE(ours.isEmpty());
    EXPECT_EQ(ours.last().processIdentifier, pid);
    EXPECT_EQ(ours.last().bundlePath, QStringLiteral("/opt/Tessaroom.app"));
    EXPECT_EQ(ours.last().bundleIdentifier, Bundle::identifier().value());
    EXPECT_EQ(finds, 1);
    // Nobody else's query talks to another process.
    Workspace::runningApplications(QStringLiteral("com.apple.dock"));
    Workspace::runningApplications();
    EXPECT_EQ(finds, 1);
}

TEST_F(RealCopiesTest, TerminateAsksTheCopyAndReturnsOnceItsProcessEnded)
{
    findCopy([this](qint32 asked) {
        const ::testing::AssertionResult sent = signal(copy, SIGTERM);
        EXPECT_TRUE(sent);
        return asked == pid && sent;
    });
    Workspace::runningApplications(Bundle::identifier().value());
    EXPECT_TRUE(Workspace::terminate(pid));
    // Ended already: only the reaping is left.
    EXPECT_FALSE(alive());
}

TEST_F(RealCopiesTest, ACopyThatDoesNotAgreeIsKilled)
{
    findCopy([](qint32) { return false; });
    Workspace::runningApplications(Bundle::identifier().value());
    EXPECT_FALSE(Workspace::terminate(pid));
    EXPECT_TRUE(alive());
    EXPECT_TRUE(Workspace::forceTerminate(pid));
    EXPECT_FALSE(alive());
    ASSERT_TRUE(copy.waitForFinished(generous));
    EXPECT_EQ(copy.exitStatus(), QProcess::CrashExit);
    EXPECT_EQ(sim::terminationRequests(),
              (QList<QString>{QStringLiteral("terminate %1").arg(pid), QStringLiteral("force %1").arg(pid)}));
}

TEST_F(RealCopiesTest, AProcessNeverFoundAsACopyIsNeverKilled)
{
    findCopy([](qint32) { return true; });
    EXPECT_FALSE(Workspace::terminate(pid));
    EXPECT_FALSE(Workspace::forceTerminate(pid));
    EXPECT_TRUE(alive());
}

// The tests' own way to signal a process: never a pid below 1, which reaches a
// whole process group, nor a process that has ended.
TEST_F(RealCopiesTest, TestsNeverSignalAPidBelowOneOrAnEndedProcessAndReportWhatTheyLeaveRunning)
{
    EXPECT_FALSE(ProcessHandle(0).signal(SIGCONT));
    EXPECT_FALSE(ProcessHandle(-1).signal(SIGCONT));
    QProcess& done = start(QStringLiteral("/bin/true"), {});
    ASSERT_TRUE(endedNormally(done));
    const ::testing::AssertionResult sent = signal(done, SIGCONT);
    EXPECT_FALSE(sent);
    EXPECT_NE(std::string(sent.message()).find("has ended already"), std::string::npos) << sent.message();

    static qint64 leftRunning = 0;
    EXPECT_NONFATAL_FAILURE(
        {
            TestProcesses processes;
            leftRunning = processes.start(QStringLiteral("/bin/sleep"), {QStringLiteral("60")}).processId();
        },
        "/bin/sleep 60 (pid ");
    EXPECT_TRUE(ended(leftRunning));
}

// --- detached starts -----------------------------------------------------------------------

TEST_F(ApplicationTest, DetachedStartsAreRecordedOrFail)
{
    EXPECT_TRUE(ChildProcess::startDetached(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("exit 0")})
                    .launched());
    ASSERT_EQ(host::detachedStarts().size(), 1u);
    host::failDetachedStarts(QStringLiteral("no room"));
    const ChildProcess::Result failed = ChildProcess::startDetached(QStringLiteral("/bin/sh"), {});
    EXPECT_EQ(failed.launchError, QStringLiteral("no room"));
    EXPECT_EQ(host::detachedStarts().size(), 1u);
}

TEST_F(ApplicationTest, ARealStartOfAMissingProgramFails)
{
    host::setDetachedStartsReal(true);
    const ChildProcess::Result result = ChildProcess::startDetached(home() + QStringLiteral("/no-such-program"), {});
    host::setDetachedStartsReal(false);
    EXPECT_FALSE(result.launched());
    EXPECT_TRUE(host::detachedStarts().empty());
}

// --- bundles and volumes --------------------------------------------------------------------

TEST_F(ApplicationTest, ABundleOpensThroughItsProgramAPlainProgramAsItIs)
{
    EXPECT_EQ(AppBundles::openCommand(QStringLiteral("/Applications/Tessaroom.app/")),
              QStringList{QStringLiteral("/Applications/Tessaroom.app/Contents/MacOS/tessaroom")});
    QFile program(home() + QStringLiteral("/tessaroom"));
    program.open(QIODevice::WriteOnly);
    program.close();
    EXPECT_EQ(AppBundles::openCommand(program.fileName()), QStringList{program.fileName()});
}

TEST_F(ApplicationTest, ReadOnlyFoldersAndApplicationsFolders)
{
    const QString image = home() + QStringLiteral("/Volumes/Image");
    QDir().mkpath(image);
    EXPECT_FALSE(Volumes::isOnReadOnlyVolume(image + QStringLiteral("/Tessaroom.app")));
    EXPECT_TRUE(Volumes::isWritableFolder(image));
    sim::setReadOnlyFolder(image, true);
    EXPECT_TRUE(Volumes::isOnReadOnlyVolume(image + QStringLiteral("/Tessaroom.app")));
    EXPECT_FALSE(Volumes::isWritableFolder(image));
    // A neighbour whose name merely starts the same is not inside.
    EXPECT_FALSE(Volumes::isOnReadOnlyVolume(image + QStringLiteral("2/Tessaroom.app")));
    EXPECT_FALSE(Volumes::isWritableFolder(home() + QStringLiteral("/missing")));
    EXPECT_EQ(Volumes::applicationsFolders(),
              (QStringList{QStringLiteral("/Applications"), Folders::home() + QStringLiteral("/Applications")}));
}

// --- the link handler entry -----------------------------------------------------------------

TEST_F(ApplicationTest, TheLinkHandlerEntryNamesBothSchemesAndKeepsOtherDefaults)
{
    QDir().mkpath(QFileInfo(host::mimeAppsListPath()).path());
    QFile list(host::mimeAppsListPath());
    list.open(QIODevice::WriteOnly);
    list.write("[Added Associations]\ntext/plain=editor.desktop\n[Default Applications]\n"
               "x-scheme-handler/https=browser.desktop\nx-scheme-handler/tessaroom=old.desktop\n");
    list.close();

    EXPECT_FALSE(LinkHandlers::registerSchemes({QStringLiteral("tessaroom"), QStringLiteral("quorvelin")}));
    QFile entry(host::linkHandlerEntryPath());
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(entry.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("\nMimeType=x-scheme-handler/tessaroom;x-scheme-handler/quorvelin;\n")));
    EXPECT_TRUE(text.contains(QStringLiteral(" %u\n")));

    list.open(QIODevice::ReadOnly);
    const QString defaults = QString::fromUtf8(list.readAll());
    EXPECT_TRUE(defaults.contains(QStringLiteral("text/plain=editor.desktop")));
    EXPECT_TRUE(defaults.contains(QStringLiteral("x-scheme-handler/https=browser.desktop")));
    EXPECT_TRUE(defaults.contains(QStringLiteral("x-scheme-handler/tessaroom=tessaroom-links.desktop")));
    EXPECT_TRUE(defaults.contains(QStringLiteral("x-scheme-handler/quorvelin=tessaroom-links.desktop")));
    EXPECT_FALSE(defaults.contains(QStringLiteral("old.desktop")));
}

TEST_F(ApplicationTest, ProgramPathsAreQuotedForTheEntry)
{
    EXPECT_EQ(host::desktopEntryArgument(QStringLiteral("/opt/my app/tessaroom")),
              QStringLiteral("\"/opt/my app/tessaroom\""));
    // ", `, $ and \ are escaped inside the quotes, then backslashes doubled
    // for the entry's string escapes; % is doubled for the field codes.
    EXPECT_EQ(host::desktopEntryArgument(QStringLiteral("/a\"b$c`d\\e%f")),
              QStringLiteral("\"/a\\\\\"b\\\\$c\\\\`d\\\\\\\\e%%f\""));
    EXPECT_FALSE(host::desktopEntryArgument(QStringLiteral("/a\nb")));
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void putFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

TEST_F(ApplicationTest, OtherProgramsLinesOfTheDefaultsListAreKeptByteForByte)
{
    // Latin-1 and broken UTF-8 in other programs' entries, a line ending in
    // CR LF, a comment, a second group, and blank lines between groups.
    const QByteArray before = "# written by hand\n"
                              "[Default Applications]\n"
                              "text/plain=caf\xe9.desktop\n"
                              "x-scheme-handler/tessaroom = old.desktop\r\n"
                              "image/png=\xff\xfeviewer.desktop;\n"
                              "\n"
                              "[Added Associations]\n"
                              "x-scheme-handler/quorvelin=other.desktop;\n";
    putFile(host::mimeAppsListPath(), before);
    EXPECT_EQ(LinkHandlers::registerSchemes({QStringLiteral("tessaroom"), QStringLiteral("quorvelin")}), std::nullopt);
    EXPECT_EQ(fileBytes(host::mimeAppsListPath()), QByteArray("# written by hand\n"
                                                             "[Default Applications]\n"
                                                             "text/plain=caf\xe9.desktop\n"
                                                             "x-scheme-handler/tessaroom=tessaroom-links.desktop\n"
                                                             "image/png=\xff\xfeviewer.desktop;\n"
                                                             "x-scheme-handler/quorvelin=tessaroom-links.desktop\n"
                                                             "\n"
                                                             "[Added Associations]\n"
                                                             "x-scheme-handler/quorvelin=other.desktop;\n"));
}

TEST_F(ApplicationTest, ADefaultsListThatCannotBeReadIsLeftAsItIsAndTheRegistrationSaysWhy)
{
    // A socket at the path exists and cannot be opened, also for root.
    QDir().mkpath(QFileInfo(host::mimeAppsListPath()).path());
    QLocalServer socket;
    socket.setSocketOptions(QLocalServer::UserAccessOption);
    ASSERT_TRUE(socket.listen(host::mimeAppsListPath())) << socket.errorString().toStdString();

    const auto failure = LinkHandlers::registerSchemes({QStringLiteral("tessaroom"), QStringLiteral("quorvelin")});
    ASSERT_TRUE(failure.has_value());
    EXPECT_TRUE(failure->contains(host::mimeAppsListPath() + QStringLiteral(" could not be read")))
        << failure->toStdString();
    EXPECT_TRUE(failure->contains(QStringLiteral("left as it is"))) << failure->toStdString();
    EXPECT_TRUE(QFileInfo::exists(host::mimeAppsListPath()));
    EXPECT_FALSE(QFileInfo(host::mimeAppsListPath()).isFile());
}

} // namespace
