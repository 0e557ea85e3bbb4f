#include "UpdateTest.h"

#include "platform/Application.h"
#include "platform/QtScheduler.h"
#include "platform/sim/CodeSigning.h"
#include "store/Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>

#include <chrono>
#include <memory>
#include <sys/stat.h>

namespace {

// The whole road over a loopback server, over HTTP and over HTTPS.
class DownloadTest : public ServedUpdateTest {
protected:
    DownloadTest()
    {
        QObject::connect(&updates_, &Updates::phaseChanged, [this](const Updates::Phase& phase) {
            phases_.push_back(phase);
        });
    }

    // An image of exactly totalBytes, signature included, signed by team.
    QString imageOfSize(qint64 totalBytes, const Team* team, const QString& name = QStringLiteral("image.dmg"))
    {
        if (!team)
            return makeImage(name, totalBytes, nullptr);
        const QString probe = makeImage(name, 1, team);
        const qint64 trailer = platform::CodeSignature::imageTrailerSize(probe);
        return makeImage(name, totalBytes - trailer, team);
    }

    // An attack: the offer is made, the download fails with text, nothing is
    // left behind and the log says why.
    void expectRefused(const QString& text)
    {
        ASSERT_EQ(checkNow(), QStringLiteral("1.3 is available"));
        EXPECT_EQ(downloadNow(), Updates::Phase::failed(text));
        EXPECT_TRUE(storedImages().isEmpty());
        EXPECT_TRUE(temporaryImages().isEmpty()) << temporaryImages().join(u' ').toStdString();
        EXPECT_EQ(logLines().last(), QStringLiteral("download of 1.3 failed: ") + text);
        ASSERT_TRUE(updates_.available()); // the user may try again
    }

    std::vector<Updates::Phase> phases_;
};

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

INSTANTIATE_TEST_SUITE_P(Transport, DownloadTest, ::testing::Values(false, true),
                         [](const auto& test) { return test.param ? "https" : "http"; });

// --- the road ---

TEST_P(DownloadTest, ChecksDownloadsVerifiesAndStoresTheImage)
{
    const QString image = makeImage(QStringLiteral("image.dmg"), 300000, &maker_);
    serve(QStringLiteral("1.3"), image);
    EXPECT_EQ(checkNow(), QStringLiteral("1.3 is available"));
    const QString stored = Updates::updatesFolder() + QStringLiteral("/Tessaroom-1.3.dmg");
    EXPECT_EQ(downloadNow(), Updates::Phase::ready(stored, *updates_.available()));
    EXPECT_EQ(contents(stored), contents(image));
    EXPECT_EQ(storedImages(), QStringList{QStringLiteral("Tessaroom-1.3.dmg")});
    EXPECT_TRUE(temporaryImages().isEmpty());
    EXPECT_EQ(logLines(), (QStringList{QStringLiteral("check: 1.3 is available"),
                                       QStringLiteral("downloaded and verified Tessaroom-1.3.dmg")}));
    const QByteArray request = server_.lastRequest(QStringLiteral("/update.json")).toLower();
    EXPECT_TRUE(request.contains("accept: application/json")) << request.toStdString();
    EXPECT_TRUE(request.contains("cache-control: no-cache"));
}

TEST_P(DownloadTest, TheImageIsVerifiedAndStoredOffTheMainThread)
{
    serve(QStringLiteral("1.3"), makeImage(QStringLiteral("image.dmg"), 300000, &maker_));
    ASSERT_EQ(checkNow(), QStringLiteral("1.3 is available"));
    bool done = false;
    updates_.download([&] { done = true; });
    // The test's clock does background work at once and hands its outcome
    // to the main loop only when it runs.
    ASSERT_TRUE(waitUntil([&] { return !storedImages().isEmpty(); }));
    EXPECT_EQ(updates_.phase().kind, Updates::Phase::Kind::downloading);
    EXPECT_FALSE(done);
    clock().runPending();
    EXPECT_TRUE(done);
    EXPECT_EQ(updates_.phase().kind, Updates::Phase::Kind::ready);
}

TEST_P(DownloadTest, ProgressIsPublishedAtChunkBoundariesOnly)
{
    serve(QStringLiteral("1.3"), imageOfSize(100000, &maker_));
    checkNow();
    phases_.clear();
    downloadNow();
    ASSERT_EQ(phases_.size(), 3u);
    EXPECT_EQ(phases_[0], Updates::Phase::downloading(0));
    EXPECT_EQ(phases_[1], Updates::Phase::downloading(0.65536));
    EXPECT_EQ(phases_[2].kind, Updates::Phase::Kind::ready);
}

TEST_P(DownloadTest, SmallImagePublishesNoProgress)
{
    serve(QStringLiteral("1.3"), imageOfSize(60000, &maker_));
    checkNow();
    phases_.clear();
    downloadNow();
    ASSERT_EQ(phases_.size(), 2u);
    EXPECT_EQ(phases_[1].kind, Updates::Phase::Kind::ready);
}

TEST_P(DownloadTest, ProgressStepsAreAtLeastAFifthOfATenth)
{
    serve(QStringLiteral("1.3"), imageOfSize(4 * 1024 * 1024, &maker_), {},
          LoopbackServer::Route{.chunkBytes = 3000}); // a slow trickle
    checkNow();
    phases_.clear();
    EXPECT_EQ(downloadNow().kind, Updates::Phase::Kind::ready);
    ASSERT_GE(phases_.size(), 3u);
    EXPECT_LE(phases_.size(), 22u);
    for (std::size_t i = 2; i + 1 < phases_.size(); ++i)
        EXPECT_GE(phases_[i].fraction - phases_[i - 1].fraction, 0.05 - 1e-12);
}

TEST_P(DownloadTest, DownloadingAgainReplacesTheStoredImage)
{
    serve(QStringLiteral("1.3"), makeImage(QStringLiteral("a.dmg"), 5000, &maker_));
    checkNow();
    downloadNow();
    serve(QStringLiteral("1.4"), makeImage(QStringLiteral("b.dmg"), 7000, &maker_));
    checkNow();
    EXPECT_EQ(updates_.phase(), Updates::Phase::idle());
    EXPECT_EQ(downloadNow().kind, Updates::Phase::Kind::ready);
    EXPECT_EQ(storedImages(), QStringList{QStringLiteral("Tessaroom-1.4.dmg")});
}

// --- attacks ---

TEST_P(DownloadTest, WrongDigestIsRefused)
{
    serve(QStringLiteral("1.3"), makeImage(QStringLiteral("image.dmg"), 5000, &maker_),
          [](QJsonObject& feed) { feed.insert(QStringLiteral("sha256"), QString(64, QLatin1Char('b'))); });
    expectRefused(QStringLiteral("the download's hash is not the announced one"));
}

TEST_P(DownloadTest, ShorterImageIsRefused)
{
    serve(QStringLiteral("1.3"), makeImage(QStringLiteral("image.dmg"), 5000, &maker_),
          [](QJsonObject& feed) { feed.insert(QStringLiteral("size"), feed.value(QStringLiteral("size")).toDouble() + 10); });
    const qint64 actual = QFileInfo(QDir(home()).filePath(QStringLiteral("image.dmg"))).size();
    expectRefused(QStringLiteral("the download is %1 bytes, not %2").arg(actual).arg(actual + 10));
}

TEST_P(DownloadTest, LongerImageIsRefusedAtTheFirstExtraByte)
{
    serve(QStringLiteral("1.3"), makeImage(QStringLiteral("image.dmg"), 200000, &maker_),
          [](QJsonObject& feed) { feed.insert(QStringLiteral("size"), 70000); });
    expectRefused(QStringLiteral("the download is larger than announced"));
}

TEST_P(DownloadTest, EndlessImageIsCutOffAfterTheAnnouncedSize)
{
    const QString image = makeImage(QStringLiteral("image.dmg"), 64 * 1024 * 1024, nullptr);
    serve(QStringLiteral("1.3"), image, [](QJsonObject& feed) { feed.insert(QStringLiteral("size"), 100000); },
          LoopbackServer::Route{.announcedLength = -1});
    expectRefused(QStringLiteral("the download is larger than announced"));
}

TEST_P(DownloadTest, UnsignedImageIsRefused)
{
    serve(QStringLiteral("1.3"), makeImage(QStringLiteral("image.dmg"), 5000, nullptr));
    expectRefused(QStringLiteral("the download is not signed"));
}

TEST_P(DownloadTest, ImageOfAnotherTeamIsRefused)
{
    const Team other = makeTeam(QStringLiteral("Z9Y8X7W6V5"), true);
    serve(QStringLiteral("1.3"), makeImage(QStringLiteral("image.dmg"), 5000, &other));
    expectRefused(QStringLiteral("the download is signed by someone else"));
}

TEST_P(DownloadTest, ImageSignedWithAnUnpinnedKeyInTheMakersNameIsRefused)
{
    const Team impostor = makeTeam(makerTeam, false);
    serve(QStringLiteral("1.3"), makeImage(QStringLiteral("image.dmg"), 5000, &impostor));
    expectRefused(QStringLiteral("the download is signed by someone else"));
}

TEST_P(DownloadTest, RecordChangedAfterSigningIsRefused)
{
    const QString image = makeImage(QStringLiteral("image.dmg"), 5000, &maker_);
    QFile file(image);
    file.open(QIODevice::ReadWrite);
    QByteArray bytes = file.readAll();
    const qsizetype team = bytes.lastIndexOf(makerTeam.toLatin1());
    ASSERT_GT(team, 5000);
    bytes[team] = char(bytes[team] ^ 0x01);
    file.seek(0);
    file.write(bytes);
    file.close();
    serve(QStringLiteral("1.3"), image);
    expectRefused(QStringLiteral("the download's signature is broken"));
}

TEST_P(DownloadTest, ContentChangedAfterSigningIsRefused)
{
    const QString image = makeImage(QStringLiteral("image.dmg"), 5000, &maker_);
    QFile file(image);
    file.open(QIODevice::ReadWrite);
    file.seek(100);
    file.write("x");
    file.close();
    serve(QStringLiteral("1.3"), image);
    expectRefused(QStringLiteral("the download's signature is broken"));
}

TEST_P(DownloadTest, WrongStatusIsRefused)
{
    serve(QStringLiteral("1.3"), makeImage(QStringLiteral("image.dmg"), 5000, &maker_), {},
          LoopbackServer::Route{.status = 404});
    expectRefused(QStringLiteral("the download answered 404"));
}

TEST_P(DownloadTest, RedirectToAnotherHostIsNotFollowed)
{
    serve(QStringLiteral("1.3"), makeImage(QStringLiteral("image.dmg"), 5000, &maker_), {},
          LoopbackServer::Route{.status = 302, .location = QStringLiteral("http://localhost:1/evil.dmg")});
    expectRefused(QStringLiteral("the download answered 302"));
}

TEST_P(DownloadTest, StalledBodyTimesOutAfterFifteenQuietSeconds)
{
    serve(QStringLiteral("1.3"), makeImage(QStringLiteral("image.dmg"), 400000, &maker_), {},
          LoopbackServer::Route{.stallAfter = 200000});
    ASSERT_EQ(checkNow(), QStringLiteral("1.3 is available"));
    bool done = false;
    updates_.download([&] { done = true; });
    ASSERT_TRUE(waitUntil([&] { return updates_.phase().fraction > 0.45; }));
    EXPECT_EQ(temporaryImages().size(), 1u);
    // The file in the shared temporary folder is this user's alone.
    struct stat partial {};
    ASSERT_EQ(::stat(QFile::encodeName(temporaryFolder() + QLatin1Char('/') + temporaryImages().value(0)), &partial), 0);
    EXPECT_EQ(partial.st_mode & 0777, 0600u);
    advance(14.9);
    EXPECT_FALSE(done);
    advance(0.2);
    ASSERT_TRUE(done);
    EXPECT_EQ(updates_.phase(), Updates::Phase::failed(QStringLiteral("The request timed out.")));
    EXPECT_TRUE(temporaryImages().isEmpty());
    EXPECT_TRUE(storedImages().isEmpty());
    EXPECT_EQ(logLines().last(), QStringLiteral("download of 1.3 failed: The request timed out."));
}

TEST_P(DownloadTest, ConnectionCutMidBodyFailsAndLeavesNothing)
{
    serve(QStringLiteral("1.3"), makeImage(QStringLiteral("image.dmg"), 400000, &maker_), {},
          LoopbackServer::Route{.cutAfter = 150000});
    ASSERT_EQ(checkNow(), QStringLiteral("1.3 is available"));
    const Updates::Phase phase = downloadNow();
    EXPECT_EQ(phase.kind, Updates::Phase::Kind::failed);
    EXPECT_FALSE(phase.failure.isEmpty());
    EXPECT_TRUE(temporaryImages().isEmpty());
    EXPECT_TRUE(storedImages().isEmpty());
    EXPECT_EQ(logLines().last(), QStringLiteral("download of 1.3 failed: ") + phase.failure);
}

TEST_P(DownloadTest, BodyShorterThanItsHeaderSaysFails)
{
    serve(QStringLiteral("1.3"), makeImage(QStringLiteral("image.dmg"), 5000, &maker_), {},
          LoopbackServer::Route{.announcedLength = 900000});
    ASSERT_EQ(checkNow(), QStringLiteral("1.3 is available"));
    EXPECT_EQ(downloadNow().kind, Updates::Phase::Kind::failed);
    EXPECT_TRUE(temporaryImages().isEmpty());
    EXPECT_TRUE(storedImages().isEmpty());
}

TEST_P(DownloadTest, NoRoomForTheTemporaryFile)
{
    serve(QStringLiteral("1.3"), makeImage(QStringLiteral("image.dmg"), 5000, &maker_));
    qputenv("TMPDIR", (home() + QStringLiteral("/no-such-folder")).toUtf8());
    expectRefused(QStringLiteral("no room for the download"));
}

TEST_P(DownloadTest, UnwritableUpdatesFolderFailsAndRemovesTheDownload)
{
    serve(QStringLiteral("1.3"), makeImage(QStringLiteral("image.dmg"), 5000, &maker_));
    QDir().mkpath(QFileInfo(Updates::updatesFolder()).path());
    QFile blocker(Updates::updatesFolder()); // a file where the folder belongs
    blocker.open(QIODevice::WriteOnly);
    blocker.close();
    ASSERT_EQ(checkNow(), QStringLiteral("1.3 is available"));
    const Updates::Phase phase = downloadNow();
    EXPECT_EQ(phase.kind, Updates::Phase::Kind::failed);
    EXPECT_FALSE(phase.failure.isEmpty());
    EXPECT_TRUE(temporaryImages().isEmpty());
}

// --- feeds that must not read ---

TEST_P(DownloadTest, HugeFeedDoesNotRead)
{
    server_.setRoute(QStringLiteral("/update.json"),
                     LoopbackServer::Route{.body = QByteArray(50 * 1024 * 1024, ' ') + "{}"});
    EXPECT_EQ(checkNow(), QStringLiteral("the version file did not read"));
    EXPECT_FALSE(updates_.available());
    EXPECT_EQ(Settings::shared().updateLastChecked(), 0);
}

TEST_P(DownloadTest, FeedRedirectIsNotFollowed)
{
    server_.setRoute(QStringLiteral("/update.json"),
                     LoopbackServer::Route{.status = 302, .location = QStringLiteral("http://localhost:1/update.json")});
    EXPECT_EQ(checkNow(), QStringLiteral("the site answered 302"));
}

TEST_P(DownloadTest, PlainHttpImageUnderAnHttpsFeedDoesNotRead)
{
    serve(QStringLiteral("1.3"), makeImage(QStringLiteral("image.dmg"), 5000, &maker_), [this](QJsonObject& feed) {
        feed.insert(QStringLiteral("dmg"), QStringLiteral("http://127.0.0.1:%1/Tessaroom-1.3.dmg").arg(server_.port()));
    });
    EXPECT_EQ(checkNow(), GetParam() ? QStringLiteral("the version file did not read")
                                     : QStringLiteral("1.3 is available"));
}

TEST_P(DownloadTest, OlderOrEqualVersionIsNotOffered)
{
    serve(QStringLiteral("1.2"), makeImage(QStringLiteral("image.dmg"), 5000, &maker_));
    EXPECT_EQ(checkNow(), QStringLiteral("up to date"));
    serve(QStringLiteral("1.1.9"), makeImage(QStringLiteral("image.dmg"), 5000, &maker_));
    EXPECT_EQ(checkNow(), QStringLiteral("up to date"));
    updates_.download();
    EXPECT_EQ(updates_.phase(), Updates::Phase::idle());
}

TEST_P(DownloadTest, VersionOfTenThousandDigitsDoesNotRead)
{
    serve(QString(10000, QLatin1Char('7')), makeImage(QStringLiteral("image.dmg"), 5000, &maker_));
    EXPECT_EQ(checkNow(), QStringLiteral("the version file did not read"));
}

// --- a check during a download ---

TEST_P(DownloadTest, CheckDuringADownloadLeavesItsPhaseAndEntryAlone)
{
    serve(QStringLiteral("1.3"), makeImage(QStringLiteral("v13.dmg"), 400000, &maker_), {},
          LoopbackServer::Route{.stallAfter = 200000});
    ASSERT_EQ(checkNow(), QStringLiteral("1.3 is available"));
    bool done = false;
    updates_.download([&] { done = true; });
    ASSERT_TRUE(waitUntil([&] { return updates_.phase().fraction > 0.45; }));
    const Updates::Phase during = updates_.phase();

    // 1.4 comes out while 1.3 is still arriving.
    QJsonObject newer = feedObject(server_.origin(), QStringLiteral("1.4"), makeImage(QStringLiteral("v14.dmg"), 9000, &maker_));
    server_.setRoute(QStringLiteral("/update.json"), LoopbackServer::Route{.body = json(newer)});
    EXPECT_EQ(checkNow(), QStringLiteral("1.4 is available"));
    EXPECT_EQ(updates_.phase(), during);
    EXPECT_EQ(updates_.available()->version, QStringLiteral("1.4"));
    updates_.download(); // one download at a time
    EXPECT_EQ(server_.requestCount(QStringLiteral("/Tessaroom-1.4.dmg")), 0);

    server_.release();
    ASSERT_TRUE(settle(done));
    EXPECT_EQ(updates_.phase().imagePath, Updates::updatesFolder() + QStringLiteral("/Tessaroom-1.3.dmg"));
    ASSERT_TRUE(updates_.phase().entry);
    EXPECT_EQ(updates_.phase().entry->version, QStringLiteral("1.3")); // the image's release, not the newer offer
    EXPECT_EQ(logLines().last(), QStringLiteral("downloaded and verified Tessaroom-1.3.dmg"));
    EXPECT_EQ(server_.requestCount(QStringLiteral("/Tessaroom-1.3.dmg")), 1);
}

TEST_P(DownloadTest, SkipDuringADownloadLetsItFinish)
{
    serve(QStringLiteral("1.3"), makeImage(QStringLiteral("v13.dmg"), 400000, &maker_), {},
          LoopbackServer::Route{.stallAfter = 200000});
    ASSERT_EQ(checkNow(), QStringLiteral("1.3 is available"));
    bool done = false;
    updates_.download([&] { done = true; });
    ASSERT_TRUE(waitUntil([&] { return server_.stalled(); }));
    updates_.skip();
    EXPECT_EQ(updates_.phase().kind, Updates::Phase::Kind::downloading);
    server_.release();
    ASSERT_TRUE(settle(done));
    EXPECT_EQ(updates_.phase().kind, Updates::Phase::Kind::ready);
}

// --- quitting ---

namespace {

// How far this process has read the file at path: the offset of a
// descriptor open on it, -1 while none is.
qint64 readingOffset(const QString& path)
{
    const QString file = QFileInfo(path).canonicalFilePath();
    const QDir descriptors(QStringLiteral("/proc/self/fd"));
    for (const QString& fd : descriptors.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        if (QFile::symLinkTarget(descriptors.filePath(fd)) != file)
            continue;
        QFile info(QStringLiteral("/proc/self/fdinfo/") + fd);
        if (!info.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& line : info.readAll().split('\n')) {
            if (line.startsWith("pos:"))
                return line.mid(4).trimmed().toLongLong();
        }
    }
    return -1;
}

class QuitDuringCheckTest : public UpdateTest {};

} // namespace

TEST_F(QuitDuringCheckTest, AQuitWhileALargeDownloadIsCheckedCutsTheCheckShortAtOnce)
{
    // Sparse: hashing it takes seconds, holding it no room.
    const QString image = QDir(temporaryFolder()).filePath(QStringLiteral("large.dmg"));
    QFile file(image);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.resize(qint64(8) << 30));
    file.close();
    UpdateFeed entry;
    entry.version = QStringLiteral("1.3");
    entry.size = file.size();
    entry.sha256 = QString(64, u'0');
    // The app's queues, on their own threads, as main waits for them.
    platform::Scheduler::install(std::make_unique<platform::QtScheduler>());
    auto failure = std::make_shared<std::optional<UpdateFailure>>();
    platform::Scheduler::current().runInBackground(
        "update.download", [image, entry, failure] { *failure = Updates::verifyDownload(image, entry); });
    ASSERT_TRUE(waitUntil([&] { return readingOffset(image) > 0; }, 30000));

    const auto start = std::chrono::steady_clock::now();
    platform::Application::terminate();
    platform::Scheduler::current().finishBackgroundWork();
    const std::chrono::duration<double> waited = std::chrono::steady_clock::now() - start;

    ASSERT_TRUE(*failure);
    EXPECT_EQ((*failure)->text, QStringLiteral("the check of the download was cut short: Tessaroom is quitting"));
    EXPECT_LT(waited.count(), 1.0);
}

TEST_F(QuitDuringCheckTest, AQuitWhileTheStoredImageIsCopiedForMountingLeavesNoCopy)
{
    const QString image = QDir(temporaryFolder()).filePath(QStringLiteral("stored.dmg"));
    QFile file(image);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(QByteArray(3 << 20, 'i')) == 3 << 20);
    file.close();
    UpdateFeed entry;
    entry.version = QStringLiteral("1.3");
    entry.size = file.size();
    entry.sha256 = QString(64, u'0');
    platform::Application::terminate();
    const auto copy = Updates::copyStoredImage(image, entry);
    ASSERT_FALSE(copy.ok());
    EXPECT_EQ(copy.error(), QStringLiteral("the check of the stored image was cut short: Tessaroom is quitting"));
    EXPECT_EQ(temporaryImages(), QStringList{});
}
