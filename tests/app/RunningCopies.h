#pragma once

#include "support/AppProcesses.h"

#include <gtest/gtest.h>

#include <csignal>

// Real processes of the app in one private home and runtime folder. A copy
// is ended with SIGTERM once what the test waits for happened.
class RunningCopiesTest : public ::testing::Test, protected AppProcesses {
protected:
    RunningCopiesTest()
        : AppProcesses(QStringLiteral(TESSAROOM_APP))
    {
    }
};
