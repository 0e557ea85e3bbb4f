#pragma once

#include <QList>
#include <QWidget>

class HeroTile;
class SpaceEngine;

// One HeroTile per desktop of every display, in the engine's order, 8 points
// apart, redrawn whenever the engine announces a change. A tile keeps its
// state (hover, open editor) while its desktop stays in the list. The strip
// neither scrolls nor wraps: tiles that find no room past the trailing edge
// are not shown.
class HeroStrip : public QWidget {
    Q_OBJECT
public:
    static constexpr int spacing = 8;

    explicit HeroStrip(SpaceEngine& engine, QWidget* parent = nullptr);

    // Every tile in order, shown or not.
    const QList<HeroTile*>& tiles() const { return tiles_; }
    void reload();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void place();

    SpaceEngine& engine_;
    QList<HeroTile*> tiles_;
};
