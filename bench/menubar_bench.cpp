// The menu-bar tile, its menu and the popover at realistic sizes, and one
// switch from the hotkey to the redrawn tile.
#include "BenchClock.h"
#include "engine/SpaceEngine.h"
#include "menubar/MenuPopoverController.h"
#include "menubar/MenuPopoverView.h"
#include "menubar/StatusBarController.h"
#include "platform/KeyEvents.h"
#include "platform/Lifetime.h"
#include "platform/sim/World.h"
#include "store/Settings.h"
#include "store/SpaceStore.h"
#include "support/PlatformTest.h"
#include "switching/DesktopSwitcher.h"
#include "switching/HotkeyCenter.h"
#include "ui/AppCommands.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

// displays x perDisplay desktops, every third one named, appsPerDesktop apps on each.
class MenuBarWorld {
public:
    MenuBarWorld(int displays, int perDisplay, int appsPerDesktop)
        : clock_(startFreshProcess(home_.path(), benchStartTime))
    {
        auto& world = platform::sim::World::shared();
        world.clear();
        SpaceEngine::AppsMap apps;
        for (int d = 0; d < displays; ++d) {
            platform::sim::DisplaySpec display;
            display.uuid = QStringLiteral("DISPLAY-%1").arg(d);
            display.displayID = quint32(d + 1);
            display.frame = QRectF(d * 1512.0, 0, 1512, 982);
            for (int s = 0; s < perDisplay; ++s) {
                const quint64 id = quint64(d * 100 + s + 1);
                display.spaces.append({id, qint64(id), 0, {}});
                if (s % 3 == 0)
                    SpaceStore::shared().change(qint64(id), [&](SpaceMeta& meta) {
                        meta.name = QStringLiteral("Desktop name %1").arg(id);
                    });
                QList<SpaceApp> list;
                for (int a = 0; a < appsPerDesktop; ++a) {
                    QImage icon(32, 32, QImage::Format_ARGB32_Premultiplied);
                    icon.fill(QColor::fromHsv((a * 37) % 360, 200, 220));
                    list << SpaceApp{qint32(1000 + a), QStringLiteral("App %1").arg(a), icon,
                                     a == 0 ? std::optional<QString>(QStringLiteral("2")) : std::nullopt};
                }
                apps.insert(id, list);
            }
            display.currentSpaceID = quint64(d * 100 + 1);
            world.addDisplay(display);
        }
        SpaceEngine::shared().refresh(false);
        SpaceEngine::shared().setSampleApps(apps);
    }
    ~MenuBarWorld() { platform::resetSharedInstances(); }

    platform::ManualScheduler& clock() { return clock_; }

private:
    QTemporaryDir home_;
    platform::ManualScheduler& clock_;
};

void switchTo(quint64 spaceID)
{
    platform::sim::World::shared().setCurrentSpace(QStringLiteral("DISPLAY-0"), spaceID);
    SpaceEngine::shared().refresh(false);
}

void BM_TileRenderAfterSwitch(benchmark::State& state)
{
    MenuBarWorld world(1, 16, 3);
    StatusBarController tile(InertCommands::shared());
    quint64 next = 2;
    for (auto _ : state) {
        state.PauseTiming();
        switchTo(next);
        next = next == 2 ? 3 : 2;
        state.ResumeTiming();
        tile.render();
    }
    if (tile.button()->image().devicePixelRatio() != 2)
        state.SkipWithError("the tile was not drawn at scale 2");
}
BENCHMARK(BM_TileRenderAfterSwitch)->Unit(benchmark::kMicrosecond);

void BM_TileRenderWithoutChange(benchmark::State& state)
{
    MenuBarWorld world(1, 16, 3);
    StatusBarController tile(InertCommands::shared());
    tile.render();
    for (auto _ : state)
        tile.render();
}
BENCHMARK(BM_TileRenderWithoutChange)->Unit(benchmark::kMicrosecond);

void BM_BuildMenu48Desktops(benchmark::State& state)
{
    MenuBarWorld world(3, 16, 3);
    StatusBarController tile(InertCommands::shared());
    for (auto _ : state)
        tile.buildMenu();
    state.counters["items"] = double(tile.menu().items().size());
}
BENCHMARK(BM_BuildMenu48Desktops)->Unit(benchmark::kMicrosecond);

void BM_PopoverFirstOpen(benchmark::State& state)
{
    MenuBarWorld world(3, 16, 10);
    for (auto _ : state) {
        state.PauseTiming();
        auto popover = std::make_unique<MenuPopoverController>(InertCommands::shared());
        state.ResumeTiming();
        popover->show(QRectF(1400, 958, 40, 24), PopoverPage::list());
        state.PauseTiming();
        popover.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_PopoverFirstOpen)->Unit(benchmark::kMillisecond);

void BM_PopoverLaterOpen(benchmark::State& state)
{
    MenuBarWorld world(3, 16, 10);
    MenuPopoverController popover(InertCommands::shared());
    popover.show(QRectF(1400, 958, 40, 24), PopoverPage::list());
    world.clock().runPending();
    for (auto _ : state) {
        state.PauseTiming();
        popover.close();
        world.clock().runPending(); // the app re-read queued by the last opening
        state.ResumeTiming();
        popover.show(QRectF(1400, 958, 40, 24), PopoverPage::list());
    }
    if (popover.view()->rows().size() != 48)
        state.SkipWithError("the list did not hold 48 rows");
}
BENCHMARK(BM_PopoverLaterOpen)->Unit(benchmark::kMillisecond);

// Hotkey press -> hotkey handler -> engine step -> switcher -> window
// server -> engine refresh -> tile redrawn. The simulated animation delay
// passes on the manual clock and costs no real time.
void BM_SwitchEndToEnd(benchmark::State& state)
{
    MenuBarWorld world(1, 16, 3);
    DesktopSwitcher::installAsEngineSwitcher();
    SpaceEngine::shared().setSwitcher(nullptr);
    const Hotkey next{124, 0x1800}; // Control-Option-Right
    HotkeyCenter::shared().registerHotkey(next, [] { SpaceEngine::shared().step(1); });
    StatusBarController tile(InertCommands::shared());
    tile.render();
    int redrawn = 0;
    for (auto _ : state) {
        const auto before = tile.rendered();
        for (bool down : {true, false}) {
            auto event = platform::KeyEvents::createKeyboardEvent(nullptr, quint16(next.keyCode), down);
            platform::KeyEvents::setFlags(*event, next.eventModifiers());
            platform::KeyEvents::post(platform::EventTapLocation::hid, *event);
        }
        world.clock().advance(1.0);
        if (tile.rendered() != before)
            ++redrawn;
    }
    state.counters["redrawn"] = double(redrawn) / double(state.iterations());
}
BENCHMARK(BM_SwitchEndToEnd)->Unit(benchmark::kMillisecond);

} // namespace
