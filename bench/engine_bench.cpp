// The engine's hot paths on a large machine: 16 displays with 16 desktops
// each and 2,000 windows of 60 apps.
#include "BenchClock.h"
#include "engine/SpaceEngine.h"
#include "platform/Lifetime.h"
#include "platform/ManualScheduler.h"
#include "platform/sim/World.h"
#include "support/PlatformTest.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

constexpr int engineDisplayCount = 16;
constexpr int engineDesktopsPerDisplay = 16;
constexpr int windowCount = 2000;
constexpr int appCount = 60;

quint64 spaceID(int display, int desktop)
{
    return static_cast<quint64>(display * 100 + desktop + 1);
}

void buildLargeWorld()
{
    auto& world = platform::sim::World::shared();
    world.clear();
    for (int d = 0; d < engineDisplayCount; ++d) {
        platform::sim::DisplaySpec display;
        display.uuid = QStringLiteral("DISPLAY-%1").arg(d);
        display.displayID = static_cast<quint32>(d + 1);
        display.frame = QRectF(d * 1920.0, 0, 1920, 1080);
        for (int s = 0; s < engineDesktopsPerDisplay; ++s)
            display.spaces.append({spaceID(d, s), static_cast<qint64>(spaceID(d, s)), 0, {}});
        display.currentSpaceID = spaceID(d, 0);
        world.addDisplay(display);
    }
    for (int a = 0; a < appCount; ++a) {
        platform::sim::AppSpec app;
        app.pid = 1000 + a;
        app.bundleID = QStringLiteral("com.example.app%1").arg(a);
        app.name = QStringLiteral("App %1").arg(a);
        app.policy = a % 10 == 9 ? platform::ActivationPolicy::accessory : platform::ActivationPolicy::regular;
        world.addApp(app);
    }
    for (int w = 0; w < windowCount; ++w) {
        const int display = w % engineDisplayCount;
        const int desktop = (w / engineDisplayCount) % engineDesktopsPerDisplay;
        world.addWindow({w + 1, 1000 + (w * 31) % appCount, 0, QRectF(0, 0, 400 + w % 300, 300 + w % 200),
                         {spaceID(display, desktop)}});
    }
    // The Dock read runs on its own queue in the app; keep it out of the timings.
    world.setTrusted(false);
}

// A fresh home, clock and world for one benchmark.
class LargeEngine {
public:
    LargeEngine()
    {
        startFreshProcess(home_.path(), benchStartTime);
        buildLargeWorld();
        SpaceEngine::shared().refresh(false);
    }
    ~LargeEngine() { platform::resetSharedInstances(); }

private:
    QTemporaryDir home_;
};

void BM_SweepRefreshWithoutChanges(benchmark::State& state)
{
    LargeEngine large;
    SpaceEngine& engine = SpaceEngine::shared();
    if (engine.desktops().size() != engineDisplayCount * engineDesktopsPerDisplay) {
        state.SkipWithError("the large world did not load");
        return;
    }
    for (auto _ : state)
        engine.refresh(false);
}
BENCHMARK(BM_SweepRefreshWithoutChanges)->Unit(benchmark::kMicrosecond);

void BM_AppsPerDesktopRebuild(benchmark::State& state)
{
    LargeEngine large;
    SpaceEngine& engine = SpaceEngine::shared();
    engine.appsByDesktop(true);
    qsizetype listed = 0;
    for (const auto& desktop : engine.desktops())
        listed += engine.apps(desktop).size();
    if (listed == 0) {
        state.SkipWithError("no apps were listed");
        return;
    }
    for (auto _ : state)
        engine.appsByDesktop(true);
    state.counters["apps listed"] = static_cast<double>(listed);
}
BENCHMARK(BM_AppsPerDesktopRebuild)->Unit(benchmark::kMillisecond);

} // namespace
