#pragma once

#include "store/Hotkey.h"
#include "store/SettingEnums.h"

#include <QString>

#include <optional>
#include <utility>

namespace platform {
class PreferenceDomain;
}

// One stored setting: its user-defaults key, its default and the value last
// read or written in this run. Only Settings reaches the value, so that every
// change goes through its change signal.
template <typename Value>
struct Pref {
    Pref(QString prefKey, Value prefDefault)
        : key(std::move(prefKey))
        , defaultValue(std::move(prefDefault))
    {
    }

    QString key;
    Value defaultValue;
    std::optional<Value> cached;
};

// How a value type is read from and written to the user defaults. read gives
// none when the key is absent or holds something that is not exactly a value
// of the type: a stored text is never parsed into a number or a Boolean, and a
// number that does not fit the type exactly counts as absent. write stores the
// value at once; the file follows soon (PreferenceDomain::Save::soon), so a
// dragged slider does not write it on every step.
template <typename Value>
struct PrefValue;

// A stored Boolean, or a stored number equal to 0 or 1 (integer or double).
// Any other number (2, -1, 0.5) is not a Boolean.
template <>
struct PrefValue<bool> {
    static std::optional<bool> read(const QString& key, const platform::PreferenceDomain& defaults);
    static void write(const QString& key, bool value, platform::PreferenceDomain& defaults);
};

// A stored integer; a double without fractional part inside the 64-bit range;
// a Boolean as 0 or 1.
template <>
struct PrefValue<qint64> {
    static std::optional<qint64> read(const QString& key, const platform::PreferenceDomain& defaults);
    static void write(const QString& key, qint64 value, platform::PreferenceDomain& defaults);
};

// A stored double; an integer that a double holds exactly; a Boolean as 0 or 1.
template <>
struct PrefValue<double> {
    static std::optional<double> read(const QString& key, const platform::PreferenceDomain& defaults);
    static void write(const QString& key, double value, platform::PreferenceDomain& defaults);
};

// A stored text, or a stored number given as its text.
template <>
struct PrefValue<QString> {
    static std::optional<QString> read(const QString& key, const platform::PreferenceDomain& defaults);
    static void write(const QString& key, const QString& value, platform::PreferenceDomain& defaults);
};

// Read as a 64-bit integer, then clamped to 0...4294967295.
template <>
struct PrefValue<quint32> {
    static std::optional<quint32> read(const QString& key, const platform::PreferenceDomain& defaults);
    static void write(const QString& key, quint32 value, platform::PreferenceDomain& defaults);
};

// An optional shortcut, kept as data: absent gives none (the default stands);
// empty data, or data that is not a shortcut's JSON, gives a stored "no
// shortcut"; otherwise the shortcut.
template <>
struct PrefValue<std::optional<Hotkey>> {
    static std::optional<std::optional<Hotkey>> read(const QString& key, const platform::PreferenceDomain& defaults);
    static void write(const QString& key, const std::optional<Hotkey>& value, platform::PreferenceDomain& defaults);
};

// A setting enumeration, kept as its raw value; an integer that is no raw
// value counts as absent.
template <SettingEnumeration E>
struct PrefValue<E> {
    static std::optional<E> read(const QString& key, const platform::PreferenceDomain& defaults)
    {
        const std::optional<qint64> raw = PrefValue<qint64>::read(key, defaults);
        return raw ? fromRawValue<E>(*raw) : std::nullopt;
    }
    static void write(const QString& key, E value, platform::PreferenceDomain& defaults)
    {
        PrefValue<qint64>::write(key, rawValue(value), defaults);
    }
};
