#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Two real processes of the app in one private home and runtime folder.
class SwitchRunningCopyTest : public ::testing::Test {
protected:
    SwitchRunningCopyTest()
    {
        environment_ = QProcessEnvironment::systemEnvironment();
        environment_.insert(QStringLiteral("HOME"), home_.path());
        environment_.insert(QStringLiteral("XDG_CONFIG_HOME"), home_.path() + QStringLiteral("/config"));
        environment_.insert(QStringLiteral("XDG_DATA_HOME"), home_.path() + QStringLiteral("/data"));
        environment_.insert(QStringLiteral("XDG_STATE_HOME"), home_.path() + QStringLiteral("/state"));
        environment_.insert(QStringLiteral("XDG_CACHE_HOME"), home_.path() + QStringLiteral("/cache"));
        environment_.insert(QStringLiteral("XDG_RUNTIME_DIR"), home_.path());
        environment_.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    }

    void start(QProcess& process, const QStringList& arguments)
    {
        process.setProcessEnvironment(environment_);
        process.start(QStringLiteral(TESSAROOM_APP), arguments);
    }

    QTemporaryDir home_;
    QProcessEnvironment environment_;
};

} // namespace

// --- a second process hands "--switch" to the running copy ---

TEST_F(SwitchRunningCopyTest, TheSecondProcessAsksTheRunningCopyAndExits)
{
    QProcess running;
    start(running, {QStringLiteral("--run-for"), QStringLiteral("20")});
    running.setReadChannel(QProcess::StandardError);
    // The copy listens once its launch line is out.
    QByteArray launched;
    while (!launched.contains("launched") && running.waitForReadyRead(10000))
        launched += running.readAllStandardError();
    ASSERT_TRUE(launched.contains("launched")) << launched.toStdString();

    QProcess second;
    start(second, {QStringLiteral("--switch"), QStringLiteral("2")});
    ASSERT_TRUE(second.waitForFinished(10000));
    const QString printed = QString::fromUtf8(second.readAllStandardOutput());
    EXPECT_EQ(second.exitCode(), 0) << printed.toStdString();
    EXPECT_EQ(printed, QStringLiteral("asked Tessaroom (pid %1) to open tessaroom://switch/2\n").arg(running.processId()));

    // The running copy still owns the socket: a second ask reaches it too.
    QProcess third;
    start(third, {QStringLiteral("--switch"), QStringLiteral("Mail")});
    ASSERT_TRUE(third.waitForFinished(10000));
    EXPECT_EQ(QString::fromUtf8(third.readAllStandardOutput()),
              QStringLiteral("asked Tessaroom (pid %1) to open tessaroom://switch/Mail\n").arg(running.processId()));

    running.terminate();
    running.waitForFinished(10000);
}
