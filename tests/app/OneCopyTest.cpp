#include "RunningCopies.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ostream>
#include <string>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// A program on a link socket path that is not the user's running copy, in
// Python: it records every frame it gets in a file. "copy" answers the
// identify request as a copy would and never answers a request to quit;
// "quits" answers that it quits, and stays; "slow" answers who it is after
// 1.2 s, and quits when asked; "late" answers who it is only from 5.5 s
// after it was first asked, to an asker still waiting then; any other mode reads one frame and closes the connection. Given a
// lock path, it holds that lock first.
const QString squatterScript = QStringLiteral(R"(
import fcntl, os, socket, struct, sys, time
path, record, mode = sys.argv[1], sys.argv[2], sys.argv[3]
os.makedirs(os.path.dirname(path), mode=0o700, exist_ok=True)
if len(sys.argv) > 4:
    os.makedirs(os.path.dirname(sys.argv[4]), mode=0o700, exist_ok=True)
    lock = open(sys.argv[4], "a")
    fcntl.flock(lock, fcntl.LOCK_EX)
server = socket.socket(socket.AF_UNIX)
server.bind(path)
server.listen(8)
print("listening", flush=True)
first = None
while True:
    connection, _ = server.accept()
    with connection:
        while True:
            head = connection.recv(4, socket.MSG_WAITALL)
            if len(head) < 4:
                break
            body = connection.recv(struct.unpack(">I", head)[0], socket.MSG_WAITALL)
            with open(record, "ab") as out:
                out.write(head + body)
            if mode not in ("copy", "quits", "slow", "late"):
                break
            if body == b"\xffidentify" and mode == "late":
                first = first or time.monotonic()
                connection.settimeout(max(0.0, 5.5 - (time.monotonic() - first)))
                try:
                    if not connection.recv(4096):
                        break
                except socket.timeout:
                    pass
                connection.settimeout(None)
            if body == b"\xffidentify":
                if mode == "slow":
                    time.sleep(1.2)
                answer = b"\xffcopy %d\n/opt/Stub.app" % os.getpid()
                connection.sendall(struct.pack(">I", len(answer)) + answer)
            if body == b"\xffquit" and mode != "copy":
                answer = b"\xffquitting %d" % os.getpid()
                connection.sendall(struct.pack(">I", len(answer)) + answer)
                if mode == "slow":
                    os.unlink(path)
                    sys.exit(0)
)");

class OneCopyTest : public RunningCopiesTest {
protected:
    // Waits until at most one of copies runs; answers how many run then.
    static long waitUntilOneRuns(const std::vector<QProcess*>& copies)
    {
        const auto running = [&] {
            return std::count_if(copies.cbegin(), copies.cend(),
                                 [](QProcess* process) { return process->state() != QProcess::NotRunning; });
        };
        for (int slice = 0; slice < generous / 50 && running() > 1; ++slice) {
            for (QProcess* process : copies)
                process->waitForFinished(10);
        }
        return running();
    }

    // Starts the squatter (as another user when asUser is set) listening on
    // path; it records in recordPath.
    QProcess& squat(const QString& path, const QString& mode, const QString& recordPath, const QStringList& asUser = {},
                    const QString& lockPath = {})
    {
        // Another user cannot run an interpreter from root's own folders.
        const QString interpreter = asUser.isEmpty() ? QStringLiteral("python3") : QStringLiteral("/usr/bin/python3");
        QStringList python{interpreter, QStringLiteral("-c"), squatterScript, path, recordPath, mode};
        if (!lockPath.isEmpty())
            python.append(lockPath);
        const QStringList command = asUser + python;
        QProcess& squatter = start(command.mid(1), QStringLiteral("squatter-state"), command.first());
        mayOutlive(squatter);
        EXPECT_TRUE(waitForLine(squatter, "listening", QProcess::StandardOutput))
            << squatter.readAllStandardError().toStdString();
        return squatter;
    }

    // Starts a process that hands link over; it must fail, say why, and never
    // become a copy.
    void expectHandOverRefused(const QString& link)
    {
        QProcess& sender = start({link}, QStringLiteral("sender-state"));
        ASSERT_TRUE(sender.waitForFinished(generous));
        EXPECT_EQ(sender.exitCode(), 1);
        const QString told = QString::fromUtf8(sender.readAllStandardError());
        EXPECT_TRUE(told.contains(QStringLiteral("could not deliver the link: "))) << qPrintable(told);
        EXPECT_TRUE(told.contains(QStringLiteral("did not take ") + link)) << qPrintable(told);
        EXPECT_FALSE(told.contains(QStringLiteral("launched"))) << qPrintable(told);
    }

    static QByteArray recorded(const QString& recordPath)
    {
        QFile file(recordPath);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

// --- whoever listens at the socket path ---

struct Squat {
    const char* name;
    // Whether the squatter runs as another user (nobody), in the temporary
    // folder the app falls back to without a runtime folder.
    bool anotherUser;
    // Whether the socket path is a link to the squatter's socket elsewhere.
    bool throughALink;
};

void PrintTo(const Squat& squat, std::ostream* out)
{
    *out << squat.name;
}

class SquatterTest : public OneCopyTest, public ::testing::WithParamInterface<Squat> {};

TEST_P(SquatterTest, ItIsNeverAskedToQuitNorKilledAndSendersSaySoAndFail)
{
    const Squat& place = GetParam();
    QString path = socketPath();
    QString record = home() + QStringLiteral("/record");
    QStringList asUser;
    if (place.anotherUser) {
        asUser = asAnotherUser(QStringLiteral("/usr/bin/python3"));
        if (asUser.isEmpty())
            GTEST_SKIP() << "a process of another user needs root, setpriv and /usr/bin/python3";
        // A shared temporary folder, as /tmp is; the other user gets there first.
        const QString shared = home() + QStringLiteral("/shared");
        QDir().mkpath(shared);
        ::chmod(QFile::encodeName(home()).constData(), 0711);
        ::chmod(QFile::encodeName(shared).constData(), 01777);
        adjust = [shared](QProcessEnvironment& environment) {
            environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
            environment.insert(QStringLiteral("TMPDIR"), shared);
        };
        path = shared + QStringLiteral("/tessaroom-0/links");
        record = shared + QStringLiteral("/record");
    }
    QString listenAt = path;
    if (place.throughALink) {
        listenAt = home() + QStringLiteral("/elsewhere/socket");
        QDir().mkpath(QFileInfo(path).path());
        ::chmod(QFile::encodeName(QFileInfo(path).path()).constData(), 0700);
        ASSERT_TRUE(QFile::link(listenAt, path));
    }
    QProcess& squatter = squat(listenAt, QStringLiteral("record"), record, asUser);

    // A link for a private desktop, from the system's link opener.
    expectHandOverRefused(QStringLiteral("tessaroom://switch/Secret%20Project"));

    QProcess& switcher = start({QStringLiteral("--switch"), QStringLiteral("2")}, QStringLiteral("asker-state"));
    ASSERT_TRUE(switcher.waitForFinished(generous));
    EXPECT_EQ(switcher.exitCode(), 1);
    const QString printed = QString::fromUtf8(switcher.readAllStandardOutput());
    EXPECT_TRUE(printed.startsWith(QStringLiteral("could not deliver the link: "))) << qPrintable(printed);
    EXPECT_TRUE(printed.endsWith(QStringLiteral("\nTessaroom did not take tessaroom://switch/2\n"))) << qPrintable(printed);

    // A normal launch leaves it alone and says why it gets no links.
    QProcess& launched = start({});
    ASSERT_TRUE(waitForLaunch(launched));
    EXPECT_TRUE(systemLog().contains(QStringLiteral("links from other programs cannot be received: ")))
        << qPrintable(systemLog());
    EXPECT_FALSE(switchesLog().contains(QStringLiteral("retiring")));
    EXPECT_TRUE(stop(launched));

    EXPECT_EQ(squatter.state(), QProcess::Running);
    const QByteArray got = recorded(record);
    EXPECT_FALSE(got.contains("quit"));
    // Only a program of the user itself may have been asked who it is.
    if (place.anotherUser || place.throughALink) {
        EXPECT_TRUE(got.isEmpty()) << got.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Squats, SquatterTest,
                         ::testing::Values(Squat{"anotherProgramOfTheUser", false, false},
                                           Squat{"linkToAnotherProgramsSocket", false, true},
                                           Squat{"anotherUserInTheSharedFolder", true, false}),
                         [](const ::testing::TestParamInfo<Squat>& squat) { return std::string(squat.param.name); });

// --- a copy that answers but does not quit ---

class StubbornCopyTest : public OneCopyTest, public ::testing::WithParamInterface<bool> {};

TEST_P(StubbornCopyTest, IsKilledAfterFiveSecondsUnlessTheNewcomerIsToldToQuitFirst)
{
    const bool quitMeanwhile = GetParam();
    const QString record = home() + QStringLiteral("/record");
    QProcess& stub = squat(socketPath(), QStringLiteral("copy"), record);
    const qint64 stubPid = stub.processId();

    QProcess& newcomer = start({});
    const QString retiring = QStringLiteral("retiring running copy pid %1 at /opt/Stub.app").arg(stubPid);
    if (quitMeanwhile) {
        // Told to quit while it waits for the answer: it quits at once, and
        // kills nothing on its way out.
        ASSERT_TRUE(waitUntil(newcomer, [&] { return switchesLog().contains(retiring); })) << qPrintable(switchesLog());
        ASSERT_TRUE(signal(newcomer, SIGTERM));
        ASSERT_TRUE(newcomer.waitForFinished(generous));
        EXPECT_EQ(newcomer.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(newcomer.exitCode(), 0);
        EXPECT_FALSE(newcomer.readAllStandardError().contains("launched"));
        EXPECT_EQ(stub.state(), QProcess::Running);
        EXPECT_TRUE(recorded(record).contains("\xffquit"));
        // It never was the copy: the names and their time are not its to write.
        EXPECT_TRUE(storedNames().isEmpty()) << QJsonDocument(storedNames()).toJson().toStdString();
        return;
    }
    // The answer is due five seconds after the search began; then the copy,
    // which said it is one, is killed and the newcomer goes on.
    ASSERT_TRUE(waitForLaunch(newcomer));
    EXPECT_TRUE(switchesLog().contains(retiring));
    ASSERT_TRUE(stub.waitForFinished(generous));
    EXPECT_EQ(stub.exitStatus(), QProcess::CrashExit);
    EXPECT_EQ(askToSwitch(), asked(newcomer.processId()));
    EXPECT_TRUE(stop(newcomer));
}

INSTANTIATE_TEST_SUITE_P(Answers, StubbornCopyTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& quit) {
                             return std::string(quit.param ? "quitMeanwhile" : "waitedOut");
                         });

// --- a copy that is slow, stays, or cannot be seen ---

TEST_F(OneCopyTest, ACopyThatNeedsMoreThanASecondToSayWhoItIsIsStillRetired)
{
    QProcess& stub = squat(socketPath(), QStringLiteral("slow"), home() + QStringLiteral("/record"));
    QProcess& newcomer = start({});
    ASSERT_TRUE(waitForLaunch(newcomer)) << qPrintable(switchesLog());
    ASSERT_TRUE(stub.waitForFinished(generous));
    EXPECT_EQ(stub.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(askToSwitch(), asked(newcomer.processId()));
    EXPECT_TRUE(stop(newcomer));
}

TEST_F(OneCopyTest, ACopyThatSaysItQuitsAndStaysIsWaitedForThenTheNewcomerGivesUpWithoutKillingIt)
{
    QProcess& stub = squat(socketPath(), QStringLiteral("quits"), home() + QStringLiteral("/record"), {},
                           copyLockPath());
    const qint64 stubPid = stub.processId();
    QProcess& newcomer = start({});
    // Thirty seconds for its save, then the newcomer goes.
    ASSERT_TRUE(newcomer.waitForFinished(3 * generous)) << qPrintable(switchesLog());
    EXPECT_EQ(newcomer.exitCode(), 1);
    const QString told = QString::fromUtf8(newcomer.readAllStandardError());
    const QString why = QStringLiteral("the copy (pid %1) was asked to quit and is still running").arg(stubPid);
    EXPECT_TRUE(told.contains(QStringLiteral("Tessaroom is running already and could not be retired: ") + why))
        << qPrintable(told);
    EXPECT_FALSE(told.contains(QStringLiteral("launched")));
    EXPECT_TRUE(switchesLog().contains(QStringLiteral("another copy runs and cannot be retired (") + why
                                       + QStringLiteral("); this copy quits")))
        << qPrintable(switchesLog());
    EXPECT_EQ(switchesLog().count(QStringLiteral("retiring running copy pid %1 ").arg(stubPid)), 1);
    EXPECT_EQ(stub.state(), QProcess::Running);
}

TEST_F(OneCopyTest, ACopyThatAnswersOnlyAfterItsTimeIsNeverSaidToHaveRefusedToQuit)
{
    QProcess& stub = squat(socketPath(), QStringLiteral("late"), home() + QStringLiteral("/record"), {},
                           copyLockPath());
    QProcess& newcomer = start({});
    ASSERT_TRUE(newcomer.waitForFinished(generous));
    EXPECT_EQ(newcomer.exitCode(), 1);
    // It was never asked: what the newcomer says is that it did not answer.
    EXPECT_FALSE(switchesLog().contains(QStringLiteral("retiring")));
    const QString told = QString::fromUtf8(newcomer.readAllStandardError());
    EXPECT_TRUE(told.contains(QStringLiteral("could not be retired: the ")) && told.contains(QStringLiteral(" did not answer")))
        << qPrintable(told);
    EXPECT_FALSE(recorded(home() + QStringLiteral("/record")).contains("\xffquit"));
    EXPECT_EQ(stub.state(), QProcess::Running);
}

TEST_F(OneCopyTest, ACopyWhosePidANewcomerInASandboxCannotSeeIsNeverSignalled)
{
    if (QStandardPaths::findExecutable(QStringLiteral("setsid")).isEmpty()
        || QStandardPaths::findExecutable(QStringLiteral("unshare")).isEmpty())
        GTEST_SKIP() << "setsid and unshare are needed";
    QProcess& probe = start({QStringLiteral("-p"), QStringLiteral("-f"), QStringLiteral("--mount-proc"), QStringLiteral("true")},
                            QStringLiteral("state"), QStringLiteral("unshare"));
    if (!endedNormally(probe) || probe.exitCode() != 0)
        GTEST_SKIP() << "no pid namespace can be made here (unshare -p needs root or user namespaces): "
                     << probe.readAllStandardError().toStdString();
    const QString record = home() + QStringLiteral("/record");
    QProcess& stub = squat(socketPath(), QStringLiteral("copy"), record);
    // The newcomer runs in its own pid namespace, sharing the runtime folder,
    // in a process group of its own with a bystander in it. Ending the
    // sandbox ends the newcomer (--kill-child).
    const QString bystanderFile = home() + QStringLiteral("/bystander");
    QProcess& sandbox = start({QStringLiteral("sh"), QStringLiteral("-c"),
                               QStringLiteral("sleep 120 & echo $! > \"$1\"; exec unshare -p -f --mount-proc --kill-child \"$0\""),
                               QStringLiteral(TESSAROOM_APP), bystanderFile},
                              QStringLiteral("state"), QStringLiteral("setsid"));
    mayOutlive(sandbox);
    // The copy answers as one and never agrees to quit; its pid reads 0 in
    // there, and nothing can be signalled through it.
    const bool launched = waitForLaunch(sandbox);
    QFile bystander(bystanderFile);
    const qint64 bystanderPid = bystander.open(QIODevice::ReadOnly) ? bystander.readAll().trimmed().toLongLong() : 0;
    // It runs until the test ends it.
    ASSERT_TRUE(adopt(bystanderPid));
    EXPECT_TRUE(launched) << qPrintable(switchesLog());
    EXPECT_TRUE(switchesLog().contains(QStringLiteral("retiring running copy pid 0 at /opt/Stub.app")))
        << qPrintable(switchesLog());
    EXPECT_TRUE(recorded(record).contains("\xffquit"));
    EXPECT_EQ(stub.state(), QProcess::Running);
    EXPECT_EQ(sandbox.state(), QProcess::Running);
    EXPECT_FALSE(ended(bystanderPid));
}

// --- copies started together ---

struct Together {
    const char* name;
    bool besideARunningCopy;
    // Where the launches keep their state, under the home: "config" is the
    // preferences folder itself.
    const char* state = "state";
    // Their state folder's "tessaroom" is a link to the preferences one.
    bool linked = false;
    // Folders sit at the locks' paths: the copies move them aside at once.
    bool planted = false;
};

class StartedTogetherTest : public OneCopyTest, public ::testing::WithParamInterface<Together> {};

TEST_P(StartedTogetherTest, ExactlyOneCopyRemainsAndTakesTheLinks)
{
    const QString state = QLatin1String(GetParam().state);
    if (GetParam().linked) {
        ASSERT_TRUE(QDir().mkpath(home() + QStringLiteral("/config/tessaroom")) && QDir().mkpath(home() + QStringLiteral("/state")));
        ASSERT_TRUE(QFile::link(home() + QStringLiteral("/config/tessaroom"), home() + QStringLiteral("/state/tessaroom")));
    }
    if (GetParam().planted) {
        ASSERT_TRUE(QDir().mkpath(copyLockPath()) && QDir().mkpath(home() + QStringLiteral("/config/tessaroom/coming.lock")));
    }
    std::vector<QProcess*> copies;
    if (GetParam().besideARunningCopy) {
        copies.push_back(&start({}, state));
        ASSERT_TRUE(waitForLaunch(*copies.back())) << qPrintable(switchesLog(state));
    }
    for (int copy = 0; copy < 3; ++copy)
        copies.push_back(&start({}, state));
    // Each newcomer retires the copy before it, or yields to it.
    ASSERT_EQ(waitUntilOneRuns(copies), 1) << qPrintable(switchesLog(state));
    QProcess* survivor = *std::find_if(copies.cbegin(), copies.cend(),
                                       [](QProcess* process) { return process->state() != QProcess::NotRunning; });
    // Every copy that went quit the normal way (a retired one saves on its
    // way out): none was killed.
    for (QProcess* process : copies) {
        if (process != survivor) {
            EXPECT_EQ(process->exitStatus(), QProcess::NormalExit) << qPrintable(switchesLog(state));
        }
    }
    ASSERT_TRUE(waitForLaunch(*survivor)) << qPrintable(switchesLog(state));
    EXPECT_EQ(askToSwitch(), asked(survivor->processId()));
    EXPECT_TRUE(stop(*survivor));
}

INSTANTIATE_TEST_SUITE_P(Launches, StartedTogetherTest,
                         ::testing::Values(Together{.name = "withNoCopyRunningAndFoldersAtTheLocks",
                                                    .besideARunningCopy = false, .planted = true},
                                           Together{.name = "besideARunningCopy", .besideARunningCopy = true},
                                           Together{.name = "stateInThePreferencesFolder", .besideARunningCopy = true,
                                                    .state = "config"},
                                           Together{.name = "stateLinkedToThePreferencesFolder",
                                                    .besideARunningCopy = true, .linked = true}),
                         [](const ::testing::TestParamInfo<Together>& together) {
                             return std::string(together.param.name);
                         });

// --- a link folder that cannot be used ---

enum class Unusable {
    // No runtime folder: another user made the per-user folder in the shared
    // temporary folder first.
    anotherUsersFolder,
    // In the link folder, where the copy lock used to be.
    folderAtTheOldLockPath,
    linkAtTheOldLockPath,
    linkFolderDeletedUnderTheCopy,
    // Each launch starts in a folder of its own, with a "run" folder in it.
    relativeRuntimeFolder,
    // Each launch is a session of its own (runtime and state folders) that
    // shares the preferences folder, where a folder sits at the copy lock.
    folderAtTheSharedCopyLock,
};

class UnusableFolderTest : public OneCopyTest, public ::testing::WithParamInterface<Unusable> {
protected:
    // A plain launch, or one handing over a link, in a working folder of its
    // own when the runtime folder is relative.
    QProcess& launch(const QStringList& arguments, const QString& stateFolder, int index)
    {
        if (GetParam() == Unusable::folderAtTheSharedCopyLock) {
            const QString runtime = home() + QStringLiteral("/session%1").arg(index);
            QDir().mkpath(runtime);
            ::chmod(QFile::encodeName(runtime).constData(), 0700);
            adjust = [runtime](QProcessEnvironment& environment) {
                environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
            };
            return start(arguments, stateFolder + QString::number(index));
        }
        if (GetParam() != Unusable::relativeRuntimeFolder)
            return start(arguments, stateFolder);
        const QString folder = home() + QStringLiteral("/work%1").arg(index);
        QDir().mkpath(folder + QStringLiteral("/run"));
        const QStringList command{QStringLiteral("-c"), QStringLiteral("cd \"$0\" && exec \"$@\""), folder,
                                  QStringLiteral(TESSAROOM_APP)};
        return start(command + arguments, stateFolder, QStringLiteral("/bin/sh"));
    }

    QString linkFolder() const { return home() + QStringLiteral("/tessaroom"); }
};

TEST_P(UnusableFolderTest, ExactlyOneCopyRunsAndASenderSaysWhyItFailed)
{
    switch (GetParam()) {
    case Unusable::anotherUsersFolder: {
        if (::geteuid() != 0)
            GTEST_SKIP() << "a folder of another user needs root to make";
        const QString shared = home() + QStringLiteral("/shared");
        const QString taken = shared + QStringLiteral("/tessaroom-%1").arg(::getuid());
        ASSERT_TRUE(QDir().mkpath(taken));
        ::chmod(QFile::encodeName(shared).constData(), 01777);
        ::chmod(QFile::encodeName(taken).constData(), 0700);
        ASSERT_EQ(::chown(QFile::encodeName(taken).constData(), 65534, 65534), 0);
        adjust = [shared](QProcessEnvironment& environment) {
            environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
            environment.insert(QStringLiteral("TMPDIR"), shared);
        };
        break;
    }
    case Unusable::folderAtTheOldLockPath:
        ASSERT_TRUE(QDir().mkpath(linkFolder() + QStringLiteral("/lock")));
        ::chmod(QFile::encodeName(linkFolder()).constData(), 0700);
        break;
    case Unusable::linkAtTheOldLockPath:
        ASSERT_TRUE(QDir().mkpath(linkFolder()));
        ::chmod(QFile::encodeName(linkFolder()).constData(), 0700);
        ASSERT_TRUE(QFile::link(home() + QStringLiteral("/elsewhere"), linkFolder() + QStringLiteral("/lock")));
        break;
    case Unusable::linkFolderDeletedUnderTheCopy:
        break;
    case Unusable::folderAtTheSharedCopyLock:
        ASSERT_TRUE(QDir().mkpath(copyLockPath()));
        break;
    case Unusable::relativeRuntimeFolder: {
        const QString temporary = home() + QStringLiteral("/tmp");
        ASSERT_TRUE(QDir().mkpath(temporary));
        adjust = [temporary](QProcessEnvironment& environment) {
            environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), QStringLiteral("run"));
            environment.insert(QStringLiteral("TMPDIR"), temporary);
        };
        break;
    }
    }
    QProcess& first = launch({}, QStringLiteral("state"), 0);
    ASSERT_TRUE(waitForLaunch(first)) << qPrintable(switchesLog());
    if (GetParam() == Unusable::folderAtTheSharedCopyLock) {
        EXPECT_TRUE(switchesLog(QStringLiteral("state0"))
                        .contains(QStringLiteral("moved a folder at %1 aside to %1.aside").arg(copyLockPath())))
            << qPrintable(switchesLog(QStringLiteral("state0")));
    }
    if (GetParam() == Unusable::linkFolderDeletedUnderTheCopy) {
        ASSERT_TRUE(QDir(linkFolder()).removeRecursively());
    }
    // Busy: it answers nobody, so only the lock tells that it runs.
    ASSERT_TRUE(signal(first, SIGSTOP));
    mayOutlive(first);

    std::vector<QProcess*> copies{&first};
    for (int copy = 1; copy <= 3; ++copy)
        copies.push_back(&launch({}, QStringLiteral("state"), copy));
    QProcess& sender = launch({QStringLiteral("tessaroom://switch/2")}, QStringLiteral("sender-state"), 4);
    EXPECT_EQ(waitUntilOneRuns(copies), 1) << qPrintable(switchesLog());

    EXPECT_EQ(first.state(), QProcess::Running)
        << "status " << first.exitStatus() << " code " << first.exitCode() << ": "
        << first.readAllStandardError().toStdString() << qPrintable(switchesLog());

    // Refused with the reason; never a copy itself.
    ASSERT_TRUE(sender.waitForFinished(generous)) << "the sender runs as a copy";
    const QString told = QString::fromUtf8(sender.readAllStandardError());
    EXPECT_EQ(sender.exitCode(), 1);
    EXPECT_TRUE(told.contains(QStringLiteral("could not deliver the link: "))) << qPrintable(told);
    EXPECT_FALSE(told.contains(QStringLiteral("launched"))) << qPrintable(told);
    // Only the copy that listens (or fails to) says so.
    EXPECT_LE(systemLog().count(QStringLiteral("links from other programs cannot be received")), 1)
        << qPrintable(systemLog());
}

std::string nameOf(const ::testing::TestParamInfo<Unusable>& unusable)
{
    switch (unusable.param) {
    case Unusable::anotherUsersFolder: return "anotherUsersFolder";
    case Unusable::folderAtTheOldLockPath: return "folderAtTheOldLockPath";
    case Unusable::linkAtTheOldLockPath: return "linkAtTheOldLockPath";
    case Unusable::linkFolderDeletedUnderTheCopy: return "linkFolderDeletedUnderTheCopy";
    case Unusable::relativeRuntimeFolder: return "relativeRuntimeFolder";
    case Unusable::folderAtTheSharedCopyLock: return "folderAtTheSharedCopyLock";
    }
    return "unknown";
}

INSTANTIATE_TEST_SUITE_P(Folders, UnusableFolderTest,
                         ::testing::Values(Unusable::anotherUsersFolder, Unusable::folderAtTheOldLockPath,
                                           Unusable::linkAtTheOldLockPath, Unusable::linkFolderDeletedUnderTheCopy,
                                           Unusable::relativeRuntimeFolder, Unusable::folderAtTheSharedCopyLock),
                         nameOf);

// --- a process started to hand over a link ---

TEST_F(OneCopyTest, ALinkSenderThatCannotReachTheCopyFailsAndNeverTakesItsPlace)
{
    QProcess& running = start({});
    ASSERT_TRUE(waitForLaunch(running));
    const qint64 pid = running.processId();
    // Too busy to take a connection: stopped, with its socket's queue full.
    ASSERT_TRUE(signal(running, SIGSTOP));
    std::vector<int> queued;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray path = QFile::encodeName(socketPath());
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()) + 1);
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            ::close(fd);
            break;
        }
        queued.push_back(fd);
    }

    expectHandOverRefused(QStringLiteral("tessaroom://switch/3"));
    EXPECT_FALSE(ended(pid));

    for (const int fd : queued)
        ::close(fd);
    ASSERT_TRUE(signal(running, SIGCONT));
    EXPECT_EQ(askToSwitch(), asked(pid));
    EXPECT_TRUE(stop(running));
}

} // namespace
