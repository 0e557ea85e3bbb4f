#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <ostream>
#include <vector>


namespace {

constexpr int generous = 30000; // ms

// Real processes of the app in one private home and runtime folder.
class SwitchRunningCopyTest : public ::testing::Test {
protected:
    ~SwitchRunningCopyTest() override
    {
        for (const auto& process : started_) {
            if (process->state() != QProcess::NotRunning) {
                ::kill(pid_t(process->processId()), SIGCONT);
                process->kill();
                process->waitForFinished(generous);
            }
        }
    }

    // Starts the app (or program) in the home; stateFolder is where the
    // process keeps its logs, under the home.
    QProcess& start(const QStringList& arguments, const QString& stateFolder = QStringLiteral("state"),
                    const QString& program = QStringLiteral(TESSAROOM_APP))
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), home_.path());
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home_.path() + QStringLiteral("/config"));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), home_.path() + QStringLiteral("/data"));
        environment.insert(QStringLiteral("XDG_STATE_HOME"), home_.path() + QLatin1Char('/') + stateFolder);
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), home_.path() + QStringLiteral("/cache"));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home_.path());
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        started_.push_back(std::make_unique<QProcess>());
        QProcess& process = *started_.back();
        process.setProcessEnvironment(environment);
        process.setReadChannel(QProcess::StandardError);
        process.start(program, arguments);
        return process;
    }

    // Waits until the process has written line on standard error: a copy
    // listens from its launch line on.
    static bool waitForLine(QProcess& process, const QByteArray& line)
    {
        QByteArray seen;
        while (!seen.contains(line) && process.waitForReadyRead(generous))
            seen += process.readAllStandardError();
        return seen.contains(line);
    }
    static bool waitForLaunch(QProcess& process) { return waitForLine(process, "launched"); }

    // Runs "--switch 3" in a new process and returns what it printed.
    QString askToSwitch()
    {
        QProcess& asker = start({QStringLiteral("--switch"), QStringLiteral("3")}, QStringLiteral("asker-state"));
        if (!asker.waitForFinished(generous))
            return QStringLiteral("(still running)");
        return QString::fromUtf8(asker.readAllStandardOutput());
    }
    static QString asked(qint64 pid)
    {
        return QStringLiteral("asked Tessaroom (pid %1) to open tessaroom://switch/3\n").arg(pid);
    }

    QString switchesLog(const QString& stateFolder = QStringLiteral("state")) const
    {
        QFile file(home_.path() + QLatin1Char('/') + stateFolder + QStringLiteral("/tessaroom/logs/switches.log"));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    // The names store as written to disk: entries by managed id.
    QJsonObject storedNames() const
    {
        QFile file(home_.path() + QStringLiteral("/config/tessaroom/app.tessaroom.json"));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        const QJsonObject domain = QJsonDocument::fromJson(file.readAll()).object();
        const QByteArray data = QByteArray::fromBase64(
            domain.value(QStringLiteral("Tessaroom.meta.v2")).toObject().value(QStringLiteral("data")).toString().toLatin1());
        return QJsonDocument::fromJson(data).object();
    }
    double storedSeconds() const
    {
        double seconds = 0;
        for (const QJsonValue& entry : storedNames())
            seconds += entry.toObject().value(QStringLiteral("seconds")).toDouble();
        return seconds;
    }
    bool storedName(const QString& name) const
    {
        for (const QJsonValue& entry : storedNames()) {
            if (entry.toObject().value(QStringLiteral("name")).toString() == name)
                return true;
        }
        return false;
    }

    // The process has ended: gone, or a zombie not reaped yet.
    static bool ended(qint64 pid)
    {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            return true;
        const QByteArray line = stat.readAll();
        const qsizetype close = line.lastIndexOf(')');
        return close > 0 && close + 2 < line.size() && line[close + 2] == 'Z';
    }

    QString home() const { return home_.path(); }

private:
    QTemporaryDir home_;
    std::vector<std::unique_ptr<QProcess>> started_;
};

} // namespace

// --- a second process hands "--switch" to the running copy ---

TEST_F(SwitchRunningCopyTest, TheSecondProcessAsksTheRunningCopyAndExits)
{
    QProcess& running = start({QStringLiteral("--run-for"), QStringLiteral("20")});
    ASSERT_TRUE(waitForLaunch(running));
    const qint64 pid = running.processId();

    EXPECT_EQ(askToSwitch(), asked(pid));
    // The running copy still owns the socket: a second ask reaches it too.
    EXPECT_EQ(askToSwitch(), asked(pid));
}

// --- a second plain launch retires the running copy ---

TEST_F(SwitchRunningCopyTest, ASecondLaunchRetiresTheRunningCopyWhichQuitsTheNormalWay)
{
    QProcess& first = start({QStringLiteral("--run-for"), QStringLiteral("60")});
    ASSERT_TRUE(waitForLaunch(first));
    const qint64 firstPid = first.processId();
    QProcess& second = start({QStringLiteral("--run-for"), QStringLiteral("12")});
    ASSERT_TRUE(waitForLaunch(second));
    const qint64 secondPid = second.processId();
    // The second went on only once the first had ended.
    EXPECT_TRUE(ended(firstPid));
    ASSERT_TRUE(first.waitForFinished(generous));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0);
    const QString retiring = QStringLiteral("retiring running copy pid %1 at %2\n").arg(firstPid).arg(TESSAROOM_APP);
    EXPECT_TRUE(switchesLog().contains(retiring)) << qPrintable(switchesLog());
    EXPECT_EQ(switchesLog().count(QStringLiteral("retiring running copy")), 1);
    // Its tracked time reached the disk on its way out.
    EXPECT_GT(storedSeconds(), 0);

    // The second is the only copy left, and links reach it.
    EXPECT_EQ(askToSwitch(), asked(secondPid));
    ASSERT_TRUE(second.waitForFinished(generous));
    EXPECT_TRUE(switchesLog().contains(QStringLiteral("link [")));
}

TEST_F(SwitchRunningCopyTest, TheRetiredCopysPendingRenameIsSavedAndKept)
{
    QProcess& first
        = start({QStringLiteral("Pending Rename")}, QStringLiteral("state"), QStringLiteral(TESSAROOM_PENDING_RENAME_COPY));
    ASSERT_TRUE(waitForLine(first, "listening"));
    const qint64 firstPid = first.processId();
    EXPECT_FALSE(storedName(QStringLiteral("Pending Rename")));

    QProcess& second = start({QStringLiteral("--run-for"), QStringLiteral("8")});
    ASSERT_TRUE(waitForLaunch(second));
    ASSERT_TRUE(first.waitForFinished(generous));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0);
    EXPECT_TRUE(switchesLog().contains(QStringLiteral("retiring running copy pid %1 at ").arg(firstPid)));
    EXPECT_TRUE(storedName(QStringLiteral("Pending Rename")));
    // The second copy's own saves, to its last on quitting, keep it.
    ASSERT_TRUE(second.waitForFinished(generous));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(storedName(QStringLiteral("Pending Rename")));
}

TEST_F(SwitchRunningCopyTest, ACopyThatDoesNotAnswerIsForcedAndTheNewOneTakesOver)
{
    QProcess& first = start({QStringLiteral("--run-for"), QStringLiteral("60")});
    ASSERT_TRUE(waitForLaunch(first));
    const qint64 firstPid = first.processId();
    // Stopped: its socket still takes connections, and nothing answers.
    ASSERT_EQ(::kill(pid_t(firstPid), SIGSTOP), 0);

    QProcess& second = start({QStringLiteral("--run-for"), QStringLiteral("20")});
    ASSERT_TRUE(waitForLaunch(second));
    const qint64 secondPid = second.processId();
    EXPECT_TRUE(ended(firstPid));
    ASSERT_TRUE(first.waitForFinished(generous));
    EXPECT_EQ(first.exitStatus(), QProcess::CrashExit);
    EXPECT_TRUE(switchesLog().contains(QStringLiteral("retiring running copy pid %1 at ?\n").arg(firstPid)))
        << qPrintable(switchesLog());

    EXPECT_EQ(askToSwitch(), asked(secondPid));
    ASSERT_TRUE(second.waitForFinished(generous));
    EXPECT_TRUE(switchesLog().contains(QStringLiteral("link [")));
}

// --- modes run beside the running copy and leave its socket alone ---

// A late mode in a short form; "HOME" stands for the test's home.
struct LateMode {
    const char* name;
    QStringList arguments;
};

void PrintTo(const LateMode& mode, std::ostream* out)
{
    *out << mode.name;
}

class ModeBesideTheRunningCopyTest : public SwitchRunningCopyTest, public ::testing::WithParamInterface<LateMode> {};

TEST_P(ModeBesideTheRunningCopyTest, ALinkStillReachesTheRunningCopyAfterwards)
{
    QStringList mode = GetParam().arguments;
    for (QString& argument : mode)
        argument.replace(QStringLiteral("HOME"), home());
    QProcess& running = start({QStringLiteral("--run-for"), QStringLiteral("15")});
    ASSERT_TRUE(waitForLaunch(running));
    const qint64 pid = running.processId();
    // The running copy registered itself as the links' opener; a mode beside
    // it must not register again (it may be another build, elsewhere).
    const QString entry = home() + QStringLiteral("/data/applications/tessaroom-links.desktop");
    ASSERT_TRUE(QFile::exists(entry));
    ASSERT_TRUE(QFile::remove(entry));
    QProcess& beside = start(mode, QStringLiteral("mode-state"));
    ASSERT_TRUE(beside.waitForFinished(generous));
    EXPECT_EQ(beside.exitCode(), 0) << qPrintable(beside.readAllStandardError());
    EXPECT_FALSE(switchesLog().contains(QStringLiteral("retiring")));
    EXPECT_FALSE(QFile::exists(entry)) << "the mode registered itself for links";

    EXPECT_EQ(askToSwitch(), asked(pid));
    ASSERT_TRUE(running.waitForFinished(generous));
    EXPECT_EQ(running.exitCode(), 0);
    EXPECT_TRUE(switchesLog().contains(QStringLiteral("link ["))) << qPrintable(switchesLog());
}

INSTANTIATE_TEST_SUITE_P(
    LateModes, ModeBesideTheRunningCopyTest,
    ::testing::Values(
        LateMode{"render", {QStringLiteral("--render"), QStringLiteral("HOME/renders")}},
        LateMode{"capture", {QStringLiteral("--capture"), QStringLiteral("HOME/captures"), QStringLiteral("--run-for"),
                             QStringLiteral("2")}},
        LateMode{"selftest", {QStringLiteral("--selftest"), QStringLiteral("--run-for"), QStringLiteral("2")}},
        LateMode{"sample", {QStringLiteral("--sample"), QStringLiteral("--run-for"), QStringLiteral("2")}}),
    [](const ::testing::TestParamInfo<LateMode>& mode) { return std::string(mode.param.name); });

TEST_F(SwitchRunningCopyTest, AnInProcessSwitchThatWasRunningFirstLeavesTheNewCopysSocket)
{
    // Without a running copy "--switch" switches in its own process, and
    // ends 2.5 s later; a copy starts meanwhile.
    QProcess& switching = start({QStringLiteral("--switch"), QStringLiteral("2")}, QStringLiteral("mode-state"));
    switching.setReadChannel(QProcess::StandardOutput);
    QByteArray printed;
    while (!printed.contains("switching to Desktop 2") && switching.waitForReadyRead(generous))
        printed += switching.readAllStandardOutput();
    ASSERT_TRUE(printed.contains("switching to Desktop 2")) << printed.toStdString();
    QProcess& running = start({QStringLiteral("--run-for"), QStringLiteral("15")});
    ASSERT_TRUE(waitForLaunch(running));
    const qint64 pid = running.processId();
    ASSERT_TRUE(switching.waitForFinished(generous));
    EXPECT_EQ(switching.exitCode(), 0);

    EXPECT_EQ(askToSwitch(), asked(pid));
    ASSERT_TRUE(running.waitForFinished(generous));
    EXPECT_TRUE(switchesLog().contains(QStringLiteral("link [")));
}
