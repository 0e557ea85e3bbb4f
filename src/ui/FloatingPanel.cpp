#include "ui/FloatingPanel.h"

#include "ui/DarkAppearance.h"

#include <QVBoxLayout>

#include <cmath>

FloatingPanel::FloatingPanel(QSizeF size, int level, bool interactive, bool shadow, quint32 behavior,
                             int animation)
    : QWidget(nullptr)
    , level_(level)
    , interactive_(interactive)
    , shadow_(shadow)
    , behavior_(behavior)
    , animation_(animation)
{
    resize(int(std::ceil(size.width())), int(std::ceil(size.height())));
    applyWindowFlags();
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_MacAlwaysShowToolWindow);
    setAttribute(Qt::WA_DeleteOnClose, false);
    setAttribute(Qt::WA_TransparentForMouseEvents, !interactive);
    DarkAppearance::apply(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    acceptsInput_ = interactive;
}

void FloatingPanel::applyWindowFlags()
{
    Qt::WindowFlags flags = Qt::Tool | Qt::FramelessWindowHint;
    if (level_ > 0)
        flags |= Qt::WindowStaysOnTopHint;
    if (!shadow_)
        flags |= Qt::NoDropShadowWindowHint;
    if (!interactive_)
        flags |= Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus;
    setWindowFlags(flags);
}

void FloatingPanel::setContentView(QWidget* content)
{
    if (content_) {
        layout()->removeWidget(content_);
        content_->deleteLater();
    }
    content_ = content;
    if (content_)
        layout()->addWidget(content_);
}

QString FloatingPanel::appearanceName() const
{
    return DarkAppearance::name();
}
