#pragma once

#include "platform/Screens.h"
#include "surfaces/HUDState.h"
#include "ui/FloatingPanel.h"

class HUDContent;
class Settings;

// One switch-tag panel: a click-through panel above everything, on every
// desktop, holding one card. present() sizes and places it on a screen,
// springs the card in, and after the duration eases it out and takes the
// panel off screen. A newer presentation supersedes the timed steps of an
// older one (the generation moved on), so quick switches never flicker.
class HUDPanel final : public FloatingPanel {
    Q_OBJECT

public:
    // Room around the measured card.
    static constexpr double padding = 80;
    static constexpr double topInset = 24;
    static constexpr double bottomInset = 48;
    static constexpr double fadeOutSeconds = 0.18;
    static constexpr double orderOutDelay = 0.24;

    explicit HUDPanel(Settings& settings);

    HUDState& state() { return state_; }
    const HUDState& state() const { return state_; }
    HUDContent& content() const { return *host_; }
    qint64 generation() const { return generation_; }

    void present(const platform::Screen& screen, double duration);
    // Takes the card away at once and cancels the timed steps.
    void hideNow();

    static TweenCurve showCurve() { return TweenCurve::spring(0.3, 0.78); }

private:
    Settings& settings_;
    HUDState state_;
    qint64 generation_ = 0;
    HUDContent* host_;
};
