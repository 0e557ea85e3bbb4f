#include "store/Pref.h"

#include "platform/PreferenceDomain.h"

#include <QVariant>

#include <algorithm>

#include <cmath>
#include <limits>

namespace {

// 2^63: the first double above every signed 64-bit integer.
constexpr double int64Bound = 9223372036854775808.0;

bool isStoredInteger(const QVariant& value)
{
    return value.typeId() == QMetaType::LongLong;
}

bool isStoredDouble(const QVariant& value)
{
    return value.typeId() == QMetaType::Double;
}

bool isStoredBool(const QVariant& value)
{
    return value.typeId() == QMetaType::Bool;
}

} // namespace

std::optional<bool> PrefValue<bool>::read(const QString& key, const platform::PreferenceDomain& defaults)
{
    const QVariant value = defaults.object(key);
    if (isStoredBool(value))
        return value.toBool();
    if (isStoredInteger(value) || isStoredDouble(value)) {
        const double number = value.toDouble();
        if (number == 0.0 || number == 1.0)
            return number == 1.0;
    }
    return std::nullopt;
}

void PrefValue<bool>::write(const QString& key, bool value, platform::PreferenceDomain& defaults)
{
    defaults.setBool(key, value, platform::PreferenceDomain::Save::soon);
}

std::optional<qint64> PrefValue<qint64>::read(const QString& key, const platform::PreferenceDomain& defaults)
{
    const QVariant value = defaults.object(key);
    if (isStoredInteger(value))
        return value.toLongLong();
    if (isStoredBool(value))
        return value.toBool() ? 1 : 0;
    if (isStoredDouble(value)) {
        const double number = value.toDouble();
        if (std::trunc(number) == number && number >= -int64Bound && number < int64Bound)
            return static_cast<qint64>(number);
    }
    return std::nullopt;
}

void PrefValue<qint64>::write(const QString& key, qint64 value, platform::PreferenceDomain& defaults)
{
    defaults.setInteger(key, value, platform::PreferenceDomain::Save::soon);
}

std::optional<double> PrefValue<double>::read(const QString& key, const platform::PreferenceDomain& defaults)
{
    const QVariant value = defaults.object(key);
    if (isStoredDouble(value))
        return value.toDouble();
    if (isStoredBool(value))
        return value.toBool() ? 1.0 : 0.0;
    if (isStoredInteger(value)) {
        const qint64 integer = value.toLongLong();
        const auto number = static_cast<double>(integer);
        if (number < int64Bound && static_cast<qint64>(number) == integer)
            return number;
    }
    return std::nullopt;
}

void PrefValue<double>::write(const QString& key, double value, platform::PreferenceDomain& defaults)
{
    defaults.setDouble(key, value, platform::PreferenceDomain::Save::soon);
}

std::optional<QString> PrefValue<QString>::read(const QString& key, const platform::PreferenceDomain& defaults)
{
    return defaults.string(key);
}

void PrefValue<QString>::write(const QString& key, const QString& value, platform::PreferenceDomain& defaults)
{
    defaults.setString(key, value, platform::PreferenceDomain::Save::soon);
}

std::optional<quint32> PrefValue<quint32>::read(const QString& key, const platform::PreferenceDomain& defaults)
{
    const std::optional<qint64> integer = PrefValue<qint64>::read(key, defaults);
    if (!integer)
        return std::nullopt;
    constexpr qint64 largest = std::numeric_limits<quint32>::max();
    return static_cast<quint32>(std::clamp<qint64>(*integer, 0, largest));
}

void PrefValue<quint32>::write(const QString& key, quint32 value, platform::PreferenceDomain& defaults)
{
    defaults.setInteger(key, static_cast<qint64>(value), platform::PreferenceDomain::Save::soon);
}

std::optional<std::optional<Hotkey>> PrefValue<std::optional<Hotkey>>::read(
    const QString& key, const platform::PreferenceDomain& defaults)
{
    const std::optional<QByteArray> data = defaults.data(key);
    if (!data)
        return std::nullopt;
    // Empty or unreadable data is a shortcut the user removed.
    return std::optional<std::optional<Hotkey>>(Hotkey::fromJsonData(*data));
}

void PrefValue<std::optional<Hotkey>>::write(
    const QString& key, const std::optional<Hotkey>& value, platform::PreferenceDomain& defaults)
{
    defaults.setData(key, value ? value->toJsonData() : QByteArray(), platform::PreferenceDomain::Save::soon);
}
