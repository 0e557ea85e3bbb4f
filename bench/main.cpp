// The one benchmark program: every file here registers its benchmarks, and
// they run on an offscreen application with the app's fonts. Pick some with
// --benchmark_filter=REGEX; --benchmark_list_tests names them all.
#include "support/PlatformTest.h"
#include "ui/KitFonts.h"

#include <benchmark/benchmark.h>

int main(int argc, char** argv)
{
    ensureTestApplication();
    KitFonts::install();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
