#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace platform {

// Running a system tool as a child process (NSTask).
namespace ChildProcess {

struct Options {
    // Wait until the tool exits; without waiting there is no exit status.
    bool wait = true;
    // Read the tool's standard error to its end (needs wait). Otherwise it is
    // inherited from this process.
    bool captureStandardError = false;
};

struct Result {
    // Set when the tool could not be started: the error's description.
    std::optional<QString> launchError;
    // Set when the tool ran and was waited for.
    std::optional<int> exitStatus;
    QByteArray standardError;

    bool launched() const { return !launchError.has_value(); }
};

Result run(const QString& executable, const QStringList& arguments, const Options& options);

// Starts a program that lives on independently of this process (it may
// outlive it). Arguments reach it as they are, never through a shell line.
// The result carries a launch error when it could not be started.
Result startDetached(const QString& executable, const QStringList& arguments);

} // namespace ChildProcess
} // namespace platform
