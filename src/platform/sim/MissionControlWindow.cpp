#include "platform/sim/MissionControlWindow.h"

#include "platform/sim/MissionControl.h"
#include "platform/sim/World.h"

#include <QFont>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <cmath>

namespace platform::sim {

namespace {

std::optional<MissionControl::DisplayPicture> pictureOf(const QString& uuid)
{
    for (const auto& picture : MissionControl::shared().pictures()) {
        if (picture.uuid == uuid)
            return picture;
    }
    return std::nullopt;
}

} // namespace

MissionControlWindow::MissionControlWindow(const QString& displayUUID)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::BypassWindowManagerHint)
    , uuid_(displayUUID)
{
    setObjectName(QStringLiteral("missionControlWindow"));
    setWindowTitle(QStringLiteral("Mission Control"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
}

void MissionControlWindow::place()
{
    // Accessibility coordinates start at the primary's top-left, which the
    // window system may put elsewhere.
    if (const auto picture = pictureOf(uuid_))
        setGeometry(picture->screen.toAlignedRect().translated(World::shared().windowSystemOrigin()));
}

QPointF MissionControlWindow::global(const QPointF& local) const
{
    const auto picture = pictureOf(uuid_);
    return picture ? local + picture->screen.topLeft() : local;
}

void MissionControlWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const auto picture = pictureOf(uuid_);
    if (!picture) {
        painter.fillRect(rect(), MissionControlPicture::backdropColor());
        return;
    }
    // The picture lies in accessibility coordinates; this window covers its
    // display.
    painter.translate(-picture->screen.topLeft());
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(int(MissionControlPicture::captionSize));
    MissionControlPicture::draw(painter, picture->scene, font);
}

void MissionControlWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        MissionControl::shared().close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void MissionControlWindow::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    pressedAt_ = event->position();
    MissionControl::shared().mouseDown(global(event->position()));
}

void MissionControlWindow::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !pressedAt_)
        return;
    const QPointF delta = event->position() - *pressedAt_;
    pressedAt_.reset();
    const QPointF location = global(event->position());
    MissionControl& mc = MissionControl::shared();
    mc.mouseUp(location);
    if (std::hypot(delta.x(), delta.y()) <= clickSlop)
        mc.userClick(location);
}

} // namespace platform::sim
