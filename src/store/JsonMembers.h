#pragma once

#include <QByteArrayView>
#include <QString>

#include <optional>

// Qt's JSON reader keeps the last of two members with the same name and drops
// the first without a word; a stored document with such a member would lose
// data at its next save. This scan finds them in the text.
namespace JsonMembers {

// The first member name that appears twice in one object (compared after
// escapes are decoded, so "7" and "\u0037" are the same name), or none. Meant
// for text a JSON reader has accepted; on other text it answers none or a
// name, never more than that.
std::optional<QString> firstRepeatedName(QByteArrayView json);

} // namespace JsonMembers
