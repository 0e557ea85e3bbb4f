// The Mission Control labels' hot paths: the layout pass that runs up to 30
// times a second while Mission Control is open, and the pill painter.
#include "BenchClock.h"
#include "engine/SpaceEngine.h"
#include "missioncontrol/MissionControlOverlay.h"
#include "missioncontrol/PillPainter.h"
#include "platform/Lifetime.h"
#include "platform/sim/MissionControl.h"
#include "platform/sim/World.h"
#include "store/Settings.h"
#include "support/PlatformTest.h"
#include "switching/Accessibility.h"
#include "ui/KitFonts.h"
#include "ui/Theme.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

constexpr int displayCount = 3;
constexpr int desktopsPerDisplay = 16;

// Three displays of sixteen desktops with Mission Control open and expanded.
class OpenMissionControl {
public:
    OpenMissionControl()
    {
        startFreshProcess(home_.path(), benchStartTime);
        KitFonts::install();
        auto& world = platform::sim::World::shared();
        world.clear();
        for (int d = 0; d < displayCount; ++d) {
            platform::sim::DisplaySpec display;
            display.uuid = QStringLiteral("DISPLAY-%1").arg(d);
            display.displayID = quint32(d + 1);
            display.frame = QRectF(d * 1920.0, 0, 1920, 1080);
            for (int s = 0; s < desktopsPerDisplay; ++s) {
                const quint64 id = quint64(d * 100 + s + 1);
                display.spaces.append({id, qint64(id), 0, {}});
            }
            world.addDisplay(display);
        }
        platform::Scheduler::current().schedule(0, [] {});
        SpaceEngine::shared().refresh(false);
        auto& mc = platform::sim::MissionControl::shared();
        mc.setBehavior({.expandDelay = -1});
        mc.open();
        mc.expand();
        overlay_ = std::make_unique<MissionControlOverlay>(SpaceEngine::shared(), Settings::shared(),
                                                          Accessibility::shared());
    }
    ~OpenMissionControl()
    {
        overlay_.reset();
        platform::resetSharedInstances();
    }

    MissionControlOverlay& overlay() { return *overlay_; }
    qsizetype pillCount() const
    {
        qsizetype count = 0;
        for (const auto& [uuid, pills] : overlay_->lastPills())
            count += pills.size();
        return count;
    }

private:
    QTemporaryDir home_;
    std::unique_ptr<MissionControlOverlay> overlay_;
};

void BM_LayoutPassUnchanged(benchmark::State& state)
{
    OpenMissionControl open;
    open.overlay().layoutPass();
    if (open.pillCount() != displayCount * desktopsPerDisplay) {
        state.SkipWithError("not every desktop got a pill");
        return;
    }
    for (auto _ : state)
        open.overlay().layoutPass();
}
BENCHMARK(BM_LayoutPassUnchanged)->Unit(benchmark::kMicrosecond);

void BM_LayoutPassAllMoved(benchmark::State& state)
{
    OpenMissionControl open;
    auto& world = platform::sim::World::shared();
    const QList<platform::AX::Element> buttons = platform::sim::MissionControl::shared().buttons();
    QList<QPointF> positions;
    for (const auto& button : buttons) {
        QVariant position;
        platform::AX::copyAttributeValue(button, QStringLiteral("AXPosition"), &position);
        positions.append(position.toPointF());
    }
    open.overlay().layoutPass();
    if (open.pillCount() != displayCount * desktopsPerDisplay) {
        state.SkipWithError("not every desktop got a pill");
        return;
    }
    int step = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ++step;
        for (qsizetype i = 0; i < buttons.size(); ++i)
            world.setElementAttribute(buttons[i], QStringLiteral("AXPosition"),
                                      positions[i] + QPointF(step % 2 ? 6 : 0, 0));
        state.ResumeTiming();
        open.overlay().layoutPass();
    }
}
BENCHMARK(BM_LayoutPassAllMoved)->Unit(benchmark::kMicrosecond);

PillMetrics metrics(double width)
{
    return {.width = width, .height = 21, .scale = 1, .contentWidth = width, .padding = 9, .glyphSize = 13, .gap = 5,
            .textWidth = width - 18};
}

void BM_PainterCacheHit(benchmark::State& state)
{
    OpenMissionControl open;
    const Desktop desktop = SpaceEngine::shared().desktops().first();
    const QFont font = Theme::font(11.5, QFont::DemiBold);
    PillPainter painter;
    painter.image(desktop, desktop.displayName(), font, nullptr, metrics(96), 2, false);
    for (auto _ : state)
        benchmark::DoNotOptimize(painter.image(desktop, desktop.displayName(), font, nullptr, metrics(96), 2, false));
    if (painter.drawCount() != 1)
        state.SkipWithError("the cache missed");
}
BENCHMARK(BM_PainterCacheHit)->Unit(benchmark::kMicrosecond);

void BM_PainterMissAtScale2(benchmark::State& state)
{
    OpenMissionControl open;
    const Desktop desktop = SpaceEngine::shared().desktops().first();
    const QFont font = Theme::font(11.5, QFont::DemiBold);
    for (auto _ : state) {
        PillPainter painter;
        benchmark::DoNotOptimize(painter.image(desktop, desktop.displayName(), font, nullptr, metrics(96), 2, false));
    }
}
BENCHMARK(BM_PainterMissAtScale2)->Unit(benchmark::kMicrosecond);

} // namespace
