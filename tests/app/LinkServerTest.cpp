#include "app/AppDelegate.h"
#include "app/CopyLock.h"
#include "app/LinkClient.h"
#include "app/LinkMessage.h"
#include "app/LinkServer.h"
#include "platform/AppBundles.h"
#include "platform/Bundle.h"
#include "platform/Folders.h"
#include "platform/SystemLog.h"
#include "store/LogFile.h"
#include "support/ForkedChild.h"
#include "support/PlatformTest.h"
#include "support/TestProcesses.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

sockaddr_un addressOf(const QString& socketPath)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray path = QFile::encodeName(socketPath);
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()) + 1);
    return address;
}

// Runs this thread's events (the server's socket traffic) until done says
// so; false when that takes more than 10 s.
bool pumpUntil(const std::function<bool()>& done)
{
    const QDeadlineTimer deadline(10000);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// The client end of one connection, driven byte by byte from the test's
// thread; it never waits for the server.
class RawClient {
public:
    explicit RawClient(const QString& socketPath)
        : fd_(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0))
    {
        const sockaddr_un address = addressOf(socketPath);
        connected_ = fd_ >= 0 && ::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }
    ~RawClient()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool connected() const { return connected_; }
    // Reads the answers that came, as a sender waiting for them does.
    void drain() { readAvailable(); }
    // Writes what the socket takes now; the count written.
    qint64 writeSome(const QByteArray& bytes)
    {
        const ssize_t written = ::send(fd_, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL);
        return written < 0 ? 0 : written;
    }
    // Small writes: the socket takes them whole.
    void send(const QByteArray& bytes) { ASSERT_EQ(writeSome(bytes), bytes.size()); }
    bool hasInput() const
    {
        pollfd watch{fd_, POLLIN, 0};
        return ::poll(&watch, 1, 0) > 0;
    }
    // The server closed its end (after any answers, which are read first).
    bool closedByServer()
    {
        char byte = 0;
        const ssize_t got = ::recv(fd_, &byte, 1, MSG_DONTWAIT);
        return got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
    }
    // One whole answer frame, once it is there.
    std::optional<QByteArray> answer()
    {
        if (!pumpUntil([this] {
                readAvailable();
                return frameReady();
            }))
            return std::nullopt;
        const qint64 size = qFromBigEndian<quint32>(input_.constData());
        const QByteArray payload = input_.mid(LinkMessage::headerBytes, size);
        input_.remove(0, LinkMessage::headerBytes + size);
        return payload;
    }

private:
    void readAvailable()
    {
        char chunk[4096];
        ssize_t got = 0;
        while ((got = ::recv(fd_, chunk, sizeof chunk, MSG_DONTWAIT)) > 0)
            input_.append(chunk, got);
    }
    bool frameReady() const
    {
        return input_.size() >= LinkMessage::headerBytes
               && input_.size() - LinkMessage::headerBytes >= qFromBigEndian<quint32>(input_.constData());
    }

    int fd_;
    bool connected_ = false;
    QByteArray input_;
};

// Lowers this process's descriptor limit and takes every free descriptor
// under it but one, until destroyed.
class DescriptorsUsedUp {
public:
    DescriptorsUsedUp()
    {
        ::getrlimit(RLIMIT_NOFILE, &saved_);
        int highest = 0;
        for (const QString& entry : QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System))
            highest = std::max(highest, entry.toInt());
        rlimit lowered = saved_;
        lowered.rlim_cur = rlim_t(highest) + 32;
        ::setrlimit(RLIMIT_NOFILE, &lowered);
        for (int fd = ::dup(0); fd >= 0; fd = ::dup(0))
            held_.push_back(fd);
        ::close(held_.back());
        held_.pop_back();
    }
    ~DescriptorsUsedUp()
    {
        for (const int fd : held_)
            ::close(fd);
        ::setrlimit(RLIMIT_NOFILE, &saved_);
    }
    DescriptorsUsedUp(const DescriptorsUsedUp&) = delete;
    DescriptorsUsedUp& operator=(const DescriptorsUsedUp&) = delete;

private:
    rlimit saved_{};
    std::vector<int> held_;
};

// A child of the test's own (ForkedChild): listens at address, reads what
// a connection brings and closes it without an answer. Only calls that are
// safe after fork in a threaded process.
int listenWithoutAnswering(const sockaddr_un& address, int ready)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const bool listening =
        ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 && ::listen(fd, 4) == 0;
    const char byte = listening ? 1 : 0;
    [[maybe_unused]] const ssize_t told = ::write(ready, &byte, 1);
    for (;;) {
        const int connection = ::accept(fd, nullptr, nullptr);
        char bytes[256];
        [[maybe_unused]] const ssize_t read = ::read(connection, bytes, sizeof bytes);
        ::close(connection);
    }
}

class LinkServerTest : public PlatformTest {
protected:
    LinkServerTest()
        : server({.link = [this](const QByteArray& link) { received.append(link); },
                  .oversized = [this](qint64 size) { received.append("oversized " + QByteArray::number(size)); },
                  .quit = [this] { ++quits; }})
    {
        socketPath = folder.path() + QStringLiteral("/run/links");
    }

    static QByteArray frames(const QList<QByteArray>& links)
    {
        QByteArray bytes;
        for (const QByteArray& link : links)
            bytes += LinkMessage::frame(link);
        return bytes;
    }
    static bool logged(const QString& text)
    {
        return platform::SystemLog::lines().join(QLatin1Char('\n')).contains(text);
    }

    // Sends from another thread (a blocking sender must not hold up the
    // receiving loop) and pumps this thread's events until it is done and
    // expected links arrived.
    bool sendAndReceive(const QList<QByteArray>& links, qsizetype expected)
    {
        std::atomic<bool> done = false;
        std::atomic<bool> sent = false;
        std::thread sender([&] {
            sent = LinkClient::send(socketPath, links, 10000).answers.size() == links.size();
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
    int quits = 0;
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

// A bound socket file with nobody listening, as a crash leaves it.
void bindStaleSocket(const QString& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const sockaddr_un address = addressOf(path);
    ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
}

TEST_F(LinkServerTest, ASocketLeftByACrashedCopyIsCleared)
{
    QDir().mkpath(QFileInfo(socketPath).path());
    bindStaleSocket(socketPath);
    ASSERT_TRUE(QFileInfo::exists(socketPath));

    QString error;
    ASSERT_TRUE(server.listen(socketPath, &error)) << error.toStdString();
    ASSERT_TRUE(sendAndReceive({"tessaroom://next"}, 1));
    EXPECT_EQ(received, QList<QByteArray>{"tessaroom://next"});
}

// Something at the socket path that is not a stale socket of this user.
struct Squatter {
    const char* name;
    // Makes it at path (folder is the test's own); false to skip.
    std::function<bool(const QString& path, const QString& folder)> make;
};

void PrintTo(const Squatter& squatter, std::ostream* out)
{
    *out << squatter.name;
}

class SocketPathSquatterTest : public LinkServerTest, public ::testing::WithParamInterface<Squatter> {};

TEST_P(SocketPathSquatterTest, IsLeftAsItIsAndTheReasonGiven)
{
    QDir().mkpath(QFileInfo(socketPath).path());
    if (!GetParam().make(socketPath, folder.path()))
        GTEST_SKIP() << "handing a socket to another user needs root";
    struct stat before {};
    ASSERT_EQ(::lstat(QFile::encodeName(socketPath).constData(), &before), 0);

    QString error;
    EXPECT_FALSE(server.listen(socketPath, &error));
    EXPECT_TRUE(error.endsWith(QStringLiteral("; it is left as it is"))) << error.toStdString();
    struct stat after {};
    ASSERT_EQ(::lstat(QFile::encodeName(socketPath).constData(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mode, before.st_mode);
}

INSTANTIATE_TEST_SUITE_P(
    NotOurStaleSocket, SocketPathSquatterTest,
    ::testing::Values(
        Squatter{"file",
                 [](const QString& path, const QString&) {
                     QFile file(path);
                     return file.open(QIODevice::WriteOnly) && file.write("notes") == 5;
                 }},
        Squatter{"linkToAStaleSocket",
                 [](const QString& path, const QString& folder) {
                     const QString elsewhere = folder + QStringLiteral("/elsewhere");
                     bindStaleSocket(elsewhere);
                     return QFile::link(elsewhere, path);
                 }},
        Squatter{"staleSocketOfAnotherUser",
                 [](const QString& path, const QString&) {
                     if (getuid() != 0)
                         return false;
                     bindStaleSocket(path);
                     return ::lchown(QFile::encodeName(path).constData(), 65534, 65534) == 0;
                 }}),
    [](const ::testing::TestParamInfo<Squatter>& squatter) { return std::string(squatter.param.name); });

TEST_F(LinkServerTest, ACopyStillListeningKeepsItsSocket)
{
    QList<QByteArray> older;
    {
        LinkServer first({.link = [&](const QByteArray& link) { older.append(link); }, .oversized = {}});
        ASSERT_TRUE(first.listen(socketPath, nullptr));
        QString error;
        EXPECT_FALSE(server.listen(socketPath, &error));
        EXPECT_TRUE(error.contains(QStringLiteral("listens on"))) << error.toStdString();
        RawClient client(socketPath);
        client.send(LinkMessage::frame("tessaroom://prev"));
        ASSERT_TRUE(pumpUntil([&] { return !older.isEmpty(); }));
    }
    EXPECT_EQ(older, QList<QByteArray>{"tessaroom://prev"});
    EXPECT_TRUE(received.isEmpty());
}

TEST_F(LinkServerTest, ACopyTooBusyToTakeAConnectionKeepsItsSocket)
{
    QDir().mkpath(QFileInfo(socketPath).path());
    // A copy that accepts nothing: its queue fills and connecting would block.
    const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_un address = addressOf(socketPath);
    ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 0), 0);
    std::vector<std::unique_ptr<RawClient>> queued;
    for (int i = 0; i < 8 && (queued.empty() || queued.back()->connected()); ++i)
        queued.push_back(std::make_unique<RawClient>(socketPath));
    ASSERT_FALSE(queued.back()->connected());
    struct stat before {};
    ::stat(QFile::encodeName(socketPath).constData(), &before);

    EXPECT_FALSE(server.listen(socketPath, nullptr));
    struct stat after {};
    ASSERT_EQ(::stat(QFile::encodeName(socketPath).constData(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    ::close(listener);
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

TEST_F(LinkServerTest, ALinkOverSixtyFourKilobytesIsSkippedUnread)
{
    ASSERT_TRUE(server.listen(socketPath, nullptr));
    const QByteArray atLimit = "tessaroom://switch/" + QByteArray(LinkServer::maxLinkBytes - 19, 'x');
    const QByteArray over = atLimit + 'x';
    ASSERT_TRUE(sendAndReceive({over, atLimit, "tessaroom://next"}, 3));
    EXPECT_EQ(received, (QList<QByteArray>{"oversized " + QByteArray::number(over.size()), atLimit, "tessaroom://next"}));
}

TEST_F(LinkServerTest, SendingWithoutARunningCopyFindsNobody)
{
    const LinkClient::Delivery delivery = LinkClient::send(socketPath, {"tessaroom://next"}, 200);
    EXPECT_TRUE(delivery.nobody);
    EXPECT_TRUE(delivery.answers.isEmpty());
}

// --- what a sender trusts ------------------------------------------------------------------------

TEST_F(LinkServerTest, ALinkCountsAsDeliveredOnlyOnceTheCopyConfirmedIt)
{
    QDir().mkpath(QFileInfo(socketPath).path());
    ::chmod(QFile::encodeName(QFileInfo(socketPath).path()).constData(), 0700);
    // Another program of this user reads the bytes and goes: the link reached
    // the kernel and that program, and no copy has it.
    const sockaddr_un address = addressOf(socketPath);
    ForkedChild listener([&](int ready) { return listenWithoutAnswering(address, ready); });
    ASSERT_TRUE(listener.ready());
    const LinkClient::Delivery delivery = LinkClient::send(socketPath, {"tessaroom://switch/3"}, 10000);
    EXPECT_TRUE(delivery.answers.isEmpty());
    EXPECT_EQ(delivery.pid, 0);
    EXPECT_FALSE(delivery.nobody);
    EXPECT_TRUE(delivery.problem.contains(QStringLiteral("before it answered as Tessaroom"))) << delivery.problem.toStdString();
}

// Something a sender finds at the socket path that is not the user's own copy.
struct Untrusted {
    const char* name;
    // Changes the place after the server listens at socketPath (or at
    // elsewhere, for a link); what the refusal names.
    std::function<void(const QString& socketPath, const QString& elsewhere)> make;
    const char* problem;
};

void PrintTo(const Untrusted& untrusted, std::ostream* out)
{
    *out << untrusted.name;
}

class UntrustedSocketTest : public LinkServerTest, public ::testing::WithParamInterface<Untrusted> {};

TEST_P(UntrustedSocketTest, NothingIsSentThereAndNoCopyIsFound)
{
    const QString elsewhere = folder.path() + QStringLiteral("/elsewhere/links");
    const bool throughALink = std::string(GetParam().name) == "linkToAnotherSocket";
    ASSERT_TRUE(server.listen(throughALink ? elsewhere : socketPath, nullptr));
    GetParam().make(socketPath, elsewhere);

    const LinkClient::Found found = LinkClient::find(socketPath, 2000);
    EXPECT_FALSE(found.copy);
    EXPECT_FALSE(found.nobody);
    EXPECT_TRUE(found.problem.contains(QLatin1String(GetParam().problem))) << found.problem.toStdString();
    const LinkClient::Delivery delivery = LinkClient::send(socketPath, {"tessaroom://switch/Secret"}, 2000);
    EXPECT_TRUE(delivery.answers.isEmpty());
    EXPECT_TRUE(delivery.problem.contains(QLatin1String(GetParam().problem))) << delivery.problem.toStdString();
    EXPECT_EQ(LinkClient::askToQuit(socketPath, qint32(QCoreApplication::applicationPid()), 2000),
              LinkClient::QuitAnswer::silent);
    for (int turn = 0; turn < 100; ++turn)
        QCoreApplication::processEvents();
    EXPECT_EQ(server.connectionCount(), 0);
    EXPECT_TRUE(received.isEmpty());
    EXPECT_EQ(quits, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Places, UntrustedSocketTest,
    ::testing::Values(Untrusted{"linkToAnotherSocket",
                                [](const QString& socketPath, const QString& elsewhere) {
                                    QDir().mkpath(QFileInfo(socketPath).path());
                                    ::chmod(QFile::encodeName(QFileInfo(socketPath).path()).constData(), 0700);
                                    QFile::link(elsewhere, socketPath);
                                },
                                "is a link, not a socket"},
                      Untrusted{"folderOpenToOthers",
                                [](const QString& socketPath, const QString&) {
                                    ::chmod(QFile::encodeName(QFileInfo(socketPath).path()).constData(), 0755);
                                },
                                "is open to other users"},
                      Untrusted{"folderAsALink",
                                [](const QString& socketPath, const QString& elsewhere) {
                                    const QString run = QFileInfo(socketPath).path();
                                    QDir(run).removeRecursively();
                                    QDir().mkpath(QFileInfo(elsewhere).path());
                                    QFile::link(QFileInfo(elsewhere).path(), run);
                                },
                                "is not a folder"}),
    [](const ::testing::TestParamInfo<Untrusted>& untrusted) { return std::string(untrusted.param.name); });

// --- hostile clients --------------------------------------------------------------------------

TEST_F(LinkServerTest, PastSixteenConnectionsNewcomersWaitTheirTurnAndAreConfirmed)
{
    ASSERT_TRUE(server.listen(socketPath, nullptr));
    std::vector<std::unique_ptr<RawClient>> held;
    for (int i = 0; i < LinkServer::maxConnections; ++i)
        held.push_back(std::make_unique<RawClient>(socketPath));
    ASSERT_TRUE(pumpUntil([&] { return server.connectionCount() == LinkServer::maxConnections; }));
    std::vector<std::unique_ptr<RawClient>> late;
    for (int i = 0; i < 3; ++i) {
        late.push_back(std::make_unique<RawClient>(socketPath));
        late.back()->send(LinkMessage::frame("tessaroom://switch/" + QByteArray::number(i + 1)));
    }
    for (int turn = 0; turn < 200; ++turn)
        QCoreApplication::processEvents();
    EXPECT_EQ(server.connectionCount(), LinkServer::maxConnections);
    EXPECT_TRUE(received.isEmpty());
    for (const auto& waiting : late)
        EXPECT_FALSE(waiting->closedByServer());

    // As connections go, the waiting ones are served in turn, and each link
    // is confirmed.
    held.resize(held.size() - late.size());
    for (const auto& waiting : late) {
        const auto answer = waiting->answer();
        ASSERT_TRUE(answer);
        EXPECT_EQ(LinkMessage::read(*answer).kind, LinkMessage::Kind::taken);
    }
    EXPECT_EQ(received, (QList<QByteArray>{"tessaroom://switch/1", "tessaroom://switch/2", "tessaroom://switch/3"}));
}

TEST_F(LinkServerTest, NearTheDescriptorLimitNewcomersWaitAndTheRestOfTheAppKeepsItsShare)
{
    ASSERT_TRUE(server.listen(socketPath, nullptr));
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    const auto openNow = [] { return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size(); };
    constexpr int clients = 6;
    rlimit lowered = saved;
    lowered.rlim_cur = rlim_t(openNow() + LinkServer::descriptorReserve + clients);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &lowered), 0);
    std::vector<std::unique_ptr<RawClient>> senders;
    for (int i = 0; i < clients; ++i) {
        senders.push_back(std::make_unique<RawClient>(socketPath));
        senders.back()->send(LinkMessage::frame("tessaroom://switch/" + QByteArray::number(i + 1)));
    }
    for (int turn = 0; turn < 200; ++turn)
        QCoreApplication::processEvents();
    EXPECT_LE(server.connectionCount(), 1);
    EXPECT_GE(qint64(lowered.rlim_cur) - openNow(), LinkServer::descriptorReserve - 1);
    // Each sender that goes makes room for the next, in turn.
    for (auto& sender : senders) {
        const auto answer = sender->answer();
        ASSERT_TRUE(answer);
        EXPECT_EQ(LinkMessage::read(*answer).kind, LinkMessage::Kind::taken);
        sender.reset();
    }
    ::setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_EQ(received.size(), clients);
}

TEST_F(LinkServerTest, AConnectionWithoutAWholeFrameForFiveSecondsIsClosed)
{
    ASSERT_TRUE(server.listen(socketPath, nullptr));
    RawClient idle(socketPath);
    RawClient slow(socketPath);
    RawClient busy(socketPath);
    ASSERT_TRUE(pumpUntil([&] { return server.connectionCount() == 3; }));
    slow.send(QByteArray("\0\0", 2)); // half a header, and no more
    advance(4);
    busy.send(LinkMessage::frame("tessaroom://next"));
    ASSERT_TRUE(pumpUntil([&] { return received.size() == 1; }));

    advance(1.01);
    ASSERT_TRUE(pumpUntil([&] { return idle.closedByServer() && slow.closedByServer(); }));
    EXPECT_FALSE(busy.closedByServer());
    EXPECT_EQ(server.connectionCount(), 1);
    // Five seconds after its last frame.
    advance(4);
    ASSERT_TRUE(pumpUntil([&] { return busy.closedByServer(); }));
    EXPECT_EQ(server.connectionCount(), 0);
    EXPECT_EQ(clock().pendingCount(), 0u);
}

TEST_F(LinkServerTest, AFloodOnOneConnectionDoesNotHoldUpALinkOnAnother)
{
    ASSERT_TRUE(server.listen(socketPath, nullptr));
    RawClient flood(socketPath);
    RawClient other(socketPath);
    QList<QByteArray> batch;
    for (int i = 0; i < 2000; ++i)
        batch.append("tessaroom://switch/99");
    flood.send(frames(batch));
    // One turn of the loop at a time, until the flood is being handed on.
    const QDeadlineTimer deadline(10000);
    while (received.isEmpty() && !deadline.hasExpired())
        QCoreApplication::processEvents();
    ASSERT_LT(received.size(), 2000);
    other.send(LinkMessage::frame("tessaroom://switch/2"));
    ASSERT_TRUE(pumpUntil([&] { return received.contains("tessaroom://switch/2"); }));
    EXPECT_LT(received.indexOf("tessaroom://switch/2"), 20);
    // The flood still arrives whole, to a sender that reads its answers.
    ASSERT_TRUE(pumpUntil([&] {
        flood.drain();
        return received.size() == 2001;
    }));
    EXPECT_EQ(received.count("tessaroom://switch/99"), 2000);
}

TEST_F(LinkServerTest, AConnectionHoldsAtMostAMegabyteNotYetHandled)
{
    ASSERT_TRUE(server.listen(socketPath, nullptr));
    RawClient flood(socketPath);
    ASSERT_TRUE(pumpUntil([&] { return server.connectionCount() == 1; }));
    QLocalSocket* socket = server.findChild<QLocalSocket*>();
    ASSERT_NE(socket, nullptr);
    const QByteArray link = LinkMessage::frame(QByteArray(60 * 1024, 'x'));
    QByteArray pending;
    qint64 written = 0;
    qint64 most = 0;
    // The client writes whatever the socket takes; the server gets one turn
    // in between.
    for (int round = 0; round < 400 && written < 32 * 1024 * 1024; ++round) {
        while (pending.size() < 1024 * 1024)
            pending += link;
        const qint64 taken = flood.writeSome(pending);
        pending.remove(0, taken);
        written += taken;
        QCoreApplication::processEvents();
        most = std::max(most, socket->bytesAvailable());
    }
    EXPECT_LE(most + LinkServer::maxLinkBytes + LinkMessage::headerBytes, LinkServer::maxBytesInFlight);
    // The flood did fill what the connection may hold.
    EXPECT_GT(most, LinkServer::maxBytesInFlight / 2);
}

TEST_F(LinkServerTest, AClientThatNeverReadsItsAnswersIsDropped)
{
    ASSERT_TRUE(server.listen(socketPath, nullptr));
    RawClient client(socketPath);
    const QByteArray request = LinkMessage::frame(LinkMessage::identify());
    QByteArray pending;
    for (int i = 0; i < 40000; ++i)
        pending += request;
    ASSERT_TRUE(pumpUntil([&] { return server.connectionCount() == 1; }));
    // Asks and asks, and reads nothing.
    ASSERT_TRUE(pumpUntil([&] {
        pending.remove(0, client.writeSome(pending));
        return server.connectionCount() == 0;
    }));
    EXPECT_TRUE(client.closedByServer() || client.hasInput());
}

TEST_F(LinkServerTest, WhenAcceptingFailsTheSocketSaysSoAndListensAgain)
{
    ASSERT_TRUE(server.listen(socketPath, nullptr));
    // A connection and a log line while descriptors are there, so that what
    // runs for the next connection runs for the second time (the sanitizers
    // check a type the first time they meet it, with descriptors of their
    // own).
    ASSERT_TRUE(sendAndReceive({"tessaroom://prev"}, 1));
    ASSERT_TRUE(pumpUntil([&] { return server.connectionCount() == 0; }));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    platform::SystemLog::write(QStringLiteral("Tessaroom: before the descriptors run out"));
    {
        const DescriptorsUsedUp exhausted;
        // Takes the last descriptor: the server has none left to accept with.
        RawClient client(socketPath);
        ASSERT_TRUE(client.connected());
        ASSERT_TRUE(pumpUntil([&] { return !server.isListening(); }));
    }
    EXPECT_TRUE(logged(QStringLiteral("the link socket stopped listening")));
    clock().runPending();
    EXPECT_TRUE(server.isListening());
    EXPECT_TRUE(logged(QStringLiteral("listening again for links on ") + socketPath));
    ASSERT_TRUE(sendAndReceive({"tessaroom://next"}, 2));
    EXPECT_EQ(received, (QList<QByteArray>{"tessaroom://prev", "tessaroom://next"}));
}

// --- copies talking to each other ---------------------------------------------------------------

TEST_F(LinkServerTest, ANewerCopyLearnsThePidAndBundlePath)
{
    ASSERT_TRUE(server.listen(socketPath, nullptr));
    RawClient newer(socketPath);
    newer.send(LinkMessage::frame(LinkMessage::identify()));
    const auto answer = newer.answer();
    ASSERT_TRUE(answer);
    const LinkMessage message = LinkMessage::read(*answer);
    EXPECT_EQ(message.kind, LinkMessage::Kind::copy);
    EXPECT_EQ(message.pid, qint32(QCoreApplication::applicationPid()));
    EXPECT_EQ(message.bundlePath, platform::Bundle::executablePath()); // the test runs outside a bundle
    EXPECT_TRUE(received.isEmpty());
    EXPECT_EQ(quits, 0);
}

TEST_F(LinkServerTest, AQuitRequestIsAnsweredThenHandedOn)
{
    ASSERT_TRUE(server.listen(socketPath, nullptr));
    RawClient newer(socketPath);
    newer.send(LinkMessage::frame(LinkMessage::quit()));
    const auto answer = newer.answer();
    ASSERT_TRUE(answer);
    EXPECT_EQ(LinkMessage::read(*answer).kind, LinkMessage::Kind::quitting);
    EXPECT_EQ(LinkMessage::read(*answer).pid, qint32(QCoreApplication::applicationPid()));
    EXPECT_EQ(quits, 1);
}

TEST_F(LinkServerTest, MessagesAndLinksNeverPassForEachOther)
{
    ASSERT_TRUE(server.listen(socketPath, nullptr));
    RawClient client(socketPath);
    // The words of the messages as links, and messages this version does
    // not know (or that carry more than their word).
    client.send(frames({"identify", "quit", LinkMessage::marker + QByteArray("shutdown"),
                        LinkMessage::quit() + " now", LinkMessage::copy(1, QStringLiteral("/x")),
                        LinkMessage::taken(1), "tessaroom://next"}));
    ASSERT_TRUE(pumpUntil([&] { return received.contains("tessaroom://next"); }));
    EXPECT_EQ(received, (QList<QByteArray>{"identify", "quit", "tessaroom://next"}));
    EXPECT_EQ(quits, 0);
    // Each link is confirmed, and nothing else is answered.
    for (int link = 0; link < 3; ++link) {
        const auto answer = client.answer();
        ASSERT_TRUE(answer);
        EXPECT_EQ(LinkMessage::read(*answer).kind, LinkMessage::Kind::taken);
    }
    EXPECT_FALSE(client.hasInput());
}

TEST_F(LinkServerTest, ALinkAQuittingCopyClosedOnUnansweredGoesToTheCopyThatFollows)
{
    ASSERT_TRUE(QDir().mkpath(QFileInfo(socketPath).path()));
    ::chmod(QFile::encodeName(QFileInfo(socketPath).path()).constData(), 0700);
    const int quitting = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_un address = addressOf(socketPath);
    ASSERT_EQ(::bind(quitting, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(quitting, 4), 0);
    std::atomic<bool> done = false;
    LinkClient::Delivery delivery;
    std::thread sender([&] {
        delivery = LinkClient::sendOnceListening(socketPath, {"tessaroom://next"}, [] {
            return CopyLock::Seen{.look = CopyLock::Look::copyRuns, .found = QStringLiteral("a copy")};
        }, 10000);
        done = true;
        QMetaObject::invokeMethod(QCoreApplication::instance(), [] {}, Qt::QueuedConnection);
    });
    // It quits: closes on the sender before it answers, and its socket goes.
    pollfd watch{quitting, POLLIN, 0};
    ASSERT_EQ(::poll(&watch, 1, 10000), 1);
    ::close(::accept(quitting, nullptr, nullptr));
    ::close(quitting);
    ::unlink(QFile::encodeName(socketPath).constData());
    ASSERT_TRUE(server.listen(socketPath, nullptr));
    while (!done)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    sender.join();
    EXPECT_TRUE(delivery.tookAll(1)) << delivery.problem.toStdString();
    ASSERT_TRUE(pumpUntil([&] { return !received.isEmpty(); }));
    EXPECT_EQ(received, QList<QByteArray>{"tessaroom://next"});
}

TEST_F(LinkServerTest, ThisProcessNeverAsksItself)
{
    ASSERT_TRUE(server.listen(socketPath, nullptr));
    // Waiting for its own answer would only time out; it is not asked.
    const LinkClient::Found found = LinkClient::find(socketPath, 60000);
    EXPECT_TRUE(found.nobody);
    EXPECT_FALSE(found.copy);
}

TEST(LinkMessageTest, AnswersReadBackWhatWasWritten)
{
    const QString path = QStringLiteral("/Volumes/T\u00e9ssa\nroom/Tessaroom.app");
    const LinkMessage copy = LinkMessage::read(LinkMessage::copy(4321, path));
    EXPECT_EQ(copy.kind, LinkMessage::Kind::copy);
    EXPECT_EQ(copy.pid, 4321);
    EXPECT_EQ(copy.bundlePath, path);
    EXPECT_EQ(LinkMessage::read(LinkMessage::quitting(77)).pid, 77);
    EXPECT_EQ(LinkMessage::read(LinkMessage::taken(78)).kind, LinkMessage::Kind::taken);
    EXPECT_EQ(LinkMessage::read(LinkMessage::taken(78)).pid, 78);
    const LinkMessage refused = LinkMessage::read(LinkMessage::refused(79, QStringLiteral("Tessaroom doesn't know \u201Cx\u201D")));
    EXPECT_EQ(refused.kind, LinkMessage::Kind::refused);
    EXPECT_EQ(refused.pid, 79);
    EXPECT_EQ(refused.reason, QStringLiteral("Tessaroom doesn't know \u201Cx\u201D"));
    for (const QByteArray& malformed : {LinkMessage::marker + QByteArray("quitting -1"),
                                        LinkMessage::marker + QByteArray("quitting 99999999999"),
                                        LinkMessage::marker + QByteArray("copy 12/x"), QByteArray(1, LinkMessage::marker)})
        EXPECT_EQ(LinkMessage::read(malformed).kind, LinkMessage::Kind::unknown) << malformed.toStdString();
    EXPECT_EQ(LinkMessage::read("").kind, LinkMessage::Kind::link);
}

// --- the copy lock -------------------------------------------------------------------------------

TEST_F(LinkServerTest, OneCopyHoldsTheLockUntilItGoes)
{
    auto first = std::make_unique<CopyLock>(socketPath);
    CopyLock second(socketPath);
    EXPECT_EQ(first->take(), CopyLock::Take::taken);
    EXPECT_EQ(first->take(), CopyLock::Take::taken);
    EXPECT_EQ(second.take(), CopyLock::Take::heldElsewhere);
    EXPECT_FALSE(second.isHeld());
    first.reset();
    EXPECT_EQ(second.take(), CopyLock::Take::taken);
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(second.path()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

class LockSquatterTest : public LinkServerTest, public ::testing::WithParamInterface<Squatter> {};

TEST_P(LockSquatterTest, WhatSitsAtTheLocksIsMovedAsideAndOneCopyHoldsThem)
{
    CopyLock first(socketPath);
    CopyLock second(socketPath);
    ASSERT_TRUE(QDir().mkpath(QFileInfo(first.path()).path()));
    if (!GetParam().make(first.path(), folder.path()) || !GetParam().make(first.comingPath(), folder.path()))
        GTEST_SKIP() << "a file of another user needs root";
    struct stat planted {};
    ASSERT_EQ(::lstat(QFile::encodeName(first.path()).constData(), &planted), 0);
    EXPECT_EQ(first.take(), CopyLock::Take::taken) << first.error().toStdString();
    EXPECT_TRUE(first.announceComing()) << first.error().toStdString();
    // Kept as it was under a name of its own, and said where.
    struct stat aside {};
    ASSERT_EQ(::lstat(QFile::encodeName(first.path() + QStringLiteral(".aside")).constData(), &aside), 0);
    EXPECT_EQ(aside.st_ino, planted.st_ino);
    const QString log = LogFile::switches().tail(100'000);
    for (const QString& lock : {first.path(), first.comingPath()})
        EXPECT_TRUE(log.contains(QStringLiteral(" at %1 aside to %1.aside: a lock file takes its place").arg(lock)))
            << log.toStdString();
    EXPECT_FALSE(QFileInfo::exists(folder.path() + QStringLiteral("/elsewhere")));

    EXPECT_EQ(second.take(), CopyLock::Take::heldElsewhere);
    EXPECT_EQ(second.claimUnlessACopyRuns(CopyLock::Claim::ownWorld).look, CopyLock::Look::copyComing);
    first.arrived();
    // A lock names its holder by pid only.
    const CopyLock::Seen seen = second.claimUnlessACopyRuns(CopyLock::Claim::ownWorld);
    EXPECT_EQ(seen.look, CopyLock::Look::copyRuns);
    EXPECT_EQ(seen.found, QStringLiteral("process %1 holds the copy lock %2").arg(::getpid()).arg(first.path()));
    first.release();
    // Switches in their own worlds share it and keep a copy out.
    EXPECT_EQ(first.claimUnlessACopyRuns(CopyLock::Claim::ownWorld).look, CopyLock::Look::noCopy);
    EXPECT_EQ(second.claimUnlessACopyRuns(CopyLock::Claim::ownWorld).look, CopyLock::Look::noCopy);
    EXPECT_EQ(CopyLock(socketPath).take(), CopyLock::Take::heldElsewhere);
}

INSTANTIATE_TEST_SUITE_P(
    AtTheCopyLock, LockSquatterTest,
    ::testing::Values(
        Squatter{"folder", [](const QString& path, const QString&) { return QDir().mkpath(path); }},
        Squatter{"linkToAFileOfTheUser",
                 [](const QString& path, const QString& folder) {
                     QFile notes(folder + QStringLiteral("/notes"));
                     return notes.open(QIODevice::WriteOnly) && QFile::link(notes.fileName(), path);
                 }},
        Squatter{"danglingLink",
                 [](const QString& path, const QString& folder) {
                     return QFile::link(folder + QStringLiteral("/elsewhere"), path);
                 }},
        Squatter{"namedPipe", [](const QString& path, const QString&) {
                     return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
                 }},
        Squatter{"fileOfAnotherUser",
                 [](const QString& path, const QString&) {
                     QFile file(path);
                     return getuid() == 0 && file.open(QIODevice::WriteOnly)
                            && ::chown(QFile::encodeName(path).constData(), 65534, 65534) == 0;
                 }}),
    [](const ::testing::TestParamInfo<Squatter>& squatter) { return std::string(squatter.param.name); });

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

class RelaunchHelperTest : public ::testing::Test, protected TestProcesses {};

TEST_F(RelaunchHelperTest, HostilePathsOpenExactlyAndRunNothingElse)
{
    QTemporaryDir root;
    // A process that has ended: the helper must not wait for it.
    const qint32 deadPid = qint32(endedProcessId());

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
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("MARKER"), marker);
        // In root, where a command let in would leave its file.
        const QStringList arguments = QStringList{QStringLiteral("-c"), QStringLiteral("cd \"$0\" && exec \"$@\""),
                                                  root.path(), AppDelegate::shell}
                                      + AppDelegate::relaunchArguments(deadPid, bundle);
        QProcess& helper = start(QStringLiteral("/bin/sh"), arguments, environment);
        ASSERT_TRUE(helper.waitForFinished(generous)) << name.toStdString();
        QFile written(marker);
        ASSERT_TRUE(written.open(QIODevice::ReadOnly)) << name.toStdString();
        EXPECT_EQ(QString::fromUtf8(written.readAll()),
                  QStringLiteral("opened ") + bundle + QStringLiteral("/Contents/MacOS/tessaroom\n"));
        EXPECT_FALSE(QFileInfo::exists(root.path() + QStringLiteral("/injected"))) << name.toStdString();
    }
}

TEST_F(RelaunchHelperTest, TheHelperWaitsForTheProcessToEnd)
{
    QTemporaryDir root;
    const QString bundle = makeBundle(root.path() + QStringLiteral("/Tessaroom.app"), {});
    const QString marker = root.path() + QStringLiteral("/marker");
    // Lives until its input is closed.
    QProcess& watched = start(QStringLiteral("/bin/cat"), {});
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("MARKER"), marker);
    QProcess& helper =
        start(AppDelegate::shell, AppDelegate::relaunchArguments(qint32(watched.processId()), bundle), environment);
    // The helper is in its wait loop once it runs a child (the loop's pause),
    // or it went on at once and the marker appears: whichever comes first.
    const QString children = QStringLiteral("/proc/%1/task/%1/children").arg(helper.processId());
    waitUntil(helper, [&] {
        QFile list(children);
        return (list.open(QIODevice::ReadOnly) && !list.readAll().trimmed().isEmpty()) || QFileInfo::exists(marker);
    });
    // Still waiting while the watched process lives (it is our child, so it
    // lingers until reaped; reap it as soon as it exits).
    EXPECT_FALSE(QFileInfo::exists(marker));
    EXPECT_EQ(helper.state(), QProcess::Running);
    watched.closeWriteChannel();
    ASSERT_TRUE(watched.waitForFinished(generous));
    ASSERT_TRUE(helper.waitForFinished(generous));
    EXPECT_TRUE(QFileInfo::exists(marker));
}

} // namespace
