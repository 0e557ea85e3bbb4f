#include "debug/DemoBarView.h"

#include "debug/MissionControlDemo.h"
#include "platform/MissionControlPicture.h"
#include "ui/Theme.h"

#include <QPainter>

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
    platform::MissionControlPicture::Scene picture;
    picture.backdrop = QRectF(0, 0, width(), height());
    picture.bar = flipped(scene_.bar);
    for (const QRectF& preview : scene_.previews)
        picture.previews.append(flipped(preview));
    for (const auto& [text, point] : scene_.labels)
        picture.captions.append({text, QPointF(point.x(), height() - point.y())});
    platform::MissionControlPicture::draw(painter, picture, Theme::font(captionSize), MissionControlDemo::wallpaper());
}

void DemoBarView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    draw(painter);
}
