#include "ui/FloatingPanel.h"

#include "platform/Screens.h"
#include "ui/DarkAppearance.h"

#include <QGuiApplication>
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
