// The settings window: opening it on the Spaces page for the first time with
// three displays of sixteen desktops (tile cache cold, first frame drawn),
// switching between its tabs, and the CSV text of 1,000 desktops.
#include "BenchClock.h"
#include "engine/SpaceEngine.h"
#include "platform/sim/World.h"
#include "settings/SettingsModel.h"
#include "settings/SettingsView.h"
#include "settings/SpacesPage.h"
#include "ui/HintedScrollView.h"
#include "settings/TimeExport.h"
#include "support/PlatformTest.h"
#include "ui/SettingsPage.h"

#include <QImage>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int settingsDisplayCount = 3;
constexpr int settingsDesktopsPerDisplay = 16;
constexpr int csvDesktops = 1000;

void freshWorld(const QString& home)
{
    // 2026-05-01T08:30:00Z, where the tests start too.
    startFreshProcess(home, benchStartTime);
    platform::sim::World& world = platform::sim::World::shared();
    world.clear();
    for (int d = 0; d < settingsDisplayCount; ++d) {
        platform::sim::DisplaySpec display;
        display.uuid = QStringLiteral("display-%1").arg(d + 1);
        display.displayID = quint32(d + 1);
        display.frame = QRectF(1512.0 * d, 0, 1512, 982);
        for (int k = 1; k <= settingsDesktopsPerDisplay; ++k) {
            const quint64 id = quint64(100 * (d + 1) + k);
            display.spaces.append({id, qint64(id) + 1000, 0, {}});
        }
        world.addDisplay(display);
    }
    SpaceEngine::shared().refresh(false);
}

QImage frame(QWidget& view)
{
    QImage image(view.size() * 2, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(2);
    view.render(&image);
    return image;
}

void openOnSpacesFirstTime(benchmark::State& state)
{
    QTemporaryDir home;
    for (auto _ : state) {
        state.PauseTiming();
        freshWorld(home.path());
        SettingsModel model;
        state.ResumeTiming();
        auto view = std::make_unique<SettingsView>(model, SettingsServices::shared());
        benchmark::DoNotOptimize(frame(*view));
        state.PauseTiming();
        view.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(openOnSpacesFirstTime)->Unit(benchmark::kMillisecond);

// From the empty About area to the page of the argument, first frame of what
// a tab switch redraws (the tabs and the page area; the header stays) drawn.
void switchTabs(benchmark::State& state)
{
    QTemporaryDir home;
    freshWorld(home.path());
    SettingsModel model;
    SettingsView view(model, SettingsServices::shared());
    frame(view);
    const auto page = static_cast<SettingsPage>(state.range(0));
    state.SetLabel(SettingsPages::rawValue(page).toStdString());
    for (auto _ : state) {
        state.PauseTiming();
        model.setPage(SettingsPage::about);
        state.ResumeTiming();
        model.setPage(page);
        benchmark::DoNotOptimize(frame(*view.findChild<QWidget*>("pageTabs")));
        benchmark::DoNotOptimize(frame(*view.pageArea()));
    }
}
BENCHMARK(switchTabs)
    ->Arg(int(SettingsPage::spaces))
    ->Arg(int(SettingsPage::timeTracking))
    ->Arg(int(SettingsPage::general))
    ->Unit(benchmark::kMillisecond);

// Redrawing the whole window as it stands, for comparison.
void redrawWindow(benchmark::State& state)
{
    QTemporaryDir home;
    freshWorld(home.path());
    SettingsModel model;
    SettingsView view(model, SettingsServices::shared());
    frame(view);
    for (auto _ : state)
        benchmark::DoNotOptimize(frame(view));
}
BENCHMARK(redrawWindow)->Unit(benchmark::kMillisecond);

void redrawPart(benchmark::State& state)
{
    QTemporaryDir home;
    freshWorld(home.path());
    SettingsModel model;
    SettingsView view(model, SettingsServices::shared());
    frame(view);
    const QStringList names{"headerBand", "heroStrip", "pageTabs", "pageArea", "spacesPage"};
    QWidget* part = view.findChild<QWidget*>(names[state.range(0)]);
    state.SetLabel(names[state.range(0)].toStdString());
    for (auto _ : state)
        benchmark::DoNotOptimize(frame(*part));
}
BENCHMARK(redrawPart)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

void buildSpacesPage(benchmark::State& state)
{
    QTemporaryDir home;
    freshWorld(home.path());
    for (auto _ : state) {
        SpacesPage page(SettingsServices::shared());
        benchmark::DoNotOptimize(page.rows().size());
    }
}
BENCHMARK(buildSpacesPage)->Unit(benchmark::kMillisecond);

void csvOfThousandDesktops(benchmark::State& state)
{
    QList<TimeExport::Row> rows;
    for (int i = 1; i <= csvDesktops; ++i)
        rows.append({i, QStringLiteral("Desktop \"%1\", work").arg(i), i * 97.3});
    for (auto _ : state)
        benchmark::DoNotOptimize(TimeExport::csv(rows));
    state.SetItemsProcessed(state.iterations() * csvDesktops);
}
BENCHMARK(csvOfThousandDesktops)->Unit(benchmark::kMicrosecond);

} // namespace
