#pragma once

#include <QList>
#include <QUrl>

#include <optional>

namespace platform::host {

// Every request to the simulated file viewer, in order. On a desktop session
// (a real display) each request also opens the folders of its files in the
// desktop's file manager, and fails when none opens; offscreen it is only
// recorded.
QList<QList<QUrl>> fileViewerSelections();
// Tests: whether requests open folders, whatever the display; none: only on
// a desktop session.
void setFileViewerOpensFolders(std::optional<bool> opens);

} // namespace platform::host
