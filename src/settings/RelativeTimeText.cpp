#include "settings/RelativeTimeText.h"

#include <array>
#include <cmath>

namespace {

struct Unit {
    const char* name;
    double seconds;
};

constexpr double minute = 60;
constexpr double hour = 60 * minute;
constexpr double day = 24 * hour;

// Largest first.
constexpr std::array<Unit, 7> units{{
    {"year", 365 * day},
    {"month", 30 * day},
    {"week", 7 * day},
    {"day", day},
    {"hour", hour},
    {"minute", minute},
    {"second", 1},
}};

} // namespace

namespace RelativeTimeText {

QString since(double seconds)
{
    if (!std::isfinite(seconds))
        seconds = 0;
    const bool ahead = seconds < 0;
    const double span = std::fabs(seconds);
    const Unit* chosen = &units.back();
    for (const Unit& unit : units) {
        if (span >= unit.seconds) {
            chosen = &unit;
            break;
        }
    }
    // The span may exceed what an integer holds; the count stays a double.
    const double count = std::floor(span / chosen->seconds);
    QString amount = QString::number(count, 'f', 0) + QLatin1Char(' ') + QLatin1String(chosen->name);
    if (count != 1)
        amount += QLatin1Char('s');
    if (ahead && count > 0)
        return QStringLiteral("in ") + amount;
    return amount + QStringLiteral(" ago");
}

} // namespace RelativeTimeText
