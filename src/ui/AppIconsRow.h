#pragma once

#include "engine/SpaceApp.h"

#include <QList>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class Transition;

// The icons of the apps on a desktop in a row, each with its Dock badge,
// followed by "+N" for the apps beyond the limit when asked. With an open
// handler every icon is a button that grows while the pointer rests on it;
// without one the icons are pictures.
//
// The first `limit` apps are taken before apps without an icon are skipped,
// so those count toward the limit and the overflow but show nothing.
//
// A widget cannot draw outside its bounds, so the row keeps overhang() points
// free on every side for the badges (4 points outside their icons) and the
// grown icons.
class AppIconsRow : public QWidget {
    Q_OBJECT
public:
    using OpenHandler = std::function<void(const SpaceApp&)>;

    AppIconsRow(const QList<SpaceApp>& apps, double size, bool showsOverflow, OpenHandler onOpen = {},
                int limit = 7, QWidget* parent = nullptr);
    ~AppIconsRow() override;

    // The apps that show an icon, in order.
    QList<SpaceApp> shownApps() const { return shown_; }
    // "+N", or empty when nothing overflows or overflow is not shown.
    QString overflowText() const { return overflowText_; }
    int overhang() const;
    // Where each shown app's icon sits, unscaled, in widget coordinates.
    QRectF itemRect(qsizetype index) const;
    // The tooltip of a shown app's icon.
    QString helpText(qsizetype index) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool event(QEvent* event) override;

private:
    qsizetype itemAt(QPointF point) const;
    void setHovered(qsizetype index);
    double contentHeight() const;
    double overflowWidth() const;
    void paintItem(QPainter& painter, qsizetype index);

    QList<SpaceApp> shown_;
    double size_;
    QString overflowText_;
    OpenHandler onOpen_;
    std::vector<std::unique_ptr<Transition>> hover_;
    qsizetype hovered_ = -1;
    qsizetype pressed_ = -1;
};
