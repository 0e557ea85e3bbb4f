#include "support/PlatformTest.h"

#include "platform/Lifetime.h"

#include <QApplication>


void ensureTestApplication()
{
    if (QCoreApplication::instance())
        return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The app's own fonts only, for this process and the copies it starts.
    qputenv("FONTCONFIG_FILE", TESSAROOM_TEST_FONTS);
    static int argc = 1;
    static char name[] = "tessaroom-tests";
    static char* argv[] = {name, nullptr};
    // Never destroyed: tearing Qt down during static destruction crashes in its
    // font database, and the process ends right after anyway.
    new QApplication(argc, argv);
}

platform::ManualScheduler& startFreshProcess(const QString& home, double startSeconds)
{
    ensureTestApplication();
    const QByteArray root = home.toUtf8();
    qputenv("HOME", root);
    qputenv("XDG_CONFIG_HOME", root + "/config");
    qputenv("XDG_DATA_HOME", root + "/data");
    qputenv("XDG_STATE_HOME", root + "/state");
    platform::resetSharedInstances();
    auto clock = std::make_unique<platform::ManualScheduler>(startSeconds);
    platform::ManualScheduler& installed = *clock;
    platform::Scheduler::install(std::move(clock));
    return installed;
}

PlatformTest::PlatformTest()
    : clock_(&startFreshProcess(home_.path(), startTime))
{
}

PlatformTest::~PlatformTest()
{
    platform::resetSharedInstances();
    platform::Scheduler::install(std::make_unique<platform::ManualScheduler>(startTime));
}
