#include "ui/FloatingPanel.h"

#include "platform/Screens.h"
#include "platform/WindowCompositing.h"
#include "ui/DarkAppearance.h"

#include <QGuiApplication>
#include <QPainter>
#include <QRegion>
#include <QVBoxLayout>
#include <QWindow>

#include <cmath>

FloatingPanel::FloatingPanel(const Options& options)
    : QWidget(nullptr)
    , level_(options.level)
    , interactive_(options.interactive)
    , shadow_(options.shadow)
    , behavior_(options.behavior)
    , animation_(options.animation)
    , alpha_(1.0, [this] { setWindowOpacity(alpha_.value()); })
{
    resize(int(std::ceil(options.size.width())), int(std::ceil(options.size.height())));
    applyWindowFlags();
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_MacAlwaysShowToolWindow);
    setAttribute(Qt::WA_DeleteOnClose, false);
    setAttribute(Qt::WA_TransparentForMouseEvents, !options.interactive);
    DarkAppearance::apply(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    acceptsInput_ = options.interactive;
}

void FloatingPanel::setCardShape(CardShape shape, const QColor& color)
{
    cardShape_ = std::move(shape);
    cardColor_ = color;
    cardColor_.setAlpha(255);
    if (!watchingCompositing_) {
        watchingCompositing_ = true;
        compositing_ = platform::NotificationCenter::defaultCenter().observe(
            platform::WindowCompositing::didChangeNotification, [this] { applyCardShape(); });
    }
    applyCardShape();
}

void FloatingPanel::cardShapeChanged()
{
    applyCardShape();
}

void FloatingPanel::applyCardShape()
{
    const bool clip = cardShape_ && !platform::WindowCompositing::isActive();
    if (clip) {
        clipPath_ = cardShape_(QSizeF(size()));
        if (clipPath_.isEmpty())
            clipPath_.addRect(rect());
        setMask(QRegion(clipPath_.toFillPolygon().toPolygon(), Qt::WindingFill));
    } else if (clipped_) {
        clipPath_ = QPainterPath();
        clearMask();
    }
    if (clip != clipped_ || clip)
        update();
    clipped_ = clip;
}

bool FloatingPanel::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::Resize:
        if (cardShape_)
            applyCardShape();
        break;
    case QEvent::Paint:
        if (clipped_) {
            // Under whatever the panel and its content draw.
            QPainter painter(this);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.fillPath(clipPath_, cardColor_);
        }
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

void FloatingPanel::setIgnoresMouseEvents(bool ignores)
{
    interactive_ = !ignores;
    setAttribute(Qt::WA_TransparentForMouseEvents, ignores);
    if (QWindow* window = windowHandle())
        window->setFlag(Qt::WindowTransparentForInput, ignores);
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

void FloatingPanel::orderFront()
{
    ++orderFrontCount_;
    show();
    // The offscreen platform keeps no stacking order to change.
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        raise();
}

void FloatingPanel::orderOut()
{
    hide();
}

void FloatingPanel::setAlphaValue(double alpha)
{
    alpha_.jumpTo(alpha);
}

void FloatingPanel::animateAlpha(double alpha, const TweenCurve& curve, std::function<void()> completion)
{
    alpha_.animateTo(alpha, curve, std::move(completion));
}

QRectF FloatingPanel::frame() const
{
    return platform::Screens::frameOfWindowGeometry(geometry());
}

void FloatingPanel::setFrame(const QRectF& frame)
{
    setGeometry(platform::Screens::windowGeometry(frame));
}
