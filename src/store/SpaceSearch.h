#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Ranks a desktop against a typed query by a fixed ladder of rules over its
// shown name, its number and the names of its apps; the first rule that
// matches gives the score. Texts are compared by user-perceived characters,
// case-insensitively only through lowercasing, with no other folding.
namespace SpaceSearch {

namespace Score {
constexpr int exact = 100;      // the name equals the query
constexpr int prefix = 80;      // the name starts with the query
constexpr int wordPrefix = 60;  // a blank-separated word of the name starts with it
constexpr int contains = 40;    // the name contains it
constexpr int number = 30;      // "desktop <number>" starts with it, or it is the number
constexpr int app = 25;         // an app's name starts with it
constexpr int fuzzy = 10;       // its characters occur in the name in order
} // namespace Score

// The query form: blanks (spaces and tabs) trimmed from both ends, line
// breaks kept, then lowercased.
QString normalize(const QString& text);

// The score of a desktop for a normalized query, or none when no rule
// matches. An empty query scores every name as a prefix; callers treat it
// separately.
std::optional<int> score(const QString& query, const QString& name, qint64 number, const QStringList& apps);

// The position of the first text whose lowercased form starts with the
// normalized query.
std::optional<qsizetype> firstPrefixMatch(const QString& query, const QStringList& texts);

} // namespace SpaceSearch
