#include "menubar/MenuPopoverController.h"

#include "engine/SpaceEngine.h"
#include "menubar/MenuPopoverView.h"
#include "platform/StatusBar.h"
#include "platform/Workspace.h"
#include "store/Timers.h"
#include "ui/AppCommands.h"
#include "ui/ClickThroughHostingView.h"
#include "ui/FirstMouseHostingController.h"

#include <QPointer>

MenuPopoverController::MenuPopoverController(AppCommands& commands)
    : commands_(commands)
    , engine_(SpaceEngine::shared())
{
    popover_.setBehavior(platform::Popover::Behavior::transient);
    popover_.setAnimates(true);
    popover_.setAppearanceName(QStringLiteral("NSAppearanceNameDarkAqua"));
    popover_.setOnDidClose([this] { popoverDidClose(); });
}

MenuPopoverController::~MenuPopoverController()
{
    popover_.setOnDidClose({});
    popover_.setContentView(nullptr);
}

void MenuPopoverController::toggle(const QRectF& anchor)
{
    if (popover_.isShown())
        popover_.performClose();
    else
        show(anchor, PopoverPage::list());
}

void MenuPopoverController::show(const QRectF& anchor, const PopoverPage& page)
{
    model_.frontApp = platform::Workspace::frontmostApplication();
    model_.setPage(page);
    engine_.refresh(false);
    if (!host_) {
        view_ = new MenuPopoverView(model_);
        if (terminate_)
            view_->setTerminate(terminate_);
        host_ = std::make_unique<FirstMouseHostingController>(AppEnvironment::withAppEnvironment(view_, commands_));
    }
    view_->reloadIfNeeded();
    popover_.setContentView(host_->view());
    popover_.show(anchor, platform::Popover::Edge::minY);
    platform::Workspace::activate(platform::Workspace::currentProcessIdentifier());
    runAfter(0, [weak = QPointer<MenuPopoverController>(this)] {
        if (weak)
            weak->engine_.appsByDesktop(true);
    });
}

void MenuPopoverController::close()
{
    popover_.performClose();
}

void MenuPopoverController::closeWithoutAnimation()
{
    popover_.setAnimates(false);
    popover_.performClose();
    popover_.setAnimates(true);
}

void MenuPopoverController::popoverDidClose()
{
    model_.setPage(PopoverPage::list());
}

QRectF MenuPopoverController::anchorOf(const platform::StatusBarButton& button)
{
    return button.window() ? button.window()->frame() : QRectF();
}

QRectF MenuPopoverController::anchorOf(const QWidget* view)
{
    return platform::Popover::screenRect(view);
}

void MenuPopoverController::setTerminate(std::function<void()> terminate)
{
    terminate_ = std::move(terminate);
    if (view_)
        view_->setTerminate(terminate_);
}
