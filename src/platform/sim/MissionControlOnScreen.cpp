// Mission Control shown on a desktop session: one window per display, what
// each draws and what a user's click there does.
#include "platform/sim/MissionControl.h"

#include "platform/sim/MissionControlLayout.h"
#include "platform/sim/MissionControlWindow.h"
#include "platform/sim/WindowSystem.h"
#include "platform/sim/World.h"

#include <QApplication>

namespace platform::sim {

using namespace MissionControlLayout;

// Whether the app runs on a desktop session, where Mission Control shows.
bool MissionControl::onDesktopSession()
{
    // Its windows are widgets.
    return qobject_cast<QApplication*>(QCoreApplication::instance()) && onWindowSystem();
}

void MissionControl::setShowsWindows(bool shows)
{
    showsWindows_ = shows;
    if (shows && open_ && !closing_)
        showWindows();
    else
        hideWindows();
}

QList<QWidget*> MissionControl::windows() const
{
    QList<QWidget*> shown;
    for (const auto& view : views_) {
        if (view->isVisible())
            shown.append(view.get());
    }
    return shown;
}

void MissionControl::showWindows()
{
    if (!showsWindows_)
        return;
    const QList<DisplaySpec> displays = World::shared().displays();
    bool same = qsizetype(views_.size()) == displays.size();
    for (qsizetype i = 0; same && i < displays.size(); ++i)
        same = static_cast<MissionControlWindow*>(views_[size_t(i)].get())->displayUUID() == displays[i].uuid;
    if (!same) {
        views_.clear();
        for (const auto& display : displays)
            views_.push_back(std::make_unique<MissionControlWindow>(display.uuid));
    }
    for (const auto& view : views_) {
        static_cast<MissionControlWindow*>(view.get())->place();
        view->update();
        // Raised only when it comes, so the app's labels shown over it since
        // stay above.
        if (!view->isVisible()) {
            view->show();
            view->raise();
        }
    }
    // Mission Control takes the keyboard, so Escape reaches it.
    if (!views_.empty())
        views_.front()->activateWindow();
}

void MissionControl::hideWindows()
{
    for (const auto& view : views_)
        view->hide();
}

void MissionControl::redrawWindows()
{
    for (const auto& view : views_) {
        if (view->isVisible())
            view->update();
    }
}

QList<MissionControl::DisplayPicture> MissionControl::pictures() const
{
    QList<DisplayPicture> result;
    if (!open_)
        return result;
    const bool windowManager = isWindowManagerHost();
    for (const auto& place :
         placesOf(World::shared().displays(), behavior_.numbering, windowManager, expanded_, closing_)) {
        DisplayPicture picture;
        picture.uuid = place.uuid;
        picture.screen = place.screen;
        picture.scene.backdrop = place.screen;
        picture.scene.bar = place.bar;
        for (const auto& button : place.buttons) {
            const QString text = caption(button.label);
            if (!expanded_) {
                picture.scene.captions.append({text, button.rect.center()});
                continue;
            }
            QRectF preview = button.rect;
            if (windowManager)
                preview = QRectF(button.rect.x() + windowManagerThumbnailSide,
                                 button.rect.y() + windowManagerThumbnailTop,
                                 button.rect.width() - 2 * windowManagerThumbnailSide, thumbnailHeight);
            picture.scene.previews.append(preview);
            picture.scene.captions.append(
                {text, QPointF(preview.center().x(), (preview.bottom() + place.bar.bottom()) / 2)});
        }
        result.append(picture);
    }
    return result;
}

void MissionControl::userClick(const QPointF& location)
{
    if (!open_ || closing_)
        return;
    const QList<DisplayPlace> places =
        placesOf(World::shared().displays(), behavior_.numbering, isWindowManagerHost(), expanded_, closing_);
    qsizetype index = 0;
    for (const auto& place : places) {
        for (const auto& button : place.buttons) {
            if (button.rect.contains(location) && index < buttons_.size()) {
                // The press an app's accessibility action makes.
                AX::performAction(buttons_[index].element, QStringLiteral("AXPress"));
                return;
            }
            ++index;
        }
        if (place.bar.contains(location))
            return;
    }
    close();
}

} // namespace platform::sim
