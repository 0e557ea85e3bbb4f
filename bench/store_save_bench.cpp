// Writing and reading the names document at sizes far past real use, and the
// store's whole save (document plus the user-defaults file).
#include "BenchClock.h"
#include "platform/Lifetime.h"
#include "platform/PreferenceDomain.h"
#include "store/SpaceMetaDocument.h"
#include "store/SpaceStore.h"
#include "support/PlatformTest.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

// Named desktops with icons, colours, time and one in three with a shortcut;
// ids spread so that their text order differs from their numeric order.
SpaceMetaMap makeEntries(int count)
{
    SpaceMetaMap entries;
    for (int i = 0; i < count; ++i) {
        SpaceMeta meta;
        meta.name = QStringLiteral("Desktop %1").arg(i);
        meta.icon = i % 2 ? SpaceIcon::symbol(QStringLiteral("globe")) : SpaceIcon::emoji(QString::fromUtf8("🚀"));
        meta.color = TileColor::palette(i % 12);
        meta.seconds = i * 1.5;
        if (i % 3 == 0)
            meta.hotkey = Hotkey{quint32(18 + i % 10), Hotkey::defaultModifiers};
        entries[qint64(i) * 7919 - 5000] = meta;
    }
    return entries;
}

void BM_EncodeNamesDocument(benchmark::State& state)
{
    const SpaceMetaMap entries = makeEntries(int(state.range(0)));
    for (auto _ : state) {
        auto encoded = SpaceMetaDocument::encode(entries);
        benchmark::DoNotOptimize(encoded);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_EncodeNamesDocument)->Arg(10000)->Arg(25000)->Arg(100000)->Arg(200000)->Unit(benchmark::kMillisecond);

void BM_DecodeNamesDocument(benchmark::State& state)
{
    const QByteArray document = SpaceMetaDocument::encode(makeEntries(int(state.range(0)))).value();
    for (auto _ : state) {
        auto decoded = SpaceMetaDocument::decode(document);
        benchmark::DoNotOptimize(decoded);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_DecodeNamesDocument)->Arg(10000)->Unit(benchmark::kMillisecond);

// The store's save as the delayed write runs it: encode, then the atomic
// write of the user-defaults file.
void BM_StoreSave(benchmark::State& state)
{
    QTemporaryDir home;
    startFreshProcess(home.path(), benchStartTime);
    for (const auto& [id, meta] : makeEntries(int(state.range(0))))
        SpaceStore::shared().change(id, [&meta](SpaceMeta& entry) { entry = meta; });
    SpaceStore::shared().flushNow();
    for (auto _ : state)
        SpaceStore::shared().save();
    state.SetItemsProcessed(state.iterations() * state.range(0));
    platform::resetSharedInstances();
}
BENCHMARK(BM_StoreSave)->Arg(10000)->Unit(benchmark::kMillisecond);

// The save a user's edit ends in, at 1,000 desktops: encode, the atomic write
// of the user-defaults file with both fsyncs (file and folder). The folder is
// made in the working folder, on a real disk, because the temporary folder
// may be memory, where an fsync costs nothing. Target: under 10 ms.
void BM_NamesStoreSaveWithFsync(benchmark::State& state)
{
    QTemporaryDir home(QDir::currentPath() + QStringLiteral("/store-save-XXXXXX"));
    if (!home.isValid()) {
        state.SkipWithError("could not make a folder in the working folder");
        return;
    }
    startFreshProcess(home.path(), benchStartTime);
    for (const auto& [id, meta] : makeEntries(int(state.range(0))))
        SpaceStore::shared().change(id, [&meta](SpaceMeta& entry) { entry = meta; });
    SpaceStore::shared().flushNow();
    const QString file = platform::PreferenceDomain::standard().filePath();
    for (auto _ : state)
        SpaceStore::shared().save();
    state.counters["fileBytes"] = double(QFileInfo(file).size());
    platform::resetSharedInstances();
}
BENCHMARK(BM_NamesStoreSaveWithFsync)->Arg(1000)->Unit(benchmark::kMillisecond);

} // namespace
