#include "UpdateTest.h"

#include "store/Settings.h"
#include "support/SilentServer.h"

#include <QCoreApplication>
#include <QJsonObject>
#include <QTcpServer>

namespace {

// A port on 127.0.0.1 that nothing listens on.
quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

// Failures of the transport itself, over HTTP and HTTPS.
class TransportTest : public ServedUpdateTest {
protected:
    QString scheme() const { return GetParam() ? QStringLiteral("https") : QStringLiteral("http"); }

    QString closedOrigin() const { return QStringLiteral("%1://127.0.0.1:%2").arg(scheme()).arg(closedPort()); }

    // The check's outcome, its log line and the published outcome agree.
    void expectCheckFailed(const QString& outcome, const QString& text)
    {
        EXPECT_EQ(outcome, text);
        EXPECT_EQ(updates_.lastOutcome(), text);
        EXPECT_EQ(logLines().last(), QStringLiteral("check: ") + text);
        EXPECT_FALSE(updates_.available());
        EXPECT_EQ(Settings::shared().updateLastChecked(), 0);
    }

    void expectDownloadFailed(const QString& text)
    {
        EXPECT_EQ(downloadNow(), Updates::Phase::failed(text));
        EXPECT_EQ(logLines().last(), QStringLiteral("download of 1.3 failed: ") + text);
        EXPECT_TRUE(temporaryImages().isEmpty());
        EXPECT_TRUE(storedImages().isEmpty());
    }

    // The server has let go of every connection it accepted.
    bool everyConnectionClosed()
    {
        return waitUntil([this] { return server_.openConnections() == 0; });
    }
};

INSTANTIATE_TEST_SUITE_P(Transport, TransportTest, ::testing::Values(false, true),
                         [](const auto& test) { return test.param ? "https" : "http"; });

} // namespace

// --- transport failures say what went wrong ---

TEST_P(TransportTest, ACheckAgainstAClosedPortSaysTheConnectionWasRefused)
{
    qputenv("TESSAROOM_UPDATE_FEED", (closedOrigin() + QStringLiteral("/update.json")).toUtf8());
    expectCheckFailed(checkNow(), QStringLiteral("Connection refused"));
}

TEST_P(TransportTest, ADownloadFromAClosedPortSaysTheConnectionWasRefused)
{
    const QString origin = closedOrigin();
    serve(QStringLiteral("1.3"), makeImage(QStringLiteral("image.dmg"), 5000, &maker_), [&](QJsonObject& feed) {
        feed.insert(QStringLiteral("dmg"), origin + QStringLiteral("/Tessaroom-1.3.dmg"));
    });
    ASSERT_EQ(checkNow(), QStringLiteral("1.3 is available"));
    expectDownloadFailed(QStringLiteral("Connection refused"));
}

TEST_P(TransportTest, ACheckWhoseConnectionDropsWithoutAnAnswerSaysSo)
{
    server_.setRoute(QStringLiteral("/update.json"), LoopbackServer::Route{.dropWithoutAnswer = true});
    expectCheckFailed(checkNow(), QStringLiteral("Connection closed"));
}

TEST_P(TransportTest, ADownloadWhoseConnectionDropsWithoutAnAnswerSaysSo)
{
    serve(QStringLiteral("1.3"), makeImage(QStringLiteral("image.dmg"), 5000, &maker_), {},
          LoopbackServer::Route{.dropWithoutAnswer = true});
    ASSERT_EQ(checkNow(), QStringLiteral("1.3 is available"));
    expectDownloadFailed(QStringLiteral("Connection closed"));
}

// --- transfers that drip ---

TEST_P(TransportTest, AFeedThatDripsEndsAfterSixtySecondsWhileADrippingImageGoesOn)
{
    // Every chunk, 10 seconds after the one before, restarts the wait for data.
    const QString image = makeImage(QStringLiteral("image.dmg"), 5000, &maker_);
    const QJsonObject feed = feedObject(server_.origin(), QStringLiteral("1.3"), image);
    serve(QStringLiteral("1.3"), image, {}, LoopbackServer::Route{.chunkBytes = 700, .trickleSeconds = 10});
    server_.setRoute(QStringLiteral("/update.json"),
                     LoopbackServer::Route{.body = json(feed), .chunkBytes = 1, .trickleSeconds = 10});
    // Moves the clock 10 seconds at a time while the server waits to send
    // its next chunk, each step once the updater has every byte sent since
    // this began; then waits for done.
    const auto drip = [this](const bool& done, int steps) {
        const qint64 received = counting_.received();
        const qint64 sent = server_.bytesSent();
        for (int step = 0; step < steps && !done; ++step) {
            ASSERT_TRUE(waitUntil([&] {
                clock().runPending();
                return done || (server_.trickling() && counting_.received() - received == server_.bytesSent() - sent);
            }));
            if (!done)
                advance(10);
        }
    };

    std::optional<QString> outcome;
    bool checked = false;
    updates_.check([&](const QString& text) {
        outcome = text;
        checked = true;
    });
    drip(checked, 7);
    EXPECT_EQ(outcome, QStringLiteral("the version file did not arrive within 60 seconds"));
    EXPECT_TRUE(everyConnectionClosed());

    server_.setRoute(QStringLiteral("/update.json"), LoopbackServer::Route{.body = json(feed)});
    ASSERT_EQ(checkNow(), QStringLiteral("1.3 is available"));
    bool downloaded = false;
    updates_.download([&] { downloaded = true; });
    drip(downloaded, 10);
    EXPECT_GT(platform::now() - startTime, Updates::checkTimeLimit + 5);
    EXPECT_EQ(updates_.phase().kind, Updates::Phase::Kind::ready) << updates_.phase().failure.toStdString();
}

namespace {

// A loader that does not trust the test authority meets the HTTPS server.
class UntrustedTest : public UpdateTest {
protected:
    UntrustedTest()
        : https_(LoopbackServer::testTls())
        , updates_(Settings::shared(), loader_)
    {
    }

    QString checkNow()
    {
        std::optional<QString> outcome;
        updates_.check([&](const QString& text) { outcome = text; });
        EXPECT_TRUE(waitUntil([&] { return outcome.has_value(); })) << "the check never ended";
        return outcome.value_or(QString());
    }

    LoopbackServer https_;
    LoopbackServer http_;
    NetworkUrlLoader loader_;
    Updates updates_;
};

} // namespace

TEST_F(UntrustedTest, ACheckAgainstAnUntrustedCertificateSaysTheHandshakeFailed)
{
    qputenv("TESSAROOM_UPDATE_FEED", (https_.origin() + QStringLiteral("/update.json")).toUtf8());
    const QString outcome = checkNow();
    EXPECT_TRUE(outcome.startsWith(QStringLiteral("SSL handshake failed"))) << outcome.toStdString();
    EXPECT_EQ(logLines().last(), QStringLiteral("check: ") + outcome);
    EXPECT_EQ(https_.requestCount(QStringLiteral("/update.json")), 0);
}

TEST_F(UntrustedTest, ADownloadFromAnUntrustedCertificateSaysTheHandshakeFailed)
{
    // The feed comes over plain HTTP, which its own address allows; the image
    // from the untrusted HTTPS server on the same host.
    qputenv("TESSAROOM_UPDATE_FEED", (http_.origin() + QStringLiteral("/update.json")).toUtf8());
    const QString image = makeImage(QStringLiteral("image.dmg"), 5000, &maker_);
    QJsonObject feed = feedObject(https_.origin(), QStringLiteral("1.3"), image);
    http_.setRoute(QStringLiteral("/update.json"), LoopbackServer::Route{.body = json(feed)});
    ASSERT_EQ(checkNow(), QStringLiteral("1.3 is available"));
    bool done = false;
    updates_.download([&] { done = true; });
    ASSERT_TRUE(waitUntil([&] { return done; }));
    const QString failure = updates_.phase().failure;
    EXPECT_TRUE(failure.startsWith(QStringLiteral("SSL handshake failed"))) << failure.toStdString();
    EXPECT_EQ(logLines().last(), QStringLiteral("download of 1.3 failed: ") + failure);
}

// --- a transfer that ends early lets go of its connection ---

TEST_P(TransportTest, ADownloadLargerThanAnnouncedClosesItsConnection)
{
    const QString image = makeImage(QStringLiteral("image.dmg"), 16 * 1024 * 1024, nullptr);
    serve(QStringLiteral("1.3"), image, [](QJsonObject& feed) { feed.insert(QStringLiteral("size"), 100000); },
          LoopbackServer::Route{.announcedLength = -1});
    ASSERT_EQ(checkNow(), QStringLiteral("1.3 is available"));
    expectDownloadFailed(QStringLiteral("the download is larger than announced"));
    EXPECT_TRUE(everyConnectionClosed());
}

TEST_P(TransportTest, ADownloadThatTimesOutClosesItsConnection)
{
    serve(QStringLiteral("1.3"), makeImage(QStringLiteral("image.dmg"), 400000, &maker_), {},
          LoopbackServer::Route{.stallAfter = 200000});
    ASSERT_EQ(checkNow(), QStringLiteral("1.3 is available"));
    bool done = false;
    updates_.download([&] { done = true; });
    ASSERT_TRUE(waitUntil([&] { return server_.stalled(); }));
    advance(Updates::requestIdleTimeout);
    ASSERT_TRUE(done);
    EXPECT_EQ(updates_.phase(), Updates::Phase::failed(QStringLiteral("The request timed out.")));
    EXPECT_TRUE(everyConnectionClosed());
}

TEST_P(TransportTest, AFeedTooLargeToReadClosesItsConnection)
{
    server_.setRoute(QStringLiteral("/update.json"),
                     LoopbackServer::Route{.body = QByteArray(32 * 1024 * 1024, ' ') + "{}"});
    EXPECT_EQ(checkNow(), QStringLiteral("the version file did not read"));
    EXPECT_TRUE(everyConnectionClosed());
}

TEST_P(TransportTest, AnUpdaterGoneMidDownloadClosesItsConnection)
{
    serve(QStringLiteral("1.3"), makeImage(QStringLiteral("image.dmg"), 400000, &maker_), {},
          LoopbackServer::Route{.stallAfter = 200000});
    ASSERT_EQ(checkNow(), QStringLiteral("1.3 is available"));
    auto updates = std::make_unique<Updates>(Settings::shared(), loader_);
    ASSERT_EQ(updates->available(), std::nullopt);
    // A second updater on the same loader: its own check and download.
    std::optional<QString> outcome;
    updates->check([&](const QString& text) { outcome = text; });
    ASSERT_TRUE(waitUntil([&] { return outcome.has_value(); }));
    updates->download();
    ASSERT_TRUE(waitUntil([&] { return server_.stalled(); }));
    updates.reset();
    EXPECT_TRUE(everyConnectionClosed());
}

namespace {

// Transfers to servers that accept and never answer, ended as the app ends:
// after the last turn of the event loop.
class TransferEndTest : public UpdateTest {
protected:
    // A transfer to server, once the server holds its connection.
    std::unique_ptr<UrlTransfer> connectedTo(SilentServer& server, UrlTransferHandlers handlers = {})
    {
        auto transfer = loader_.start(UrlRequest{.url = QUrl(server.origin() + QStringLiteral("/update.json"))},
                                      std::move(handlers));
        EXPECT_TRUE(waitUntil([&] { return server.accept(); }));
        return transfer;
    }

    SilentServer first_;
    SilentServer second_;
    NetworkUrlLoader loader_;
};

} // namespace

// --- a transfer's connection ends with it, event loop or not ---

TEST_F(TransferEndTest, ATransferDroppedOutsideItsReportsClosesItsConnectionAtOnce)
{
    auto transfer = connectedTo(first_);
    transfer.reset();
    EXPECT_TRUE(first_.closedByClient());
}

TEST_F(TransferEndTest, EndingEveryTransferClosesTheirConnectionsAndNothingIsReportedAfter)
{
    int reports = 0;
    auto waiting = connectedTo(first_, {.response = [&](int) { ++reports; },
                                        .data = [&](QByteArrayView) { ++reports; },
                                        .finished = [&](const std::optional<QString>&) { ++reports; }});
    // The other one is dropped inside its own report: its manager cannot go there.
    std::unique_ptr<UrlTransfer> answered;
    answered = connectedTo(second_, {.response = [&](int) { answered.reset(); }, .data = {}, .finished = {}});
    ASSERT_TRUE(second_.send("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n"));
    ASSERT_TRUE(waitUntil([&] { return !answered; }));

    NetworkUrlLoader::endAllTransfers();
    EXPECT_TRUE(first_.closedByClient());
    EXPECT_TRUE(second_.closedByClient());
    QCoreApplication::processEvents();
    advance(Updates::requestIdleTimeout);
    waiting.reset();
    EXPECT_EQ(reports, 0);
}
