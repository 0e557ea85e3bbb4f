#include "surfaces/HoverPanel.h"

#include "platform/WindowFrame.h"
#include "surfaces/HoverStripView.h"
#include "ui/AppCommands.h"
#include "ui/ClickThroughHostingView.h"
#include "ui/Theme.h"

#include <QPainterPath>

#include <algorithm>

namespace {
constexpr double initialWidth = 400;
constexpr double initialHeight = 96;
} // namespace

HoverPanel::HoverPanel(SpaceEngine& engine, HoverStripItem::SelectHandler onSelect,
                       HoverStripItem::OpenHandler onOpen)
    : FloatingPanel({.size = QSizeF(initialWidth, initialHeight),
                     .level = WindowLevel::popUpMenu,
                     .interactive = true,
                     .shadow = true,
                     .behavior = FloatingPanel::defaultBehavior,
                     .animation = FloatingPanel::animationNone})
    , engine_(engine)
    , onSelect_(std::move(onSelect))
    , onOpen_(std::move(onOpen))
{
    setObjectName(QStringLiteral("hoverPanel"));
    setCardShape(
        [this](const QSizeF& size) {
            QPainterPath strip;
            strip.addRoundedRect(stripRect_, HoverStripView::cornerRadius, HoverStripView::cornerRadius);
            QPainterPath panel;
            panel.addRect(QRectF(QPointF(0, 0), size));
            return strip.intersected(panel);
        },
        Theme::canvas());
}

void HoverPanel::layout(const platform::Screen& screen)
{
    auto* root = new QWidget;
    auto* strip = new HoverStripView(engine_, onSelect_, onOpen_, root);
    AppEnvironment::withAppEnvironment(root, InertCommands::shared());
    const QSize ideal = strip->sizeHint();
    auto* host = new ClickThroughHostingView(root);
    setContentView(host);
    host_ = host;
    strip_ = strip;

    const double w = std::min(double(ideal.width()), screen.frame.width() - screenInset);
    const double h = ideal.height();
    const double top = screen.visibleFrame.y() + screen.visibleFrame.height();
    platform::WindowFrame::setFrame(this, QRectF(screen.frame.center().x() - w / 2, top - h - gapBelowMenuBar, w, h));
    host->setGeometry(0, 0, int(w), int(h));
    // A strip wider than the panel keeps its size, centred.
    strip->setGeometry(int((w - ideal.width()) / 2), 0, ideal.width(), ideal.height());
    stripRect_ = QRectF(strip->geometry());
    cardShapeChanged();
}
