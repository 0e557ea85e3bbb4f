#pragma once

#include "menubar/PopoverModel.h"
#include "platform/Popover.h"

#include <QObject>
#include <QRectF>

#include <functional>
#include <memory>

class AppCommands;
class FirstMouseHostingController;
class MenuPopoverView;
class QWidget;
class SpaceEngine;

namespace platform {
class StatusBarButton;
}

// Owns the popover that drops down from the menu-bar tile (or the notch
// label), its model and its view, built on the first showing and reused.
// Which anchor to hang from is the caller's choice. A closing by any path
// resets the page to the list.
class MenuPopoverController final : public QObject {
    Q_OBJECT
public:
    explicit MenuPopoverController(AppCommands& commands);
    ~MenuPopoverController() override;

    PopoverModel& model() { return model_; }
    platform::Popover& popover() { return popover_; }
    // Null until the first showing.
    MenuPopoverView* view() const { return view_; }

    bool isShown() const { return popover_.isShown(); }
    // Closes a shown popover, else shows the list page.
    void toggle(const QRectF& anchor);
    // Records the front app, sets the page, refreshes the engine, shows below
    // the anchor and activates the app; the apps are re-read on the next turn.
    void show(const QRectF& anchor, const PopoverPage& page);
    void close();
    // Right before a switch: gone before the screen changes.
    void closeWithoutAnimation();
    void popoverDidClose();

    // Anchors, in screen coordinates: the tile's button, or a view.
    static QRectF anchorOf(const platform::StatusBarButton& button);
    static QRectF anchorOf(const QWidget* view);

    // How the footer's Quit ends the app (default: the application's quit).
    void setTerminate(std::function<void()> terminate);

private:
    AppCommands& commands_;
    SpaceEngine& engine_;
    PopoverModel model_;
    platform::Popover popover_;
    std::unique_ptr<FirstMouseHostingController> host_;
    MenuPopoverView* view_ = nullptr;
    std::function<void()> terminate_;
};
