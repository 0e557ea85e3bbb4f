#include "ui/HintedScrollView.h"

#include "ui/Theme.h"
#include "ui/ViewEnvironment.h"

#include <QEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

// The bottom fade, drawn over the scroll view; clicks go through it.
class HintedScrollView::Fade : public QWidget {
public:
    explicit Fade(HintedScrollView* owner)
        : QWidget(owner)
        , owner_(owner)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        const double opacity = owner_->fadeOpacity();
        if (opacity <= 0)
            return;
        QPainter painter(this);
        painter.setOpacity(opacity);
        QLinearGradient gradient(QPointF(0, 0), QPointF(0, height()));
        QColor clear = Theme::canvas();
        clear.setAlphaF(0);
        gradient.setColorAt(0, clear);
        gradient.setColorAt(1, Theme::canvas());
        painter.fillRect(rect(), gradient);
    }

private:
    HintedScrollView* owner_;
};

HintedScrollView::HintedScrollView(QWidget* content, QWidget* parent)
    : QWidget(parent)
    , content_(content ? content : new QWidget)
    , fade_(0, [this] {
        if (fadeView_)
            fadeView_->update();
    })
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    content_->installEventFilter(this);
    becomeScrolling();
}

HintedScrollView::~HintedScrollView() = default;

bool HintedScrollView::isFlat() const
{
    return scroll_.isNull();
}

QScrollArea* HintedScrollView::scrollArea() const
{
    return scroll_.data();
}

bool HintedScrollView::event(QEvent* event)
{
    if (event->type() == ViewEnvironment::changeEvent() || event->type() == QEvent::ParentChange
        || event->type() == QEvent::Show)
        applyEnvironment();
    return QWidget::event(event);
}

void HintedScrollView::applyEnvironment()
{
    const bool flat = ViewEnvironment::rendersFlat(this);
    if (flat == isFlat())
        return;
    if (flat)
        becomeFlat();
    else
        becomeScrolling();
}

void HintedScrollView::becomeFlat()
{
    scroll_->takeWidget();
    delete scroll_.data();
    delete fadeView_.data();
    moreBelow_ = false;
    fade_.jumpTo(0);
    // Outside the layout: the content keeps its natural height from the top
    // and is cut at the bottom, as a scroll view at its top would show it.
    content_->setParent(this);
    content_->show();
    placeFlatContent();
    updateGeometry();
}

void HintedScrollView::placeFlatContent()
{
    if (!isFlat() || !content_)
        return;
    content_->setGeometry(0, 0, width(), std::max(naturalHeight(width()), height()));
}

int HintedScrollView::naturalHeight(int width) const
{
    const int hint = content_->hasHeightForWidth() ? content_->heightForWidth(width) : content_->sizeHint().height();
    return std::clamp(hint, content_->minimumHeight(), std::max(content_->minimumHeight(), content_->maximumHeight()));
}

QSize HintedScrollView::sizeHint() const
{
    if (isFlat() && content_) {
        const int width = content_->sizeHint().expandedTo(content_->minimumSize()).width();
        return QSize(width, naturalHeight(width));
    }
    return QWidget::sizeHint();
}

void HintedScrollView::becomeScrolling()
{
    layout()->removeWidget(content_);
    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    // The controls inside are the Tab stops; the area itself would show no
    // ring. Tabbing to a control still scrolls it into view.
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scroll->setAutoFillBackground(false);
    scroll->viewport()->setAutoFillBackground(false);
    scroll->setWidget(content_);
    // The scroll area gives its content a background; the page has its own.
    content_->setAutoFillBackground(false);
    layout()->addWidget(scroll);
    scroll_ = scroll;
    fadeView_ = new Fade(this);
    placeFade();
    fadeView_->show();
    fadeView_->raise();
    updateGeometry();
    measure();
}

bool HintedScrollView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == content_ && (event->type() == QEvent::Move || event->type() == QEvent::Resize))
        measure();
    return false;
}

void HintedScrollView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeFlatContent();
    placeFade();
    measure();
}

void HintedScrollView::placeFade()
{
    if (!fadeView_)
        return;
    const int fadeTop = height() - int(fadeHeight);
    fadeView_->setGeometry(0, fadeTop, width(), int(fadeHeight));
    fadeView_->raise();
}

void HintedScrollView::measure()
{
    if (isFlat() || !content_)
        return;
    // The content's bottom edge, measured from the top of the visible area.
    const double contentBottom = content_->y() + content_->height();
    const bool more = height() + tolerance < contentBottom;
    if (more == moreBelow_)
        return;
    moreBelow_ = more;
    fade_.animateTo(more ? 1 : 0, fadeDuration);
}
