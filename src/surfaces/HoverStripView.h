#pragma once

#include "surfaces/HoverStripItem.h"

#include <QList>
#include <QWidget>

class QHBoxLayout;
class SpaceEngine;

// The hover strip's content: every desktop of every display, in the engine's
// order, as a HoverStripItem on a dark rounded card. It takes its ideal size
// and rebuilds its items whenever the engine's lists change.
class HoverStripView : public QWidget {
    Q_OBJECT
public:
    static constexpr double itemSpacing = 6;
    static constexpr double paddingX = 10;
    static constexpr double paddingY = 9;
    static constexpr double cornerRadius = 16;

    HoverStripView(SpaceEngine& engine, HoverStripItem::SelectHandler onSelect, HoverStripItem::OpenHandler onOpen,
                   QWidget* parent = nullptr);

    QList<HoverStripItem*> items() const { return items_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void rebuild();

    SpaceEngine& engine_;
    HoverStripItem::SelectHandler onSelect_;
    HoverStripItem::OpenHandler onOpen_;
    QHBoxLayout* layout_ = nullptr;
    QList<HoverStripItem*> items_;
};
