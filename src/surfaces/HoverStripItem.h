#pragma once

#include "engine/Desktop.h"
#include "engine/SpaceApp.h"
#include "ui/Transition.h"

#include <QList>
#include <QWidget>

#include <functional>

class HoverStripAppIcon;
class SpaceGlyph;

// One desktop on the hover strip: its tile (colour, icon or number, up to
// five app icons in the bottom trailing corner) with its name below. The
// current desktop has a white border; another desktop whose apps carry a Dock
// badge gets a red border and a red glow. The tile grows to 1.05 while the
// pointer rests on the item; a click selects the desktop.
class HoverStripItem : public QWidget {
    Q_OBJECT
public:
    using SelectHandler = std::function<void(const Desktop&)>;
    using OpenHandler = std::function<void(const SpaceApp&, const Desktop&)>;

    static constexpr double tileWidth = 58;
    static constexpr double tileHeight = 38;
    static constexpr double nameWidth = 64;
    static constexpr int appLimit = 5;

    HoverStripItem(const Desktop& desktop, const QList<SpaceApp>& apps, SelectHandler onSelect, OpenHandler onOpen,
                   QWidget* parent = nullptr);

    const Desktop& desktop() const { return desktop_; }
    QList<HoverStripAppIcon*> appIcons() const { return icons_; }
    QRectF tileRect() const;
    bool isHovering() const { return hovering_; }
    double tileScale() const { return scale_.value(); }
    bool hasBadgedApp() const;
    // The tile's border colour; none when it has no border.
    std::optional<QColor> borderColor() const;
    bool hasGlow() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QFont nameFont() const;
    double nameHeight() const;

    Desktop desktop_;
    QList<SpaceApp> apps_;
    SelectHandler onSelect_;
    SpaceGlyph* glyph_ = nullptr;
    QList<HoverStripAppIcon*> icons_;
    Transition scale_;
    bool hovering_ = false;
    bool pressed_ = false;
};
