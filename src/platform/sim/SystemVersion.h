#pragma once

#include "platform/SystemInfo.h"

namespace platform::sim {

// Makes the simulated system report version until the shared instances are
// reset (the default is 14.0.0).
void setOperatingSystemVersion(const SystemInfo::OperatingSystemVersion& version);

} // namespace platform::sim
