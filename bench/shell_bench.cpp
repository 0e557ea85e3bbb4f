// The shell's hot paths: making and launching the application delegate on
// the default world, showing one switch tag (measured and painted at scale
// 2), and parsing a batch of 10,000 mixed links.
#include "BenchClock.h"
#include "app/AppDelegate.h"
#include "app/AppLink.h"
#include "engine/SpaceEngine.h"
#include "platform/Lifetime.h"
#include "platform/sim/World.h"
#include "store/Settings.h"
#include "support/PlatformTest.h"
#include "surfaces/HUDContent.h"
#include "surfaces/HUDPanel.h"
#include "surfaces/SwitchHUD.h"
#include "switching/Accessibility.h"
#include "switching/DesktopSwitcher.h"
#include "ui/KitFonts.h"

#include <QImage>
#include <QTemporaryDir>
#include <QUrl>

#include <benchmark/benchmark.h>

namespace {

void BM_DelegateConstructAndLaunch(benchmark::State& state)
{
    QTemporaryDir home;
    ensureTestApplication();
    KitFonts::install();
    for (auto _ : state) {
        state.PauseTiming();
        startFreshProcess(home.path(), benchStartTime);
        DesktopSwitcher::installAsEngineSwitcher();
        state.ResumeTiming();
        auto delegate = std::make_unique<AppDelegate>(SpaceEngine::shared(), Settings::shared(), Accessibility::shared(),
                                                      AppDelegate::Options{});
        delegate->launch();
        benchmark::DoNotOptimize(delegate->launchEnd());
        state.PauseTiming();
        if (delegate->launchEnd() != AppDelegate::LaunchEnd::complete)
            state.SkipWithError("the launch stopped early");
        delegate.reset();
        platform::resetSharedInstances();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_DelegateConstructAndLaunch)->Unit(benchmark::kMillisecond);

void BM_SwitchTagShowAndPaint(benchmark::State& state)
{
    QTemporaryDir home;
    startFreshProcess(home.path(), benchStartTime);
    KitFonts::install();
    SwitchHUD hud(SpaceEngine::shared(), Settings::shared());
    const Desktop desktop = *SpaceEngine::shared().desktopWithNumber(2);
    const QString uuid = platform::sim::World::shared().displays().first().uuid;
    hud.show(desktop, uuid); // the panel is made once, as in the app
    HUDPanel& panel = *hud.panel(uuid);
    panel.state().setVisible(true);
    for (auto _ : state) {
        hud.show(desktop, uuid);
        QImage image(panel.size() * 2, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(2);
        image.fill(Qt::transparent);
        panel.content().resize(panel.size());
        panel.content().render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        benchmark::DoNotOptimize(image.constBits());
    }
    platform::resetSharedInstances();
}
BENCHMARK(BM_SwitchTagShowAndPaint)->Unit(benchmark::kMicrosecond);

QStringList mixedLinks(int count)
{
    const QStringList shapes{
        QStringLiteral("tessaroom://switch/%1"),       QStringLiteral("TESSAROOM://SWITCH/+%1"),
        QStringLiteral("tessaroom://switch/Desk%20%1"), QStringLiteral("quorvelin://switch/Mail%1"),
        QStringLiteral("tessaroom://settings/general"), QStringLiteral("tessaroom://next"),
        QStringLiteral("tessaroom://prev"),             QStringLiteral("tessaroom://next/extra%1"),
        QStringLiteral("tessaroom://switch/"),          QStringLiteral("https://example.com/%1"),
        QStringLiteral("tessaroom://nowhere/%1"),       QStringLiteral("tessaroom://switch/99999999999999999999%1"),
    };
    QStringList links;
    for (int i = 0; i < count; ++i)
        links.append(QString(shapes[i % shapes.size()]).replace(QStringLiteral("%1"), QString::number(i)));
    return links;
}

void BM_ParseTenThousandLinks(benchmark::State& state)
{
    const QStringList links = mixedLinks(10000);
    for (auto _ : state) {
        int understood = 0;
        for (const QString& text : links) {
            if (AppLink::fromURL(QUrl(text, QUrl::StrictMode)))
                ++understood;
        }
        benchmark::DoNotOptimize(understood);
    }
}
BENCHMARK(BM_ParseTenThousandLinks)->Unit(benchmark::kMillisecond);

} // namespace
