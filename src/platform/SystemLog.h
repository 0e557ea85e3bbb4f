#pragma once

#include <QString>
#include <QStringList>

namespace platform {

// The system log (the console). Lines are kept in memory for the process and
// appended to $XDG_STATE_HOME/tessaroom/system.log.
namespace SystemLog {

void write(const QString& message);
// Every line written since the process started (or the last reset).
QStringList lines();
QString filePath();

} // namespace SystemLog
} // namespace platform
