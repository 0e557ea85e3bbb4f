#pragma once

#include <QList>
#include <QUrl>

namespace platform {

// The file viewer (the Finder): shows files in their folders.
namespace FileViewer {

// Brings the file viewer forward with a window on each file's folder, the
// files selected. A file that does not exist is handed over all the same;
// what the viewer then shows is its own affair. False when no viewer could
// be brought up for a folder (a desktop without a file manager).
bool activateSelecting(const QList<QUrl>& fileUrls);

} // namespace FileViewer
} // namespace platform
