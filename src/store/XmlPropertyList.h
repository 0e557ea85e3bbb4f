#pragma once

#include <QByteArray>
#include <QVariant>

#include <optional>

// Reads the XML form of a property list. The value comes back as a
// QVariantMap (dict), QVariantList (array), QString, qint64 (integer), double
// (real), bool, QByteArray (data) or QDateTime (date). The binary and the old
// text forms are not read.
//
// Hostile input is refused, never followed: containers nested deeper than
// mostNesting, and entities declared in the document (a few bytes of them can
// stand for megabytes of text). Without them the text read is never longer
// than the input.
namespace XmlPropertyList {

inline constexpr int mostNesting = 512;

// None when the bytes are not a well-formed XML property list.
std::optional<QVariant> read(const QByteArray& bytes);

} // namespace XmlPropertyList
