#include "store/TileColor.h"

namespace {
constexpr qint64 automaticValue = -1;
constexpr qint64 transparentValue = -2;
} // namespace

TileColor::TileColor(Kind kind, qint64 index)
    : kind_(kind)
    , index_(index)
{
}

TileColor TileColor::palette(qint64 index)
{
    return {Kind::palette, index};
}

TileColor TileColor::transparent()
{
    return {Kind::transparent, 0};
}

TileColor TileColor::fromInt(qint64 value)
{
    if (value == transparentValue)
        return transparent();
    if (value < 0)
        return automatic();
    return palette(value);
}

qint64 TileColor::intValue() const
{
    switch (kind_) {
    case Kind::palette:
        return index_;
    case Kind::automatic:
        return automaticValue;
    case Kind::transparent:
        return transparentValue;
    }
    return automaticValue;
}
