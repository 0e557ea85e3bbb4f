#pragma once

#include "platform/Screens.h"
#include "surfaces/HoverStripItem.h"
#include "surfaces/HoverStripView.h"
#include "ui/ClickThroughHostingView.h"
#include "ui/FloatingPanel.h"

#include <QPointer>

class SpaceEngine;

// The hover strip's window: a floating panel at the pop-up menu level that
// takes clicks (the first one too, while the app is inactive), centred on a
// screen just below its menu bar, as wide as the strip but at most the
// screen's width less 40 points. The strip is built afresh on every layout,
// so it shows the desktops and apps of that moment; a strip wider than the
// panel keeps its size, centred and cut at both ends.
class HoverPanel : public FloatingPanel {
    Q_OBJECT
public:
    static constexpr double screenInset = 40;
    static constexpr double gapBelowMenuBar = 6;

    HoverPanel(SpaceEngine& engine, HoverStripItem::SelectHandler onSelect, HoverStripItem::OpenHandler onOpen);

    void layout(const platform::Screen& screen);
    HoverStripView* strip() const { return strip_; }
    ClickThroughHostingView* host() const { return host_; }

private:
    SpaceEngine& engine_;
    HoverStripItem::SelectHandler onSelect_;
    HoverStripItem::OpenHandler onOpen_;
    QPointer<ClickThroughHostingView> host_;
    QPointer<HoverStripView> strip_;
    // Where the strip lies in the panel (it may reach past both ends).
    QRectF stripRect_;
};
