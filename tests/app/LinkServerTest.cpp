#include "app/AppDelegate.h"
#include "app/LinkClient.h"
#include "app/LinkServer.h"
#include "platform/AppBundles.h"
#include "support/PlatformTest.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <atomic>
#include <cstring>
#include <thread>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

class LinkServerTest : public PlatformTest {
protected:
    LinkServerTest()
        : server({.link = [this](const QByteArray& link) { received.append(link); },
                  .oversized = [this](qint64 size) { received.append("oversized " + QByteArray::number(size)); }})
    {
        socketPath = folder.path() + QStringLiteral("/run/links");
    }

    // Sends from another thread (a blocking sender must not hold up the
    // receiving loop) and pumps this thread's events until it is done and
    // expected links arrived.
    bool sendAndReceive(const QList<QByteArray>& links, qsizetype expected)
    {
        std::atomic<bool> done = false;
        std::atomic<bool> sent = false;
        std::thread sender([&] {
            sent = LinkClient::send(socketPath, links, nullptr, 10000);
            done = true;
            // Wakes the receiving loop below.
            QMetaObject::invokeMethod(QCoreApplication::instance(), [] {}, Qt::QueuedConnection);
        });
        // Real socket traffic: wait for events while the sender works, then
        // drain what the socket still holds.
        while (!done)
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        for (int pass = 0; pass < 10000 && received.size() < expected; ++pass)
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        sender.join();
        return sent;
    }

    QTemporaryDir folder;
    QString socketPath;
    QList<QByteArray> received;
    LinkServer server;
};

// --- the socket's folder ------------------------------------------------------------------

TEST_F(LinkServerTest, TheFolderIsMadePrivate)
{
    QString error;
    ASSERT_TRUE(server.listen(socketPath, &error)) << error.toStdString();
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(QFileInfo(socketPath).path()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST_F(LinkServerTest, AnOpenFolderOfOursIsClosedToOthers)
{
    const QString run = QFileInfo(socketPath).path();
    QDir().mkpath(run);
    ::chmod(QFile::encodeName(run).constData(), 0777);
    QString error;
    ASSERT_TRUE(server.listen(socketPath, &error)) << error.toStdString();
    struct stat info {};
    ::stat(QFile::encodeName(run).constData(), &info);
    EXPECT_EQ(info.st_mode & 0077, 0u);
}

TEST_F(LinkServerTest, ALinkPlantedInPlaceOfTheFolderIsRefused)
{
    const QString elsewhere = folder.path() + QStringLiteral("/elsewhere");
    QDir().mkpath(elsewhere);
    QFile::link(elsewhere, QFileInfo(socketPath).path());
    QString error;
    EXPECT_FALSE(server.listen(socketPath, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("is not a folder")));
}

TEST_F(LinkServerTest, AFolderSquattedByAnotherUserIsNeverUsed)
{
    if (getuid() != 0)
        GTEST_SKIP() << "handing a folder to another user needs root";
    const QString run = QFileInfo(socketPath).path();
    QDir().mkpath(run);
    ASSERT_EQ(::chown(QFile::encodeName(run).constData(), 65534, 65534), 0);
    QString error;
    EXPECT_FALSE(server.listen(socketPath, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("belongs to another user")));
    EXPECT_FALSE(QFileInfo::exists(socketPath));
}

TEST_F(LinkServerTest, ASocketLeftByACrashedCopyIsCleared)
{
    QDir().mkpath(QFileInfo(socketPath).path());
    // A bound socket file with nobody listening, as a crash leaves it.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray path = QFile::encodeName(socketPath);
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()) + 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
    ASSERT_TRUE(QFileInfo::exists(socketPath));

    QString error;
    ASSERT_TRUE(server.listen(socketPath, &error)) << error.toStdString();
    ASSERT_TRUE(sendAndReceive({"tessaroom://next"}, 1));
    EXPECT_EQ(received, QList<QByteArray>{"tessaroom://next"});
}

TEST_F(LinkServerTest, ACopyStillListeningIsTakenOver)
{
    LinkServer older({.link = [](const QByteArray&) {}, .oversized = {}});
    ASSERT_TRUE(older.listen(socketPath, nullptr));
    QString error;
    ASSERT_TRUE(server.listen(socketPath, &error)) << error.toStdString();
    ASSERT_TRUE(sendAndReceive({"tessaroom://prev"}, 1));
    EXPECT_EQ(received, QList<QByteArray>{"tessaroom://prev"});
}

// --- batches --------------------------------------------------------------------------------

TEST_F(LinkServerTest, ABatchArrivesInOrderPastBadAndOversizedLinks)
{
    ASSERT_TRUE(server.listen(socketPath, nullptr));
    const QByteArray huge(LinkServer::maxLinkBytes + 10, 'x');
    const QByteArray notText("tessaroom://switch/\xff\xfe", 21);
    ASSERT_TRUE(sendAndReceive({"tessaroom://switch/1", huge, notText, "", "tessaroom://switch/2"}, 5));
    ASSERT_EQ(received.size(), 5);
    EXPECT_EQ(received[0], "tessaroom://switch/1");
    EXPECT_EQ(received[1], "oversized " + QByteArray::number(huge.size()));
    EXPECT_EQ(received[2], notText);
    EXPECT_EQ(received[3], "");
    EXPECT_EQ(received[4], "tessaroom://switch/2");
}

TEST_F(LinkServerTest, SendingWithoutARunningCopyFails)
{
    QString error;
    EXPECT_FALSE(LinkClient::send(socketPath, {"tessaroom://next"}, &error, 200));
    EXPECT_FALSE(error.isEmpty());
}

// --- the relaunch helper ---------------------------------------------------------------------

// A bundle whose program writes the arguments it got and where it ran.
QString makeBundle(const QString& path, const QString& marker)
{
    QDir().mkpath(path + QStringLiteral("/Contents/MacOS"));
    QFile program(path + QStringLiteral("/Contents/MacOS/tessaroom"));
    program.open(QIODevice::WriteOnly);
    program.write("#!/bin/sh\nprintf 'opened %s\\n' \"$0\" > \"$MARKER\"\n");
    program.close();
    program.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    Q_UNUSED(marker);
    return path;
}

TEST(RelaunchHelperTest, HostilePathsOpenExactlyAndRunNothingElse)
{
    QTemporaryDir root;
    // A process that has ended: the helper must not wait for it.
    QProcess finished;
    finished.start(QStringLiteral("/bin/true"));
    finished.waitForFinished(10000);
    const qint32 deadPid = qint32(finished.processId() ? finished.processId() : 999999);

    const QStringList names{
        QStringLiteral("Quote\"d.app"),
        QStringLiteral("$(touch injected).app"),
        QStringLiteral("`touch injected`.app"),
        QStringLiteral("trailing\\"),
    };
    for (const QString& name : names) {
        const QString bundle = makeBundle(root.path() + QLatin1Char('/') + name, {});
        const QString marker = root.path() + QStringLiteral("/marker");
        QFile::remove(marker);
        QProcess helper;
        helper.setWorkingDirectory(root.path());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("MARKER"), marker);
        helper.setProcessEnvironment(environment);
        helper.start(AppDelegate::shell, AppDelegate::relaunchArguments(deadPid, bundle));
        ASSERT_TRUE(helper.waitForFinished(20000)) << name.toStdString();
        QFile written(marker);
        ASSERT_TRUE(written.open(QIODevice::ReadOnly)) << name.toStdString();
        EXPECT_EQ(QString::fromUtf8(written.readAll()),
                  QStringLiteral("opened ") + bundle + QStringLiteral("/Contents/MacOS/tessaroom\n"));
        EXPECT_FALSE(QFileInfo::exists(root.path() + QStringLiteral("/injected"))) << name.toStdString();
    }
}

TEST(RelaunchHelperTest, TheHelperWaitsForTheProcessToEnd)
{
    QTemporaryDir root;
    const QString bundle = makeBundle(root.path() + QStringLiteral("/Tessaroom.app"), {});
    const QString marker = root.path() + QStringLiteral("/marker");
    QProcess sleeper;
    sleeper.start(QStringLiteral("/bin/sleep"), {QStringLiteral("0.5")});
    ASSERT_TRUE(sleeper.waitForStarted());
    QProcess helper;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("MARKER"), marker);
    helper.setProcessEnvironment(environment);
    helper.start(AppDelegate::shell, AppDelegate::relaunchArguments(qint32(sleeper.processId()), bundle));
    ASSERT_TRUE(helper.waitForStarted());
    // Still waiting while the watched process lives (it is our child, so it
    // lingers until reaped; reap it as soon as it exits).
    EXPECT_FALSE(QFileInfo::exists(marker));
    ASSERT_TRUE(sleeper.waitForFinished(10000));
    ASSERT_TRUE(helper.waitForFinished(20000));
    EXPECT_TRUE(QFileInfo::exists(marker));
}

} // namespace
