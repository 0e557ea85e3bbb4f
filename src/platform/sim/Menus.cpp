#include "platform/Menu.h"

#include "platform/Popover.h"
#include "platform/Scheduler.h"
#include "platform/sim/StatusBarState.h"

#include <QAction>
#include <QCursor>
#include <QIcon>
#include <QKeySequence>
#include <QMenu>
#include <QPixmap>
#include <QPointer>

namespace platform {

using sim::StatusBarState;

// On a real desktop session the open menu is also shown as a Qt menu at the
// pointer; its choices and its closing come back through choose and dismiss.
struct Menu::Presentation {
    QPointer<QMenu> menu;
};

namespace {

QString shortcutText(const MenuItem& item)
{
    QString text;
    if (item.keyEquivalentModifierMask & (1ull << 18))
        text += QStringLiteral("Ctrl+");
    if (item.keyEquivalentModifierMask & (1ull << 19))
        text += QStringLiteral("Alt+");
    if (item.keyEquivalentModifierMask & (1ull << 17))
        text += QStringLiteral("Shift+");
    if (item.keyEquivalentModifierMask & MenuItem::commandMask)
        text += QStringLiteral("Meta+");
    return text + item.keyEquivalent.toUpper();
}

} // namespace

Menu::Menu() = default;

Menu::~Menu()
{
    auto& state = StatusBarState::shared();
    if (state.openMenu == this)
        state.openMenu = nullptr;
    if (presentation_) {
        delete presentation_->menu;
        delete presentation_;
    }
}

void Menu::addItem(const MenuItem& item)
{
    items_.append(item);
}

void Menu::removeAllItems()
{
    items_.clear();
}

void Menu::popUp(QPointF screenPoint)
{
    if (open_)
        return;
    open_ = true;
    openedAt_ = screenPoint;
    StatusBarState::shared().openMenu = this;
    if (!StatusBarState::realSession())
        return;
    if (!presentation_)
        presentation_ = new Presentation;
    auto* shown = new QMenu;
    shown->setAttribute(Qt::WA_DeleteOnClose);
    for (qsizetype i = 0; i < items_.size(); ++i) {
        const MenuItem& item = items_[i];
        if (item.isSeparator) {
            shown->addSeparator();
            continue;
        }
        QAction* action = shown->addAction(QIcon(QPixmap::fromImage(item.image)), item.title);
        action->setEnabled(item.enabled);
        action->setCheckable(item.state == MenuItem::State::on);
        action->setChecked(item.state == MenuItem::State::on);
        if (!item.keyEquivalent.isEmpty())
            action->setShortcut(QKeySequence(shortcutText(item)));
        QObject::connect(action, &QAction::triggered, shown, [this, i] {
            Scheduler::current().schedule(0, [this, i] {
                if (open_)
                    choose(i);
            });
        });
    }
    QObject::connect(shown, &QMenu::aboutToHide, shown, [this] {
        // After a triggered action, which is queued first.
        Scheduler::current().schedule(0.05, [this] {
            if (open_)
                dismiss();
        });
    });
    presentation_->menu = shown;
    shown->popup(QCursor::pos());
}

void Menu::popUp(const QWidget* view, QPointF pointInView)
{
    const QRectF bounds = Popover::screenRect(view);
    popUp(QPointF(bounds.left() + pointInView.x(), bounds.bottom() - pointInView.y()));
}

void Menu::cancelTracking()
{
    if (open_)
        dismiss();
}

void Menu::choose(qsizetype index)
{
    if (!open_ || index < 0 || index >= items_.size())
        return;
    const MenuItem item = items_[index];
    didClose();
    if (item.enabled && !item.isSeparator && item.action)
        item.action(item);
}

void Menu::dismiss()
{
    if (open_)
        didClose();
}

void Menu::didClose()
{
    open_ = false;
    auto& state = StatusBarState::shared();
    if (state.openMenu == this)
        state.openMenu = nullptr;
    if (presentation_ && presentation_->menu)
        presentation_->menu->close();
    if (onDidClose_) {
        const auto callback = onDidClose_;
        callback();
    }
}

} // namespace platform
