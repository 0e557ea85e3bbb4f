#include "platform/CodeSignature.h"
#include "platform/sim/CodeSigning.h"
#include "store/Settings.h"
#include "support/LoopbackServer.h"
#include "support/PlatformTest.h"
#include "update/NetworkUrlLoader.h"
#include "update/UpdateFeed.h"
#include "update/Updates.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>

namespace {

constexpr qint64 imageBytes = 200LL * 1024 * 1024;
const QString makerTeam = QStringLiteral("4HN7QX2LPD");

// A signed image of about imageBytes and the feed entry that announces it.
struct Release {
    QString image;
    UpdateFeed entry;
};

Release makeRelease(const QString& folder, const QString& origin)
{
    const auto key = platform::CodeSignature::generateKey();
    platform::sim::pinTeamKey(makerTeam, key.publicKey);
    Release release;
    release.image = QDir(folder).filePath(QStringLiteral("release.dmg"));
    QFile file(release.image);
    file.open(QIODevice::WriteOnly);
    QByteArray piece(1 << 20, '\0');
    QRandomGenerator random(7);
    for (qint64 left = imageBytes; left > 0; left -= piece.size()) {
        random.fillRange(reinterpret_cast<quint32*>(piece.data()), piece.size() / 4);
        file.write(piece);
    }
    file.close();
    platform::CodeSignature::SigningIdentity identity;
    identity.team = makerTeam;
    platform::CodeSignature::sign(release.image, key, identity);
    release.entry.version = QStringLiteral("1.3");
    release.entry.released = QStringLiteral("2026-03-07");
    release.entry.dmg = QUrl(origin + QStringLiteral("/Tessaroom-1.3.dmg"));
    release.entry.size = QFileInfo(release.image).size();
    release.entry.sha256 = *Updates::sha256Hex(release.image);
    release.entry.notes = QUrl(origin + QStringLiteral("/notes.html"));
    release.entry.minOS = QStringLiteral("14.0");
    return release;
}

qint64 residentBytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
    }
    return 0;
}

// Size, digest and signature of a 200 MB image.
void verifyImage(benchmark::State& state)
{
    QTemporaryDir home;
    startFreshProcess(home.path(), 1777624200.0);
    const Release release = makeRelease(home.path(), QStringLiteral("https://updates.tessaroom.app"));
    for (auto _ : state) {
        const auto failure = Updates::verifyDownload(release.image, release.entry);
        if (failure)
            state.SkipWithError(failure->text.toUtf8().constData());
    }
    state.SetBytesProcessed(state.iterations() * release.entry.size);
}
BENCHMARK(verifyImage)->Unit(benchmark::kMillisecond)->UseRealTime();

// A 200 MB download from the loopback server; the counter is how much the
// process grew while it ran.
void downloadImage(benchmark::State& state)
{
    QTemporaryDir home;
    startFreshProcess(home.path(), 1777624200.0);
    QDir(home.path()).mkpath(QStringLiteral("tmp"));
    qputenv("TMPDIR", (home.path() + QStringLiteral("/tmp")).toUtf8());
    LoopbackServer server;
    const Release release = makeRelease(home.path(), server.origin());
    server.setRoute(QStringLiteral("/Tessaroom-1.3.dmg"), LoopbackServer::Route{.bodyFile = release.image});
    QJsonObject feed{{QStringLiteral("version"), release.entry.version},
                     {QStringLiteral("released"), release.entry.released},
                     {QStringLiteral("dmg"), release.entry.dmg.toString()},
                     {QStringLiteral("size"), double(release.entry.size)},
                     {QStringLiteral("sha256"), release.entry.sha256},
                     {QStringLiteral("notes"), release.entry.notes.toString()},
                     {QStringLiteral("minOS"), release.entry.minOS}};
    server.setRoute(QStringLiteral("/update.json"),
                    LoopbackServer::Route{.body = QJsonDocument(feed).toJson(QJsonDocument::Compact)});
    qputenv("TESSAROOM_UPDATE_FEED", (server.origin() + QStringLiteral("/update.json")).toUtf8());
    NetworkUrlLoader loader;
    Updates updates(Settings::shared(), loader);
    qint64 growth = 0;
    for (auto _ : state) {
        bool checked = false;
        updates.check([&](const QString&) { checked = true; });
        waitUntil([&] { return checked; });
        const qint64 before = residentBytes();
        qint64 peak = before;
        QObject::connect(&updates, &Updates::phaseChanged, [&] { peak = std::max(peak, residentBytes()); });
        bool done = false;
        updates.download([&] { done = true; });
        waitUntil([&] {
            peak = std::max(peak, residentBytes());
            return done;
        }, 120000);
        if (updates.phase().kind != Updates::Phase::Kind::ready)
            state.SkipWithError(updates.phase().failure.toUtf8().constData());
        growth = std::max(growth, peak - before);
    }
    state.SetBytesProcessed(state.iterations() * release.entry.size);
    state.counters["growthMB"] = double(growth) / (1024 * 1024);
    qunsetenv("TESSAROOM_UPDATE_FEED");
    qunsetenv("TMPDIR");
}
BENCHMARK(downloadImage)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

void parseFeed(benchmark::State& state)
{
    const QByteArray body =
        "{\"version\":\"1.3.2\",\"released\":\"2026-03-07\","
        "\"dmg\":\"https://updates.tessaroom.app/Tessaroom-1.3.2.dmg\",\"size\":48213377,"
        "\"sha256\":\"9F86D081884C7D659A2FEAA0C55AD015A3BF4F1B2B0B822CD15D6C15B0F00A08\","
        "\"notes\":\"https://updates.tessaroom.app/notes/1.3.2\",\"minOS\":\"14.0\"}";
    const UpdateFeed::Policy policy{.host = Updates::updateHost, .https = true};
    for (auto _ : state) {
        auto feed = UpdateFeed::parse(body, policy);
        benchmark::DoNotOptimize(feed);
    }
}
BENCHMARK(parseFeed)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    ensureTestApplication();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
