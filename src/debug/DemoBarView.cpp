#include "debug/DemoBarView.h"

#include "debug/MissionControlDemo.h"
#include "ui/Theme.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

DemoBarView::DemoBarView(const Scene& scene, const QRectF& frame, QWidget* parent)
    : QWidget(parent)
    , scene_(scene)
{
    setObjectName(QStringLiteral("demoBar"));
    setGeometry(frame.toAlignedRect());
}

QRectF DemoBarView::flipped(const QRectF& rect) const
{
    return QRectF(rect.x(), height() - rect.y() - rect.height(), rect.width(), rect.height());
}

void DemoBarView::draw(QPainter& painter) const
{
    painter.save();
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform | QPainter::TextAntialiasing);
    painter.fillRect(QRectF(0, 0, width(), height()), Theme::demoBackdrop());
    painter.fillRect(flipped(scene_.bar), Theme::demoBar());

    const std::optional<QImage> wallpaper = MissionControlDemo::wallpaper();
    for (const QRectF& preview : scene_.previews) {
        const QRectF box = flipped(preview);
        QPainterPath path;
        path.addRoundedRect(box, previewRadius, previewRadius);
        if (wallpaper) {
            // Cover the preview, centred; the rounded clip cuts what sticks out.
            const double scale = std::max(box.width() / wallpaper->width(), box.height() / wallpaper->height());
            const QSizeF drawn(wallpaper->width() * scale, wallpaper->height() * scale);
            painter.save();
            painter.setClipPath(path);
            painter.drawImage(QRectF(box.center() - QPointF(drawn.width() / 2, drawn.height() / 2), drawn), *wallpaper);
            painter.restore();
        } else {
            QLinearGradient gradient(box.topLeft(), box.bottomLeft());
            gradient.setStops(Theme::demoPreview());
            painter.fillPath(path, gradient);
        }
    }

    const QFont font = Theme::font(captionSize);
    const QFontMetricsF metrics(font);
    painter.setFont(font);
    painter.setPen(Theme::demoCaption());
    for (const auto& [text, point] : scene_.labels) {
        const QRectF measured = metrics.boundingRect(text);
        const QPointF centre(point.x(), height() - point.y());
        painter.drawText(QRectF(centre.x() - measured.width() / 2, centre.y() - measured.height() / 2, measured.width(),
                                measured.height()),
                         Qt::AlignCenter, text);
    }
    painter.restore();
}

void DemoBarView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    draw(painter);
}
