#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The system's symbol names and the symbol-font ligature that draws each.
// A name missing from the table has no symbol.
namespace SymbolNames {

std::optional<QString> ligature(const QString& symbolName);
// Every symbol name the table knows, in table order.
QStringList all();

} // namespace SymbolNames
