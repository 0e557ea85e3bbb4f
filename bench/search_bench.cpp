#include "store/SpaceSearch.h"

#include <QString>
#include <QStringList>

#include <benchmark/benchmark.h>

#include <vector>

namespace {

struct SearchDesktop {
    QString name;
    qint64 number;
    QStringList apps;
};

// Names as people give them, one in ten with accents or emoji.
std::vector<SearchDesktop> makeDesktops(int count)
{
    const QStringList words{"Mail", "Chat", "Design", "Code", "Music", "Research", "Writing", "Finance",
                            "Travel", "Admin", "Photos", "Review"};
    const QStringList unicodeWords{QString::fromUtf8("Caf\u00e9"), QString::fromUtf8("\u00dcbersicht"),
                                   QString::fromUtf8("Launch \U0001F680"), QString::fromUtf8("\u30c7\u30b6\u30a4\u30f3")};
    const QStringList appNames{"Safari", "Xcode", "Mail", "Terminal", "Slack", "Figma", "Notes", "Music"};
    std::vector<SearchDesktop> desktops;
    desktops.reserve(count);
    for (int i = 0; i < count; ++i) {
        QString name = words[i % words.size()] + QLatin1Char(' ') + words[(i / 7) % words.size()];
        if (i % 10 == 9)
            name = unicodeWords[i % unicodeWords.size()] + QLatin1Char(' ') + QString::number(i);
        desktops.push_back({name, i + 1, {appNames[i % appNames.size()], appNames[(i + 3) % appNames.size()]}});
    }
    return desktops;
}

void scoreAll(benchmark::State& state, const QString& typed)
{
    const std::vector<SearchDesktop> desktops = makeDesktops(10000);
    const QString query = SpaceSearch::normalize(typed);
    for (auto _ : state) {
        int matched = 0;
        for (const SearchDesktop& desktop : desktops)
            matched += SpaceSearch::score(query, desktop.name, desktop.number, desktop.apps).has_value();
        benchmark::DoNotOptimize(matched);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(desktops.size()));
}

void ScoreTenThousandNamesWord(benchmark::State& state)
{
    scoreAll(state, QStringLiteral("chat"));
}

void ScoreTenThousandNamesFuzzyMiss(benchmark::State& state)
{
    scoreAll(state, QStringLiteral("zqx"));
}

void ScoreTenThousandNamesAccented(benchmark::State& state)
{
    scoreAll(state, QString::fromUtf8("caf\u00e9"));
}

} // namespace

BENCHMARK(ScoreTenThousandNamesWord)->Unit(benchmark::kMillisecond);
BENCHMARK(ScoreTenThousandNamesFuzzyMiss)->Unit(benchmark::kMillisecond);
BENCHMARK(ScoreTenThousandNamesAccented)->Unit(benchmark::kMillisecond);
