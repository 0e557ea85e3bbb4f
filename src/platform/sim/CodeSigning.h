#pragma once

#include <QByteArray>
#include <QString>

namespace platform::sim {

// Trusts publicKey (raw Ed25519) as the key of team until the shared
// instances are reset. Pinning the maker's team stands in for its release
// key, whose private half tests do not have.
void pinTeamKey(const QString& team, const QByteArray& publicKey);

} // namespace platform::sim
