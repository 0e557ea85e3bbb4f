#pragma once

#include "engine/Desktop.h"

#include <QList>
#include <QWidget>

#include <functional>
#include <optional>

class StripTile;

// The row of small coloured tiles atop the popover's list: one per desktop
// of every display, sharing the width equally; the current desktop's tile is
// taller and outlined. A click selects the tile's desktop.
class SpaceStripView : public QWidget {
    Q_OBJECT
public:
    static constexpr double spacing = 5;
    static constexpr double currentHeight = 26;
    static constexpr double otherHeight = 22;
    static constexpr double cornerRadius = 7;
    static constexpr double glyphSize = 12;
    static constexpr double hoverScale = 1.06;
    static constexpr double hoverDuration = 0.12;

    SpaceStripView(const QList<Desktop>& desktops, const std::optional<Desktop>& current,
                   std::function<void(const Desktop&)> onSelect, QWidget* parent = nullptr);
    ~SpaceStripView() override;

    // Reuses the tiles it has.
    void setDesktops(const QList<Desktop>& desktops, const std::optional<Desktop>& current);
    qsizetype tileCount() const { return tiles_.size(); }
    // Where a tile lies, unscaled, in strip coordinates.
    QRectF tileRect(qsizetype index) const;
    QWidget* tile(qsizetype index) const;
    double tileOpacity(qsizetype index) const;
    double tileScale(qsizetype index) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void place();

    QList<StripTile*> tiles_;
    std::function<void(const Desktop&)> onSelect_;
};
