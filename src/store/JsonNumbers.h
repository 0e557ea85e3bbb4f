#pragma once

#include <QJsonValue>

#include <optional>

// JSON keeps every number as a double; stored integers are read back only
// when they are exact and in range, never truncated.
namespace JsonNumbers {

// The value as a signed 64-bit integer when it is a JSON number without a
// fractional part that fits; none for anything else.
std::optional<qint64> exactInteger(const QJsonValue& value);

// The same, limited to minimum...maximum.
std::optional<qint64> integerInRange(const QJsonValue& value, qint64 minimum, qint64 maximum);

} // namespace JsonNumbers
