#include "platform/FileViewer.h"
#include "platform/linux/FileViewer.h"

#include "platform/Lifetime.h"
#include "platform/sim/WindowSystem.h"

#include <QDesktopServices>
#include <QFileInfo>

#include <mutex>

namespace platform {

namespace {

struct ViewerState {
    std::mutex mutex;
    QList<QList<QUrl>> selections;
    std::optional<bool> opensFolders;
};

ViewerState& viewerState()
{
    static Shared<ViewerState> current([] { return new ViewerState; });
    return current.get();
}

// The folders holding the files, each once, in order.
QList<QUrl> foldersOf(const QList<QUrl>& fileUrls)
{
    QList<QUrl> folders;
    for (const QUrl& file : fileUrls) {
        if (!file.isLocalFile())
            continue;
        const QUrl folder = QUrl::fromLocalFile(QFileInfo(file.toLocalFile()).absolutePath());
        if (!folders.contains(folder))
            folders.append(folder);
    }
    return folders;
}

} // namespace

bool FileViewer::activateSelecting(const QList<QUrl>& fileUrls)
{
    bool opens = false;
    {
        ViewerState& s = viewerState();
        std::lock_guard lock(s.mutex);
        s.selections.append(fileUrls);
        opens = s.opensFolders.value_or(sim::onWindowSystem());
    }
    if (!opens)
        return true;
    // The desktop's file manager shows the folder; it has no way to be told
    // which file to select.
    bool shown = true;
    for (const QUrl& folder : foldersOf(fileUrls))
        shown = QDesktopServices::openUrl(folder) && shown;
    return shown;
}

void host::setFileViewerOpensFolders(std::optional<bool> opens)
{
    ViewerState& s = viewerState();
    std::lock_guard lock(s.mutex);
    s.opensFolders = opens;
}

QList<QList<QUrl>> host::fileViewerSelections()
{
    ViewerState& s = viewerState();
    std::lock_guard lock(s.mutex);
    return s.selections;
}

} // namespace platform
