#pragma once

#include "platform/CodeSignature.h"

#include <QJsonObject>

namespace platform::CodeSignature {

// Whether a verified record's signer meets every clause (no requirement: it
// does). The anchor holds only when the record's key is the one pinned for
// its team.
bool meets(const QJsonObject& fields, const Requirement* requirement);

} // namespace platform::CodeSignature
