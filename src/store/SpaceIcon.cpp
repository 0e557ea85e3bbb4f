#include "store/SpaceIcon.h"

#include "platform/Graphemes.h"
#include "store/Format.h"

#include <utility>

namespace {
constexpr QLatin1String symbolPrefix("sf:");
constexpr QLatin1String picturePrefix("img:");
constexpr qsizetype maximumEmoji = 2;
} // namespace

SpaceIcon::SpaceIcon(Kind kind, QString payload)
    : kind_(kind)
    , payload_(std::move(payload))
{
}

SpaceIcon SpaceIcon::symbol(QString name)
{
    return {Kind::symbol, std::move(name)};
}

SpaceIcon SpaceIcon::emoji(QString text)
{
    return {Kind::emoji, std::move(text)};
}

SpaceIcon SpaceIcon::picture(QString fileName)
{
    return {Kind::picture, std::move(fileName)};
}

SpaceIcon SpaceIcon::fromString(const QString& text)
{
    if (text.isEmpty())
        return none();
    if (text.startsWith(symbolPrefix))
        return symbol(text.mid(symbolPrefix.size()));
    if (text.startsWith(picturePrefix))
        return picture(text.mid(picturePrefix.size()));
    // Unknown kinds from a later version land here too: only emoji survive.
    const QString kept = platform::Graphemes::first(emojiOnly(text), maximumEmoji);
    return kept.isEmpty() ? none() : emoji(kept);
}

QString SpaceIcon::stringValue() const
{
    switch (kind_) {
    case Kind::symbol:
        return symbolPrefix + payload_;
    case Kind::emoji:
        return payload_;
    case Kind::picture:
        return picturePrefix + payload_;
    case Kind::none:
        break;
    }
    return {};
}
