#pragma once

#include "engine/Desktop.h"
#include "store/SettingEnums.h"
#include "surfaces/NotchLabelView.h"
#include "ui/FloatingPanel.h"

#include <QRectF>
#include <QString>

#include <optional>

// The panel of one notch label: it covers the outer 40 points of the notch
// and grows outward by the label's width. Clicks pass through unless it is a
// door (standing in for the menu-bar tile), which takes them and has a
// tooltip.
class NotchPanel : public FloatingPanel {
    Q_OBJECT
public:
    explicit NotchPanel(bool hidden);

    // Measures the label, frames the panel (only when the frame changed) and
    // orders it front.
    void show(const QRectF& notch, const Desktop& desktop, NotchSide side, NotchContent content);

    using FloatingPanel::frame;
    static QRectF frame(const QRectF& notch, NotchSide side, double labelWidth, double overlap);

    const NotchState& state() const { return host_->label()->state(); }
    NotchLabelView* host() const { return host_; }
    std::optional<quint64> shownDesktopID() const { return shownDesktopID_; }

    bool isDoor() const { return isDoor_; }
    void setDoor(bool door);

    NotchLabelView::ClickHandler onClick() const { return host_->onClick; }
    void setOnClick(NotchLabelView::ClickHandler handler) { host_->onClick = std::move(handler); }

    // The door's tooltip for the shown desktop; empty for a non-door.
    QString toolTipText() const;
    void updateToolTip();

private:
    NotchLabelView* host_;
    std::optional<quint64> shownDesktopID_;
    bool isDoor_ = false;
};
