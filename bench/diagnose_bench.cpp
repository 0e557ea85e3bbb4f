// The "--diagnose" mode from process start to exit, on the default simulated
// world: one whole run of the app per iteration.
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

void BM_DiagnoseProcess(benchmark::State& state)
{
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + QStringLiteral("/config"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.path() + QStringLiteral("/data"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    for (auto _ : state) {
        QProcess app;
        app.setProcessEnvironment(environment);
        app.start(QStringLiteral(TESSAROOM_APP), {QStringLiteral("--diagnose")});
        if (!app.waitForFinished(10000) || app.exitCode() != 0) {
            state.SkipWithError("the app did not finish its diagnose mode with status 0");
            break;
        }
        benchmark::DoNotOptimize(app.readAllStandardOutput());
    }
}
BENCHMARK(BM_DiagnoseProcess)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace
