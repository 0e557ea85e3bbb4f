#include "BenchClock.h"
#include "StallProbe.h"
#include "platform/CodeSignature.h"
#include "platform/FileManager.h"
#include "platform/QtScheduler.h"
#include "platform/linux/HelperTools.h"
#include "platform/sim/CodeSigning.h"
#include "store/Settings.h"
#include "support/LoopbackServer.h"
#include "support/PlatformTest.h"
#include "update/NetworkUrlLoader.h"
#include "update/Updates.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

constexpr qint64 bundleBytes = 200LL * 1024 * 1024;
const QString makerTeam = QStringLiteral("4HN7QX2LPD");

void writeFile(const QString& path, qint64 bytes, quint32 seed)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    QByteArray chunk(1 << 20, '\0');
    QRandomGenerator random(seed);
    for (qint64 left = bytes; left > 0; left -= chunk.size()) {
        random.fillRange(reinterpret_cast<quint32*>(chunk.data()), chunk.size() / 4);
        file.write(chunk.constData(), std::min<qint64>(left, chunk.size()));
    }
}

// A signed release bundle of about 200 MB (a few large resources and some
// small files) packed into a signed image; the running copy in Apps.
struct Fixture {
    QTemporaryDir home;
    platform::ManualScheduler* clock = nullptr;
    QString image;
    QString target;
    std::unique_ptr<NetworkUrlLoader> loader;
    std::unique_ptr<Updates> updates;

    Fixture()
    {
        clock = &startFreshProcess(home.path(), benchStartTime);
        qputenv("TMPDIR", home.path().toUtf8());
        platform::host::installDiskImageTools(QStringLiteral(TESSAROOM_HDIUTIL_TOOL),
                                             QStringLiteral(TESSAROOM_DITTO_TOOL));
        const auto key = platform::CodeSignature::generateKey();
        platform::sim::pinTeamKey(makerTeam, key.publicKey);
        platform::CodeSignature::SigningIdentity identity;
        identity.team = makerTeam;

        const QString release = home.filePath(QStringLiteral("release/Tessaroom.app"));
        for (int i = 0; i < 4; ++i)
            writeFile(release + QStringLiteral("/Contents/Resources/large-%1.bin").arg(i), bundleBytes / 4, i);
        for (int i = 0; i < 200; ++i)
            writeFile(release + QStringLiteral("/Contents/Resources/small/%1.txt").arg(i), 1000, 100 + i);
        platform::CodeSignature::sign(release, key, identity);
        image = home.filePath(QStringLiteral("release.dmg"));
        QProcess pack;
        pack.setStandardOutputFile(QProcess::nullDevice());
        pack.start(QStringLiteral(TESSAROOM_HDIUTIL_TOOL),
                   {QStringLiteral("create"), QStringLiteral("-srcfolder"), home.filePath(QStringLiteral("release")), image});
        pack.waitForFinished(-1);
        platform::CodeSignature::sign(image, key, identity);

        target = home.filePath(QStringLiteral("Apps/Tessaroom.app"));
        writeFile(target + QStringLiteral("/Contents/Info.plist"), 100, 1);
        loader = std::make_unique<NetworkUrlLoader>();
        updates = std::make_unique<Updates>(Settings::shared(), *loader);
    }

    ~Fixture() { qunsetenv("TMPDIR"); }

    std::optional<UpdateFailure> run(const std::function<void(Updates::StepDone)>& start)
    {
        bool done = false;
        std::optional<UpdateFailure> failure;
        start([&](const std::optional<UpdateFailure>& result) {
            failure = result;
            done = true;
        });
        waitUntil([&] {
            clock->runPending();
            return done;
        }, 60000);
        return failure;
    }
};

// With the image attached: check the app inside, copy it beside the target
// and swap it in.
void installFromAttachedImage(benchmark::State& state)
{
    Fixture fixture;
    const QString mountPoint = fixture.home.filePath(QStringLiteral("mount"));
    fixture.run([&](Updates::StepDone done) {
        fixture.updates->runTool(QStringLiteral("/usr/bin/hdiutil"),
                                 {QStringLiteral("attach"), QStringLiteral("-readonly"), QStringLiteral("-mountpoint"),
                                  mountPoint, fixture.image},
                                 QStringLiteral("attach"), std::move(done));
    });
    const QString app = mountPoint + QStringLiteral("/Tessaroom.app");
    for (auto _ : state) {
        if (const auto failure = Updates::verifySignature(app)) {
            state.SkipWithError(failure->toUtf8().constData());
            break;
        }
        const auto failure = fixture.run(
            [&](Updates::StepDone done) { fixture.updates->installCopy(app, fixture.target, std::move(done)); });
        if (failure) {
            state.SkipWithError(failure->text.toUtf8().constData());
            break;
        }
    }
    fixture.run([&](Updates::StepDone done) {
        fixture.updates->detach(mountPoint, [done] { done(std::nullopt); });
    });
    state.SetBytesProcessed(state.iterations() * bundleBytes);
}
BENCHMARK(installFromAttachedImage)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The whole installation from the stored image: attach, check, copy, swap,
// detach.
void installFromImage(benchmark::State& state)
{
    Fixture fixture;
    for (auto _ : state) {
        const auto failure = fixture.run([&](Updates::StepDone done) {
            fixture.updates->installFromImage(fixture.image, fixture.target, std::move(done));
        });
        if (failure) {
            state.SkipWithError(failure->text.toUtf8().constData());
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * bundleBytes);
}
BENCHMARK(installFromImage)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// A copy over an installed app of state.range(0) small files, on the app's
// own scheduler: counter mainThreadStallMs is the longest stretch the main
// thread could not answer, removing the old copy included.
void installManyFiles(benchmark::State& state)
{
    QTemporaryDir home;
    startFreshProcess(home.path(), benchStartTime);
    platform::Scheduler::install(std::make_unique<platform::QtScheduler>());
    qputenv("TMPDIR", home.path().toUtf8());
    platform::host::installDiskImageTools(QStringLiteral(TESSAROOM_HDIUTIL_TOOL), QStringLiteral(TESSAROOM_DITTO_TOOL));
    const QString source = home.filePath(QStringLiteral("release/Tessaroom.app"));
    writeFile(source + QStringLiteral("/Contents/Info.plist"), 100, 1);
    const QString target = home.filePath(QStringLiteral("Apps/Tessaroom.app"));
    NetworkUrlLoader loader;
    Updates updates(Settings::shared(), loader);
    double stall = 0;
    for (auto _ : state) {
        state.PauseTiming();
        platform::FileManager::removeItem(target);
        for (int i = 0; i < state.range(0); ++i) {
            if (i % 1000 == 0)
                QDir().mkpath(target + QStringLiteral("/Contents/Resources/%1").arg(i / 1000));
            QFile file(target + QStringLiteral("/Contents/Resources/%1/%2.txt").arg(i / 1000).arg(i));
            file.open(QIODevice::WriteOnly);
            file.write(QByteArray::number(i));
        }
        state.ResumeTiming();
        bool done = false;
        std::optional<UpdateFailure> failure;
        StallProbe probe;
        updates.installCopy(source, target, [&](const std::optional<UpdateFailure>& result) {
            failure = result;
            done = true;
        });
        waitUntil([&] { return done; }, 600000);
        stall = std::max(stall, probe.finish());
        if (!done || failure) {
            state.SkipWithError(failure ? failure->text.toUtf8().constData() : "the install never ended");
            break;
        }
    }
    state.counters["mainThreadStallMs"] = stall;
    qunsetenv("TMPDIR");
}
BENCHMARK(installManyFiles)->Arg(30000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace
