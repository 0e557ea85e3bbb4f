#include "store/Hotkey.h"

#include "store/JsonMembers.h"
#include "store/JsonNumbers.h"
#include "store/KeyNames.h"

#include <QJsonDocument>

#include <array>
#include <utility>

namespace {

constexpr qint64 uint32Max = 0xFFFFFFFFLL;

// Carbon bit and event flag of each modifier.
constexpr std::array<std::pair<quint32, quint64>, 4> modifierPairs = {{
    {Hotkey::controlKey, Hotkey::controlFlag},
    {Hotkey::optionKey, Hotkey::optionFlag},
    {Hotkey::shiftKey, Hotkey::shiftFlag},
    {Hotkey::commandKey, Hotkey::commandFlag},
}};

std::optional<quint32> uint32Member(const QJsonObject& object, const char* name)
{
    const auto value = JsonNumbers::integerInRange(object.value(QLatin1String(name)), 0, uint32Max);
    if (!value)
        return std::nullopt;
    return static_cast<quint32>(*value);
}

} // namespace

std::optional<Hotkey> Hotkey::digit(qint64 number, quint32 modifiers)
{
    if (number < 1 || number > digitLimit)
        return std::nullopt;
    return Hotkey{KeyNames::digitKeyCodes().at(number - 1), modifiers};
}

QString Hotkey::display() const
{
    return modifierGlyphs() + keyName();
}

Hotkey::MenuEquivalent Hotkey::menuEquivalent() const
{
    return {keyEquivalent(), eventModifiers()};
}

quint32 Hotkey::carbonModifiers(quint64 eventFlags)
{
    quint32 mask = 0;
    for (const auto& [carbon, flag] : modifierPairs) {
        if (eventFlags & flag)
            mask |= carbon;
    }
    return mask;
}

quint64 Hotkey::eventModifiers() const
{
    quint64 flags = 0;
    for (const auto& [carbon, flag] : modifierPairs) {
        if (modifiers & carbon)
            flags |= flag;
    }
    return flags;
}

QString Hotkey::keyName() const
{
    return KeyNames::displayName(keyCode);
}

QString Hotkey::modifierGlyphs() const
{
    return KeyNames::glyphs(modifiers);
}

QString Hotkey::keyEquivalent() const
{
    return KeyNames::keyEquivalent(keyCode);
}

std::optional<QString> Hotkey::layoutCharacter() const
{
    return KeyNames::keyName(keyCode);
}

QJsonObject Hotkey::toJson() const
{
    QJsonObject object;
    object.insert(QLatin1String("keyCode"), static_cast<qint64>(keyCode));
    object.insert(QLatin1String("modifiers"), static_cast<qint64>(modifiers));
    return object;
}

std::optional<Hotkey> Hotkey::fromJson(const QJsonValue& value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    const auto code = uint32Member(object, "keyCode");
    if (!code)
        return std::nullopt;
    const auto mask = uint32Member(object, "modifiers");
    if (!mask)
        return std::nullopt;
    return Hotkey{*code, *mask};
}

QByteArray Hotkey::toJsonData() const
{
    return QJsonDocument(toJson()).toJson(QJsonDocument::Compact);
}

std::optional<Hotkey> Hotkey::fromJsonData(const QByteArray& data)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    // Which of two "keyCode" members was meant cannot be told.
    if (JsonMembers::firstRepeatedName(data))
        return std::nullopt;
    return fromJson(document.object());
}
