#include "BenchClock.h"
#include "debug/Renders.h"
#include "engine/SpaceEngine.h"
#include "platform/Lifetime.h"
#include "settings/SettingsServices.h"
#include "store/SpaceStore.h"
#include "support/PlatformTest.h"
#include "ui/AppCommands.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

// The whole "--render" run in the default simulated world, seven desktops
// named: every picture drawn, encoded and written.
void RenderAllFourteenPictures(benchmark::State& state)
{
    QTemporaryDir home;
    startFreshProcess(home.path(), benchStartTime);
    SpaceEngine& engine = SpaceEngine::shared();
    engine.refresh(false);
    const QStringList names{"Mail", "Code", "Research", "Design", "Music", "Chat", "Deep Work"};
    for (qsizetype i = 0; i < engine.desktops().size() && i < names.size(); ++i) {
        SpaceStore::shared().change(engine.desktops()[i].managedID(),
                                    [&](SpaceMeta& meta) { meta.name = names[i]; });
    }
    const SettingsServices shared = SettingsServices::shared();
    InertCommands commands;
    const RenderSources sources{shared.engine, shared.settings, shared.store, shared.access, shared.updates, commands};
    QTemporaryDir out;
    int written = 0;
    for (auto _ : state) {
        written = 0;
        Renders::renderAll(out.path(), sources, [&](const QString& line) { written += line.startsWith("wrote"); });
    }
    state.counters["pictures"] = written;
    platform::resetSharedInstances();
}
BENCHMARK(RenderAllFourteenPictures)->Unit(benchmark::kMillisecond);

} // namespace
