#pragma once

#include "platform/ManualScheduler.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

// Base of every test: a fresh temporary home (config, data and log folders),
// fresh shared instances and simulated world, and a manual clock that starts
// at 2026-05-01T08:30:00Z.
class PlatformTest : public ::testing::Test {
protected:
    PlatformTest();
    ~PlatformTest() override;

    static constexpr double startTime = 1777624200.0;

    platform::ManualScheduler& clock() { return *clock_; }
    void advance(double seconds) { clock_->advance(seconds); }
    QString home() const { return home_.path(); }

private:
    QTemporaryDir home_;
    platform::ManualScheduler* clock_ = nullptr;
};

// Creates the offscreen application object once per test binary.
void ensureTestApplication();

// Points the user's folders at home, drops every shared instance (so the
// simulated world starts afresh) and installs a manual clock at startSeconds.
platform::ManualScheduler& startFreshProcess(const QString& home, double startSeconds);
