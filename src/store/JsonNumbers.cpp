#include "store/JsonNumbers.h"

#include <QCborValue>

#include <cmath>

namespace JsonNumbers {

namespace {

// 2^63: the first double above the signed 64-bit range.
constexpr double int64Limit = 9223372036854775808.0;

std::optional<qint64> integerFromDouble(double number)
{
    if (!std::isfinite(number) || std::trunc(number) != number)
        return std::nullopt;
    if (number < -int64Limit || number >= int64Limit)
        return std::nullopt;
    return static_cast<qint64>(number);
}

} // namespace

std::optional<qint64> exactInteger(const QJsonValue& value)
{
    if (!value.isDouble())
        return std::nullopt;
    // The CBOR form tells an integer the parser kept exact from a double.
    const QCborValue cbor = QCborValue::fromJsonValue(value);
    if (cbor.isInteger())
        return cbor.toInteger();
    return integerFromDouble(cbor.toDouble());
}

std::optional<qint64> integerInRange(const QJsonValue& value, qint64 minimum, qint64 maximum)
{
    const auto integer = exactInteger(value);
    if (!integer || *integer < minimum || *integer > maximum)
        return std::nullopt;
    return integer;
}

} // namespace JsonNumbers
