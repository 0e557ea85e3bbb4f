#include "store/SpaceMeta.h"

#include "store/JsonNumbers.h"

namespace {

QString missing(const char* member)
{
    return QStringLiteral("member \"%1\" is missing").arg(QLatin1String(member));
}

QString wrongType(const char* member, const char* expected)
{
    return QStringLiteral("member \"%1\" is not %2").arg(QLatin1String(member), QLatin1String(expected));
}

// A required member that must be a string.
Result<QString> stringMember(const QJsonObject& object, const char* member)
{
    const QJsonValue value = object.value(QLatin1String(member));
    if (value.isUndefined())
        return Result<QString>::failure(missing(member));
    if (!value.isString())
        return Result<QString>::failure(wrongType(member, "a string"));
    return Result<QString>::success(value.toString());
}

Result<TileColor> colorMember(const QJsonObject& object)
{
    const QJsonValue value = object.value(QLatin1String("color"));
    if (value.isUndefined())
        return Result<TileColor>::failure(missing("color"));
    const auto integer = JsonNumbers::exactInteger(value);
    if (!integer)
        return Result<TileColor>::failure(wrongType("color", "a 64-bit integer"));
    return Result<TileColor>::success(TileColor::fromInt(*integer));
}

Result<double> secondsMember(const QJsonObject& object)
{
    const QJsonValue value = object.value(QLatin1String("seconds"));
    if (value.isUndefined())
        return Result<double>::failure(missing("seconds"));
    if (!value.isDouble())
        return Result<double>::failure(wrongType("seconds", "a number"));
    return Result<double>::success(value.toDouble());
}

// Optional: absent or null is no shortcut.
Result<std::optional<Hotkey>> hotkeyMember(const QJsonObject& object)
{
    const QJsonValue value = object.value(QLatin1String("hotkey"));
    if (value.isUndefined() || value.isNull())
        return Result<std::optional<Hotkey>>::success(std::nullopt);
    auto hotkey = Hotkey::fromJson(value);
    if (!hotkey)
        return Result<std::optional<Hotkey>>::failure(wrongType("hotkey", "a valid shortcut"));
    return Result<std::optional<Hotkey>>::success(hotkey);
}

} // namespace

bool SpaceMeta::isEmpty() const
{
    return name.isEmpty() && icon.isNone() && color == TileColor::automatic() && !hotkey;
}

QJsonObject SpaceMeta::toJson() const
{
    QJsonObject object;
    object.insert(QLatin1String("name"), name);
    object.insert(QLatin1String("icon"), icon.stringValue());
    object.insert(QLatin1String("color"), color.intValue());
    object.insert(QLatin1String("seconds"), seconds);
    if (hotkey)
        object.insert(QLatin1String("hotkey"), hotkey->toJson());
    return object;
}

Result<SpaceMeta> SpaceMeta::fromJson(const QJsonValue& value)
{
    if (!value.isObject())
        return Result<SpaceMeta>::failure(QStringLiteral("not an object"));
    const QJsonObject object = value.toObject();
    SpaceMeta meta;
    const auto name = stringMember(object, "name");
    if (!name)
        return Result<SpaceMeta>::failure(name.error());
    meta.name = name.value();
    const auto icon = stringMember(object, "icon");
    if (!icon)
        return Result<SpaceMeta>::failure(icon.error());
    meta.icon = SpaceIcon::fromString(icon.value());
    const auto color = colorMember(object);
    if (!color)
        return Result<SpaceMeta>::failure(color.error());
    meta.color = color.value();
    const auto seconds = secondsMember(object);
    if (!seconds)
        return Result<SpaceMeta>::failure(seconds.error());
    meta.seconds = seconds.value();
    const auto hotkey = hotkeyMember(object);
    if (!hotkey)
        return Result<SpaceMeta>::failure(hotkey.error());
    meta.hotkey = hotkey.value();
    return Result<SpaceMeta>::success(meta);
}
