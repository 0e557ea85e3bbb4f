#pragma once

#include "support/PlatformTest.h"
#include "ui/KitFonts.h"

#include <benchmark/benchmark.h>

// The main() of a benchmark program that draws widgets: an offscreen
// application with the app's fonts, then every registered benchmark.
inline int runWidgetBenchmarks(int argc, char** argv)
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
