// Drawing desktop tiles with the tile cache cold: 1,000 distinct tiles (the
// numbers alone, symbols and emoji, as the surfaces mix them) drawn at the
// menu bar's 18 points on a Retina screen.
#include "platform/Lifetime.h"
#include "store/IconCatalog.h"
#include "support/PlatformTest.h"
#include "ui/Glyph.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int tileCount = 1000;

SpaceIcon iconFor(int index)
{
    const QStringList emoji = {QStringLiteral("🚀"), QStringLiteral("🎧"), QStringLiteral("🍅")};
    switch (index % 6) {
    case 1:
    case 3:
        return SpaceIcon::symbol(IconCatalog::symbols().at(index % IconCatalog::symbols().size()));
    case 5:
        return SpaceIcon::emoji(emoji.at(index % emoji.size()));
    default:
        return SpaceIcon::none();
    }
}

void drawTilesCold(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        platform::resetSharedInstances();
        state.ResumeTiming();
        for (int i = 0; i < tileCount; ++i) {
            const GlyphImagePtr tile = Glyph::tileImage(i + 1, iconFor(i), TileColor::palette(i % 10), std::nullopt, 18);
            benchmark::DoNotOptimize(tile->render(2.0));
        }
    }
    state.SetItemsProcessed(state.iterations() * tileCount);
}
BENCHMARK(drawTilesCold)->Unit(benchmark::kMillisecond);

} // namespace
