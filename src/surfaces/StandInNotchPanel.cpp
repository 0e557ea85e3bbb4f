#include "surfaces/StandInNotchPanel.h"

#include "surfaces/NotchGeometry.h"
#include "ui/Theme.h"

#include <QPainter>
#include <QPainterPath>

namespace {

// Square top corners, rounded bottom ones.
QPainterPath notchShape(const QRectF& r)
{
    const double radius = std::min({NotchGeometry::cornerRadius, r.width() / 2, r.height() / 2});
    QPainterPath path;
    path.moveTo(r.topLeft());
    path.lineTo(r.topRight());
    path.lineTo(r.right(), r.bottom() - radius);
    path.quadTo(r.bottomRight(), QPointF(r.right() - radius, r.bottom()));
    path.lineTo(r.left() + radius, r.bottom());
    path.quadTo(r.bottomLeft(), QPointF(r.left(), r.bottom() - radius));
    path.closeSubpath();
    return path;
}

class DrawnNotch : public QWidget {
public:
    DrawnNotch() { setAttribute(Qt::WA_TranslucentBackground); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillPath(notchShape(rect()), Theme::notchFill());
    }
};

} // namespace

StandInNotchPanel::StandInNotchPanel(const QRectF& frame)
    : FloatingPanel({.size = frame.size(), .level = WindowLevel::notchLabel, .interactive = false, .shadow = false})
{
    setObjectName(QStringLiteral("standInNotchPanel"));
    auto* notch = new DrawnNotch;
    notch->setObjectName(QStringLiteral("drawnNotch"));
    setContentView(notch);
    setCardShape([](const QSizeF& size) { return notchShape(QRectF(QPointF(0, 0), size)); }, Theme::notchFill());
    setFrame(frame);
}
