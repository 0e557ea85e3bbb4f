// One notch-label update pass over three notched screens.
#include "BenchClock.h"
#include "engine/SpaceEngine.h"
#include "platform/Lifetime.h"
#include "platform/sim/World.h"
#include "store/Settings.h"
#include "store/SpaceStore.h"
#include "support/PlatformTest.h"
#include "surfaces/NotchName.h"
#include "surfaces/NotchPanel.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

void buildWorld()
{
    auto& world = platform::sim::World::shared();
    world.clear();
    for (int d = 0; d < 3; ++d) {
        platform::sim::DisplaySpec display;
        display.uuid = QStringLiteral("DISPLAY-%1").arg(d);
        display.displayID = quint32(d + 1);
        display.frame = QRectF(d * 1600.0, 0, 1512, 982);
        display.notchLeft = QRectF(0, 944, 662, 38);
        display.notchRight = QRectF(850, 944, 662, 38);
        display.spaces = {{quint64(d * 10 + 1), qint64(d * 10 + 1), 0, {}}};
        display.currentSpaceID = quint64(d * 10 + 1);
        world.addDisplay(display);
    }
    SpaceEngine::shared().refresh(false);
    Settings::shared().setNotchEnabled(true);
}

void BM_UpdateUnchanged(benchmark::State& state)
{
    QTemporaryDir home;
    startFreshProcess(home.path(), benchStartTime);
    buildWorld();
    NotchName notch(SpaceEngine::shared(), Settings::shared());
    notch.start();
    for (auto _ : state)
        notch.update();
    platform::resetSharedInstances();
}
BENCHMARK(BM_UpdateUnchanged)->Unit(benchmark::kMicrosecond);

void BM_UpdateRenamedAndShown(benchmark::State& state)
{
    QTemporaryDir home;
    startFreshProcess(home.path(), benchStartTime);
    buildWorld();
    NotchName notch(SpaceEngine::shared(), Settings::shared());
    notch.start();
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        SpaceStore::shared().change(1, [&](SpaceMeta& meta) { meta.name = QStringLiteral("Name %1").arg(++round); });
        notch.panels().value(QStringLiteral("DISPLAY-0"))->orderOut();
        state.ResumeTiming();
        notch.update();
    }
    platform::resetSharedInstances();
}
BENCHMARK(BM_UpdateRenamedAndShown)->Unit(benchmark::kMicrosecond);

} // namespace
