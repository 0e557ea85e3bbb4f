#include "ui/BadgeOverlay.h"

#include "ui/BadgeBubble.h"

#include <QEvent>
#include <QWidget>

BadgeOverlay* BadgeOverlay::attach(QWidget* target, const std::optional<QString>& text)
{
    if (!target || !text)
        return nullptr;
    return new BadgeOverlay(target, *text);
}

BadgeOverlay::BadgeOverlay(QWidget* target, const QString& text)
    : QObject(target)
    , target_(target)
    , bubble_(new BadgeBubble(text, target->parentWidget() ? target->parentWidget() : target))
{
    target->installEventFilter(this);
    connect(target, &QObject::destroyed, bubble_.data(), &QObject::deleteLater);
    place();
}

bool BadgeOverlay::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == target_) {
        switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::Hide:
        case QEvent::ZOrderChange:
            place();
            break;
        default:
            break;
        }
    }
    return false;
}

void BadgeOverlay::place()
{
    if (!target_ || !bubble_)
        return;
    const bool sibling = bubble_->parentWidget() != target_;
    const QRect frame = sibling ? target_->geometry() : target_->rect();
    const QSize size = bubble_->size();
    bubble_->move(frame.right() + 1 + 4 - size.width(), frame.top() - 4);
    bubble_->setVisible(target_->isVisibleTo(bubble_->parentWidget()) || !sibling);
    bubble_->raise();
}
