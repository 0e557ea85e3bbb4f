#pragma once

#include <QList>
#include <QUrl>

namespace platform::sim {

// Every request to the simulated file viewer, in order; nothing is shown.
QList<QList<QUrl>> fileViewerSelections();

} // namespace platform::sim
