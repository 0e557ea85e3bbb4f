#pragma once

#include <QByteArray>
#include <QVariant>

#include <optional>

// Reads the binary form of a property list ("bplist00"), the form the system
// writes by default. Values come back as XmlPropertyList gives them: a
// QVariantMap (dict), QVariantList (array or set), QString, qint64 (integer or
// uid), double (real), bool, QByteArray (data) or QDateTime (date).
namespace BinaryPropertyList {

// Objects nested deeper than this (the top one counting as 1) are refused.
inline constexpr int mostNesting = 512;

// None when the bytes are not a well-formed binary property list: every
// offset, count and reference is checked against the data, and a list that
// refers to itself and objects nested deeper than mostNesting are refused.
// An object referred to many times is read once and shared, so the values
// take at most about twice the input's size.
std::optional<QVariant> read(const QByteArray& bytes);

} // namespace BinaryPropertyList
