// An append to a log far past its limit: a 50 MB single line of bytes that are
// not UTF-8, as a damaged or hostile log file would be.
#include "store/LogFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <fstream>
#include <string>

namespace {

constexpr qint64 hugeLogBytes = 50LL * 1024 * 1024;
constexpr qint64 damagedTailBytes = 1024 * 1024;

// The resident-set peak and size in kB, from the kernel's own account.
qint64 statusKilobytes(const std::string& field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field + ":", 0) == 0)
            return std::stoll(line.substr(field.size() + 1));
    }
    return -1;
}

// Restarts the peak count at the current size.
void resetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

// A 50 MB file: a hole, then a megabyte of 0xFF, so that making it costs
// little and any read of its head shows up in time and memory.
bool makeHugeLog(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || !file.resize(hugeLogBytes - damagedTailBytes))
        return false;
    file.seek(hugeLogBytes - damagedTailBytes);
    return file.write(QByteArray(damagedTailBytes, '\xff')) == damagedTailBytes;
}

void BM_AppendToFiftyMegabyteLog(benchmark::State& state)
{
    QTemporaryDir folder;
    const QString path = folder.filePath("huge.log");
    const LogFile log(path);
    qint64 peakGrowth = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (!makeHugeLog(path)) {
            state.SkipWithError("could not make the log");
            return;
        }
        const qint64 before = statusKilobytes("VmRSS");
        resetPeak();
        state.ResumeTiming();
        log.append(QStringLiteral("[2026-05-01T08:30:05Z] switched to 2"));
        state.PauseTiming();
        peakGrowth = std::max(peakGrowth, statusKilobytes("VmHWM") - before);
        state.ResumeTiming();
    }
    state.counters["peakGrowthKB"] = double(peakGrowth);
    state.counters["sizeAfterBytes"] = double(QFile(path).size());
}
BENCHMARK(BM_AppendToFiftyMegabyteLog)->Iterations(20)->Unit(benchmark::kMillisecond);

} // namespace
