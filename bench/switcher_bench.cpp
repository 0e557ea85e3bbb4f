#include "BenchClock.h"
#include "engine/SpaceEngine.h"
#include "platform/Lifetime.h"
#include "store/Settings.h"
#include "store/SettingEnums.h"
#include "store/SpaceStore.h"
#include "support/PlatformTest.h"
#include "surfaces/SpaceHover.h"
#include "surfaces/SwitcherList.h"
#include "surfaces/SwitcherModel.h"
#include "ui/KitFonts.h"

#include <QImage>
#include <QLayout>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

// 100 named desktops with 10 apps each, the names and apps as people have them.
struct SwitcherData {
    QList<Desktop> desktops;
    SwitcherModel::AppsMap apps;

    explicit SwitcherData(int count)
    {
        const QStringList words{"Mail", "Chat", "Design", "Code", "Music", "Research", "Writing", "Finance",
                                "Travel", "Admin", "Photos", "Review"};
        const QStringList appNames{"Safari", "Xcode", "Mail", "Terminal", "Slack", "Figma", "Notes",
                                   "Music", "Calendar", "Preview", "Pages", "Numbers"};
        QImage icon(32, 32, QImage::Format_ARGB32_Premultiplied);
        icon.fill(Qt::darkCyan);
        for (int i = 0; i < count; ++i) {
            Desktop desktop;
            desktop.space.id = quint64(i + 1);
            desktop.space.managedID = 1000 + i;
            desktop.space.displayUUID = QStringLiteral("DISPLAY");
            desktop.number = i + 1;
            if (i % 4 != 3) {
                const QString name = words[i % words.size()] + QLatin1Char(' ') + words[(i / 7) % words.size()];
                SpaceStore::shared().change(desktop.managedID(), [&](SpaceMeta& meta) { meta.name = name; });
            }
            desktops.append(desktop);
            QList<SpaceApp> onDesktop;
            for (int a = 0; a < 10; ++a)
                onDesktop.append({qint32(100 * i + a), appNames[(i + a) % appNames.size()], icon, std::nullopt});
            apps.insert(desktop.id(), onDesktop);
        }
    }
};

class Fresh {
public:
    Fresh() { startFreshProcess(home_.path(), benchStartTime); }
    ~Fresh() { platform::resetSharedInstances(); }

private:
    QTemporaryDir home_;
};

// One keystroke in the model: the typed text so far, alternating between a
// query that keeps many rows and one that keeps few.
void SetQueryHundredDesktopsTenApps(benchmark::State& state)
{
    Fresh fresh;
    SwitcherData data(100);
    SwitcherModel model;
    model.load(data.desktops, data.apps, quint64(1), quint64(2));
    const QStringList typed{QStringLiteral("m"), QStringLiteral("mu"), QStringLiteral("s"), QStringLiteral("sa")};
    qsizetype i = 0;
    for (auto _ : state) {
        model.setQuery(typed[i++ % typed.size()]);
        benchmark::DoNotOptimize(model.rows().size());
    }
}
BENCHMARK(SetQueryHundredDesktopsTenApps)->Unit(benchmark::kMicrosecond);

// One keystroke end to end: the model, then every list row rebuilt and laid
// out at the panel's width.
void KeystrokeEndToEndHundredDesktops(benchmark::State& state)
{
    Fresh fresh;
    KitFonts::install();
    SwitcherData data(100);
    SwitcherModel model;
    model.load(data.desktops, data.apps, quint64(1), quint64(2));
    SwitcherList list(model);
    list.resize(460, 514 - 57);
    list.show();
    const QStringList typed{QStringLiteral(""), QStringLiteral("s")};
    qsizetype i = 0;
    for (auto _ : state) {
        model.setQuery(typed[i++ % typed.size()]);
        list.layout()->activate();
        benchmark::DoNotOptimize(list.rows().size());
    }
}
BENCHMARK(KeystrokeEndToEndHundredDesktops)->Unit(benchmark::kMillisecond);

// The zone test of one pointer move.
void ZoneTestPerPointerMove(benchmark::State& state)
{
    const QRectF screen(0, 0, 1512, 982);
    double x = 0;
    for (auto _ : state) {
        x = x > 1512 ? 0 : x + 3.7;
        benchmark::DoNotOptimize(SpaceHover::isInZone({x, 981}, screen, HoverZone::center));
    }
}
BENCHMARK(ZoneTestPerPointerMove)->Unit(benchmark::kNanosecond);

// A whole pointer move away from the edge: the setting, the screen lookup
// and the zone test.
void PointerMoveAwayFromTheEdge(benchmark::State& state)
{
    Fresh fresh;
    SpaceHover hover(SpaceEngine::shared(), Settings::shared(), [] { return false; });
    double x = 0;
    for (auto _ : state) {
        x = x > 1512 ? 0 : x + 3.7;
        hover.pointerMoved({x, 500});
    }
}
BENCHMARK(PointerMoveAwayFromTheEdge)->Unit(benchmark::kNanosecond);

} // namespace
