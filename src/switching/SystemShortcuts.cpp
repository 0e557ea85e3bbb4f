#include "switching/SystemShortcuts.h"

#include "platform/ChildProcess.h"
#include "platform/KeyCodes.h"
#include "platform/PreferenceDomain.h"
#include "store/KeyNames.h"
#include "store/LogFile.h"

#include <QVariantList>

#include <algorithm>
#include <cmath>
#include <limits>

namespace SystemShortcuts {

namespace {

using namespace platform::EventFlag;

constexpr qint64 firstDesktopEntry = 118;
constexpr qint64 moveLeftEntry = 79;
constexpr qint64 moveRightEntry = 81;
constexpr qint64 noCharacter = 65535;

const QString settingsTool = QStringLiteral(
    "/System/Library/PrivateFrameworks/SystemAdministration.framework/Resources/activateSettings");

QVariantMap readTable()
{
    const QVariant table = platform::PreferenceDomain::named(domain).object(tableKey);
    return table.typeId() == QMetaType::QVariantMap ? table.toMap() : QVariantMap();
}

QString entryKey(qint64 entryNumber)
{
    return QString::number(entryNumber);
}

// A stored number as an exact integer in minimum...maximum; anything else
// (text, fractions, out of range) is none.
std::optional<qint64> integerIn(const QVariant& value, qint64 minimum, qint64 maximum)
{
    std::optional<qint64> integer;
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
        integer = value.toLongLong();
        break;
    case QMetaType::Double: {
        const double number = value.toDouble();
        if (std::isfinite(number) && std::trunc(number) == number && std::abs(number) < 9.0e15)
            integer = qint64(number);
        break;
    }
    default:
        break;
    }
    if (!integer || *integer < minimum || *integer > maximum)
        return std::nullopt;
    return integer;
}

// A Boolean true, or the integer 1 that older systems wrote.
bool isEnabled(const QVariant& enabled)
{
    switch (enabled.typeId()) {
    case QMetaType::Bool:
        return enabled.toBool();
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
        return enabled.toLongLong() == 1;
    default:
        return false;
    }
}

bool isEnabledEntry(const QVariant& entry)
{
    if (entry.typeId() != QMetaType::QVariantMap)
        return false;
    const QVariantMap map = entry.toMap();
    return map.contains(QStringLiteral("enabled")) && isEnabled(map.value(QStringLiteral("enabled")));
}

struct Modifier {
    platform::EventFlags flag;
    const char* glyph;
};

// Display order: Control, Option, Shift, Command.
constexpr Modifier modifierOrder[] = {
    {control, "\u2303"},
    {option, "\u2325"},
    {shift, "\u21E7"},
    {command, "\u2318"},
};

Combo makeCombo(qint64 keyCode, qint64 mask)
{
    Combo result;
    result.keyCode = keyCode;
    for (const Modifier& modifier : modifierOrder) {
        if ((quint64(mask) & modifier.flag) != 0) {
            result.flags |= modifier.flag;
            result.display += QString::fromUtf8(modifier.glyph);
        }
    }
    result.display += KeyNames::displayName(quint32(keyCode));
    return result;
}

Combo defaultCombo(Direction direction)
{
    return direction == Direction::left ? makeCombo(platform::KeyCode::leftArrow, control)
                                        : makeCombo(platform::KeyCode::rightArrow, control);
}

QVariantMap digitEntry(int index)
{
    const QVariantList parameters{noCharacter, qint64(KeyNames::digitKeyCodes().at(index)), qint64(control)};
    const QVariantMap value{{QStringLiteral("parameters"), parameters}, {QStringLiteral("type"), QStringLiteral("standard")}};
    return {{QStringLiteral("enabled"), true}, {QStringLiteral("value"), value}};
}

} // namespace

std::optional<Combo> parseEntry(const QVariantMap& entry, const std::optional<Combo>& fallback)
{
    if (entry.isEmpty())
        return std::nullopt;
    if (!entry.contains(QStringLiteral("enabled")) || !isEnabled(entry.value(QStringLiteral("enabled"))))
        return std::nullopt;
    const QVariant value = entry.value(QStringLiteral("value"));
    if (value.typeId() != QMetaType::QVariantMap)
        return fallback;
    const QVariant parameters = value.toMap().value(QStringLiteral("parameters"));
    if (parameters.typeId() != QMetaType::QVariantList)
        return fallback;
    const QVariantList list = parameters.toList();
    if (list.size() < 3)
        return fallback;
    // A key code that cannot travel in a key event is as good as malformed.
    const auto keyCode = integerIn(list.at(1), 0, std::numeric_limits<quint16>::max());
    const auto mask = integerIn(list.at(2), 0, std::numeric_limits<quint32>::max());
    if (!keyCode || !mask)
        return fallback;
    return makeCombo(*keyCode, *mask);
}

std::optional<Combo> combo(qint64 desktopNumber)
{
    if (desktopNumber < 1 || desktopNumber > desktopLimit)
        return std::nullopt;
    const QVariant entry = readTable().value(entryKey(firstDesktopEntry - 1 + desktopNumber));
    if (entry.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    return parseEntry(entry.toMap(), std::nullopt);
}

std::optional<Combo> combo(Direction direction)
{
    const Combo fallback = defaultCombo(direction);
    const qint64 number = direction == Direction::left ? moveLeftEntry : moveRightEntry;
    const QVariant entry = readTable().value(entryKey(number));
    if (entry.typeId() != QMetaType::QVariantMap)
        return fallback;
    return parseEntry(entry.toMap(), fallback);
}

int enabledDesktopCount()
{
    int count = 0;
    for (int n = 1; n <= desktopLimit; ++n) {
        if (combo(n))
            ++count;
    }
    return count;
}

bool enableDesktopShortcuts(qint64 count)
{
    const int n = int(std::clamp<qint64>(count, 1, desktopLimit));
    QVariantMap table = readTable();
    for (int i = 0; i < n; ++i) {
        const QString key = entryKey(firstDesktopEntry + i);
        if (!isEnabledEntry(table.value(key)))
            table.insert(key, digitEntry(i));
    }
    auto& preferences = platform::PreferenceDomain::named(domain);
    preferences.setObject(tableKey, table);
    const bool synchronized = preferences.synchronize();
    run(settingsTool, {QStringLiteral("-u")}, true);
    run(QStringLiteral("/usr/bin/killall"), {QStringLiteral("Dock")}, false);
    return synchronized;
}

void run(const QString& path, const QStringList& arguments, bool wait)
{
    platform::ChildProcess::Options options;
    options.wait = wait;
    const auto result = platform::ChildProcess::run(path, arguments, options);
    if (result.launchError)
        LogFile::switches().write(QStringLiteral("could not run ") + path + QStringLiteral(": ") + *result.launchError);
}

} // namespace SystemShortcuts
