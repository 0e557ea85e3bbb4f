#include "platform/FileViewer.h"
#include "platform/sim/FileViewer.h"

#include "platform/Lifetime.h"

#include <mutex>

namespace platform {

namespace {

struct ViewerState {
    std::mutex mutex;
    QList<QList<QUrl>> selections;
};

ViewerState*& stateSlot()
{
    static ViewerState* state = nullptr;
    return state;
}

ViewerState& state()
{
    auto*& slot = stateSlot();
    if (!slot) {
        slot = new ViewerState;
        registerSharedReset([] {
            delete stateSlot();
            stateSlot() = nullptr;
        });
    }
    return *slot;
}

} // namespace

void FileViewer::activateSelecting(const QList<QUrl>& fileUrls)
{
    ViewerState& s = state();
    std::lock_guard lock(s.mutex);
    s.selections.append(fileUrls);
}

QList<QList<QUrl>> sim::fileViewerSelections()
{
    ViewerState& s = state();
    std::lock_guard lock(s.mutex);
    return s.selections;
}

} // namespace platform
