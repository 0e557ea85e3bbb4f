#pragma once

#include <QByteArray>
#include <QVariant>

#include <optional>

// Reads the binary form of a property list ("bplist00"), the form the system
// writes by default. Values come back as XmlPropertyList gives them: a
// QVariantMap (dict), QVariantList (array or set), QString, qint64 (integer or
// uid), double (real), bool, QByteArray (data) or QDateTime (date).
namespace BinaryPropertyList {

// None when the bytes are not a well-formed binary property list: every
// offset, count and reference is checked against the data, and a list that
// refers to itself is refused.
std::optional<QVariant> read(const QByteArray& bytes);

} // namespace BinaryPropertyList
