#pragma once

#include <QList>
#include <QString>

// Control of how simulated applications answer requests to quit.
namespace platform::sim {

// A refusing app ignores the polite request; forcing still ends it.
void setAppRefusesTermination(qint32 pid, bool refuses);

// Every request in order, as "terminate <pid>" or "force <pid>".
QList<QString> terminationRequests();

} // namespace platform::sim
