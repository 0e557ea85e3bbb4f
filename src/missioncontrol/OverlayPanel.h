#pragma once

#include "platform/NotificationCenter.h"
#include "platform/Screens.h"
#include "ui/FloatingPanel.h"

#include <QRectF>

class PillsView;
class Settings;

// The transparent, click-through panel that carries a PillsView over Mission
// Control, one per display, above the screen saver level. Every click goes to
// Mission Control underneath; the panel never becomes key. Without a
// compositing manager its window is cut to the pills' shapes as they move: a
// transparent window then shows black, and this one covers its whole screen.
// No window manager manages it, so on a desktop session it stays above
// Mission Control's own windows.
class OverlayPanel final : public FloatingPanel {
    Q_OBJECT

public:
    explicit OverlayPanel(Settings& settings);

    PillsView& pills() const { return *pills_; }

    // The frame in screen coordinates (origin bottom-left, y up).
    QRectF frame() const { return frame_; }
    // Covers the screen and draws at its density.
    void setFrame(const platform::Screen& screen);
    void orderFront();
    void orderOut();

private:
    void followPills();

    PillsView* pills_;
    QRectF frame_;
    platform::NotificationCenter::Subscription compositing_;
};
