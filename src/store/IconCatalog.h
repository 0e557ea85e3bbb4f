#pragma once

#include <QStringList>

// The symbol names the desktop editor offers as icons, in grid order. A
// desktop's icon may still be any symbol name.
namespace IconCatalog {

const QStringList& symbols();

} // namespace IconCatalog
