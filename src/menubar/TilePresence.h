#pragma once

#include <QString>

// Where the menu-bar tile is: in the bar, made invisible for the notch label
// (checked first), or dropped by a bar without room for it.
enum class TilePresence { inBar, steppedAside, dropped };

inline bool isAwayFromBar(TilePresence presence)
{
    return presence != TilePresence::inBar;
}

inline QString presenceName(TilePresence presence)
{
    switch (presence) {
    case TilePresence::inBar: return QStringLiteral("inBar");
    case TilePresence::steppedAside: return QStringLiteral("steppedAside");
    case TilePresence::dropped: return QStringLiteral("dropped");
    }
    return {};
}
