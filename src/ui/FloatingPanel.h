#pragma once

#include "platform/NotificationCenter.h"
#include "ui/Tween.h"

#include <QColor>
#include <QPainterPath>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QWidget>

#include <functional>

// The borderless panel every floating surface lives in: it never activates
// the app, has no background of its own, shows on every desktop by default
// and is drawn in the dark appearance. Information-only panels let the mouse
// through; interactive ones take clicks and can become the key window.
//
// The window-server properties (level, collection and animation behaviour)
// are recorded as given and mapped onto the nearest Qt window flags.
//
// A panel that draws a card on a transparent window tells the panel the
// card's shape and colour (setCardShape). Where the window system cannot
// blend translucent windows (platform/WindowCompositing.h), the panel then
// clips its window to that shape (QWidget::setMask) and paints the card's
// colour, opaque, under its content, so no transparent pixel shows as black;
// it follows the compositing manager coming and going.
// Window levels, from the bottom up.
namespace WindowLevel {
inline constexpr int normal = 0;
inline constexpr int floating = 3;
inline constexpr int mainMenu = 24;
inline constexpr int status = 25;
// The notch label sits just above the menu bar's items.
inline constexpr int notchLabel = 26;
inline constexpr int popUpMenu = 101;
inline constexpr int screenSaver = 1000;
// Mission Control's overlay stays above everything it labels.
inline constexpr int missionControlOverlay = screenSaver + 1;
} // namespace WindowLevel

class FloatingPanel : public QWidget {
    Q_OBJECT
public:
    // Collection behaviour bits.
    static constexpr quint32 canJoinAllSpaces = 0x1;
    static constexpr quint32 moveToActiveSpace = 0x2;
    static constexpr quint32 transient = 0x8;
    static constexpr quint32 stationary = 0x10;
    static constexpr quint32 ignoresCycle = 0x40;
    static constexpr quint32 fullScreenAuxiliary = 0x100;
    // canJoinAllSpaces | stationary | ignoresCycle | fullScreenAuxiliary
    static constexpr quint32 defaultBehavior = 337;

    // Animation behaviours.
    static constexpr int animationNone = 2;
    static constexpr int animationUtilityWindow = 4;

    // Style mask of a non-activating panel with no title bar or border.
    static constexpr quint32 nonactivatingPanelMask = 0x80;

    // How the window server stacks and treats the panel.
    struct Options {
        QSizeF size;
        int level = WindowLevel::normal;
        // Interactive panels take clicks and can become the key window;
        // others let the mouse through.
        bool interactive = false;
        bool shadow = false;
        quint32 behavior = defaultBehavior;
        int animation = animationNone;
    };

    // Neither positions nor shows the panel.
    explicit FloatingPanel(const Options& options);

    // Fills the panel with content (the panel takes ownership).
    void setContentView(QWidget* content);
    QWidget* contentView() const { return content_; }

    bool acceptsInput() const { return acceptsInput_; }
    bool canBecomeKeyWindow() const { return acceptsInput_; }
    int level() const { return level_; }
    bool hasShadow() const { return shadow_; }
    bool ignoresMouseEvents() const { return !interactive_; }
    // Lets clicks through to what lies below, or takes them (the panel still
    // never becomes the key window).
    void setIgnoresMouseEvents(bool ignores);
    quint32 collectionBehavior() const { return behavior_; }
    int animationBehavior() const { return animation_; }
    quint32 styleMask() const { return nonactivatingPanelMask; }
    bool isOpaque() const { return false; }
    bool hidesOnDeactivate() const { return false; }
    bool isReleasedWhenClosed() const { return false; }
    QString appearanceName() const;
    bool joinsAllSpaces() const { return behavior_ & canJoinAllSpaces; }

    // --- ordering and visibility -------------------------------------------
    // Brings the panel in front of the app's other windows at its level and
    // shows it, whether or not the app is active (the app is never
    // activated for it).
    void orderFront();
    // Takes the panel off screen; it stays alive and can be shown again.
    void orderOut();
    // Whether the panel is on screen.
    bool isOnScreen() const { return isVisible(); }
    // How often the panel was ordered front (tests read the stacking).
    int orderFrontCount() const { return orderFrontCount_; }

    // The panel's frame in screen coordinates (origin bottom-left, y up).
    QRectF frame() const;
    void setFrame(const QRectF& frame);

    // --- without compositing -------------------------------------------------
    // The card's outline in the panel's coordinates for a panel size (an
    // empty path: the whole panel), and its fill colour (used opaque).
    using CardShape = std::function<QPainterPath(const QSizeF& size)>;
    void setCardShape(CardShape shape, const QColor& color);
    // The shape changed without the panel changing its size (new content).
    void cardShapeChanged();
    // Whether the window is clipped to the card now.
    bool isClippedToCard() const { return clipped_; }

    // --- alpha ----------------------------------------------------------------
    // The whole panel's opacity, 0...1; exact between frames of an animation.
    double alphaValue() const { return alpha_.value(); }
    // Sets it at once, stopping an animation.
    void setAlphaValue(double alpha);
    // Animates it on the scheduler's clock (tests advance the manual clock);
    // completion runs when it arrives, not when another change takes over.
    void animateAlpha(double alpha, const TweenCurve& curve, std::function<void()> completion = {});

protected:
    bool event(QEvent* event) override;

private:
    void applyWindowFlags();
    void applyCardShape();

    bool acceptsInput_ = false;
    int level_;
    bool interactive_;
    bool shadow_;
    quint32 behavior_;
    int animation_;
    QWidget* content_ = nullptr;
    int orderFrontCount_ = 0;
    Tween alpha_;
    CardShape cardShape_;
    QColor cardColor_;
    QPainterPath clipPath_;
    bool clipped_ = false;
    bool watchingCompositing_ = false;
    platform::NotificationCenter::Subscription compositing_;
};
