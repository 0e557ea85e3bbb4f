#include "BenchClock.h"
#include "StallProbe.h"
#include "platform/CodeSignature.h"
#include "platform/QtScheduler.h"
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
#include <functional>
#include <unistd.h>

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
    QByteArray chunk(1 << 20, '\0');
    QRandomGenerator random(7);
    for (qint64 left = imageBytes; left > 0; left -= chunk.size()) {
        random.fillRange(reinterpret_cast<quint32*>(chunk.data()), chunk.size() / 4);
        file.write(chunk);
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
    startFreshProcess(home.path(), benchStartTime);
    const Release release = makeRelease(home.path(), QStringLiteral("https://updates.tessaroom.app"));
    for (auto _ : state) {
        const auto failure = Updates::verifyDownload(release.image, release.entry);
        if (failure)
            state.SkipWithError(failure->text.toUtf8().constData());
    }
    state.SetBytesProcessed(state.iterations() * release.entry.size);
}
BENCHMARK(verifyImage)->Unit(benchmark::kMillisecond)->UseRealTime();

// A 200 MB download from the loopback server, verified and stored, on the
// app's own scheduler. Counters: how much the process grew, and the longest
// stretch the main thread was busy. With argument 1 the temporary folder is
// on another file system than the updates folder, so storing copies.
void downloadImage(benchmark::State& state)
{
    QTemporaryDir home;
    startFreshProcess(home.path(), benchStartTime);
    platform::Scheduler::install(std::make_unique<platform::QtScheduler>());
    QTemporaryDir otherDevice(QStringLiteral("/dev/shm/tessaroom-bench-XXXXXX"));
    if (state.range(0) && !otherDevice.isValid()) {
        // Else it would measure the same-device case under the other's name.
        state.SkipWithError("no temporary folder in /dev/shm for the other file system");
        return;
    }
    const QString temporary = state.range(0) ? otherDevice.path() : home.path() + QStringLiteral("/tmp");
    QDir().mkpath(temporary);
    qputenv("TMPDIR", temporary.toUtf8());
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
    double stall = 0;
    for (auto _ : state) {
        bool checked = false;
        updates.check([&](const QString&) { checked = true; });
        waitUntil([&] { return checked; });
        const qint64 before = residentBytes();
        qint64 peak = before;
        QObject::connect(&updates, &Updates::phaseChanged, [&] { peak = std::max(peak, residentBytes()); });
        bool done = false;
        {
            StallProbe probe;
            updates.download([&] { done = true; });
            waitUntil([&] {
                peak = std::max(peak, residentBytes());
                return done;
            }, 120000);
            stall = std::max(stall, probe.finish());
        }
        if (updates.phase().kind != Updates::Phase::Kind::ready)
            state.SkipWithError(updates.phase().failure.toUtf8().constData());
        growth = std::max(growth, peak - before);
    }
    state.SetBytesProcessed(state.iterations() * release.entry.size);
    state.counters["growthMB"] = double(growth) / (1024 * 1024);
    state.counters["mainThreadStallMs"] = stall;
    qunsetenv("TESSAROOM_UPDATE_FEED");
    qunsetenv("TMPDIR");
}
BENCHMARK(downloadImage)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

// Verifies a signed bundle whose Contents/Resources holds l0 -> "." and the
// links l1 .. lK (K the benchmark's argument), lk holding text(k).
void verifyChainedLinks(benchmark::State& state, const std::function<QByteArray(int k)>& text)
{
    QTemporaryDir home;
    startFreshProcess(home.path(), benchStartTime);
    const auto key = platform::CodeSignature::generateKey();
    platform::sim::pinTeamKey(makerTeam, key.publicKey);
    const QString bundle = home.filePath(QStringLiteral("Chain.app"));
    const QString resources = bundle + QStringLiteral("/Contents/Resources");
    QDir().mkpath(resources);
    QFile::link(QStringLiteral("."), resources + QStringLiteral("/l0"));
    for (int k = 1; k <= state.range(0); ++k)
        ::symlink(text(k).constData(), (resources + QStringLiteral("/l%1").arg(k)).toUtf8().constData());
    platform::CodeSignature::SigningIdentity identity;
    identity.team = makerTeam;
    platform::CodeSignature::sign(bundle, key, identity);
    for (auto _ : state)
        benchmark::DoNotOptimize(Updates::verifySignature(bundle));
}

// Each link points at the previous one twice (lk -> l(k-1)/l(k-1)):
// following the last one by hand takes 2^k lookups.
void verifyLinkChain(benchmark::State& state)
{
    verifyChainedLinks(state, [](int k) {
        const QByteArray previous = "l" + QByteArray::number(k - 1);
        return previous + "/" + previous;
    });
}
BENCHMARK(verifyLinkChain)->Arg(16)->Arg(18)->Arg(20)->Unit(benchmark::kMillisecond)->UseRealTime();

// Links of about 4 KB each: lk names l(k-1) and then 2,000 names below where
// that leads, so following lk goes through every link before it and k x 2,000
// parts. Checking each link follows the chain below it; the bound on a path's
// parts keeps that from growing with K (from l3 on, a link is refused).
void verifyLongLinkChain(benchmark::State& state)
{
    verifyChainedLinks(state, [](int k) { return "l" + QByteArray::number(k - 1) + QByteArray("/a").repeated(2000); });
}
BENCHMARK(verifyLongLinkChain)->Arg(5)->Arg(10)->Arg(20)->Arg(40)->Unit(benchmark::kMillisecond)->UseRealTime();

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
