#pragma once

#include <QString>
#include <QtGlobal>

#include <array>
#include <optional>

// The enumerations that settings hold. Each is stored as its raw value (0 up,
// in the order of its cases), lists its cases in that order (the order of
// every picker) and has a user-facing title per case.

enum class MenuBarStyle : qint64 { iconAndName = 0, nameOnly = 1, iconOnly = 2, numberAndName = 3 };
enum class PillPlacement : qint64 { belowPreview = 0, insidePreview = 1 };
enum class HUDPosition : qint64 { center = 0, top = 1, bottom = 2 };
enum class HUDSize : qint64 { compact = 0, regular = 1, large = 2 };
enum class HoverZone : qint64 { center = 0, wholeEdge = 1 };
enum class NotchSide : qint64 { left = 0, right = 1 };
enum class NotchContent : qint64 { iconAndName = 0, nameOnly = 1, iconOnly = 2 };

// Every case of a setting enumeration, in raw-value order.
template <typename E>
struct SettingEnum;

template <>
struct SettingEnum<MenuBarStyle> {
    static constexpr std::array allCases{
        MenuBarStyle::iconAndName, MenuBarStyle::nameOnly, MenuBarStyle::iconOnly, MenuBarStyle::numberAndName};
};
template <>
struct SettingEnum<PillPlacement> {
    static constexpr std::array allCases{PillPlacement::belowPreview, PillPlacement::insidePreview};
};
template <>
struct SettingEnum<HUDPosition> {
    static constexpr std::array allCases{HUDPosition::center, HUDPosition::top, HUDPosition::bottom};
};
template <>
struct SettingEnum<HUDSize> {
    static constexpr std::array allCases{HUDSize::compact, HUDSize::regular, HUDSize::large};
};
template <>
struct SettingEnum<HoverZone> {
    static constexpr std::array allCases{HoverZone::center, HoverZone::wholeEdge};
};
template <>
struct SettingEnum<NotchSide> {
    static constexpr std::array allCases{NotchSide::left, NotchSide::right};
};
template <>
struct SettingEnum<NotchContent> {
    static constexpr std::array allCases{NotchContent::iconAndName, NotchContent::nameOnly, NotchContent::iconOnly};
};

template <typename E>
concept SettingEnumeration = requires { SettingEnum<E>::allCases; };

template <SettingEnumeration E>
constexpr qint64 rawValue(E value)
{
    return static_cast<qint64>(value);
}

// The raw value identifies a case in lists and pickers.
template <SettingEnumeration E>
constexpr qint64 id(E value)
{
    return rawValue(value);
}

// The case with this raw value; none for a number that is no raw value.
template <SettingEnumeration E>
constexpr std::optional<E> fromRawValue(qint64 raw)
{
    for (E value : SettingEnum<E>::allCases) {
        if (rawValue(value) == raw)
            return value;
    }
    return std::nullopt;
}

QString title(MenuBarStyle value);
QString title(PillPlacement value);
QString title(HUDPosition value);
QString title(HUDSize value);
QString title(HoverZone value);
QString title(NotchSide value);
QString title(NotchContent value);

// The factor by which the switch tag is drawn.
double scale(HUDSize value);

// What the notch label draws.
bool showsIcon(NotchContent value);
bool showsName(NotchContent value);
