#pragma once

#include <QSizeF>
#include <QString>
#include <QWidget>

// The borderless panel every floating surface lives in: it never activates
// the app, has no background of its own, shows on every desktop by default
// and is drawn in the dark appearance. Information-only panels let the mouse
// through; interactive ones take clicks and can become the key window.
//
// The window-server properties (level, collection and animation behaviour)
// are recorded as given and mapped onto the nearest Qt window flags.
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

    // Window levels the surfaces use.
    static constexpr int mainMenuLevel = 24;
    static constexpr int popUpMenuLevel = 101;
    static constexpr int screenSaverLevel = 1000;

    // Style mask of a non-activating panel with no title bar or border.
    static constexpr quint32 nonactivatingPanelMask = 0x80;

    // Neither positions nor shows the panel.
    FloatingPanel(QSizeF size, int level, bool interactive, bool shadow,
                  quint32 behavior = defaultBehavior, int animation = animationNone);

    // Fills the panel with content (the panel takes ownership).
    void setContentView(QWidget* content);
    QWidget* contentView() const { return content_; }

    bool acceptsInput() const { return acceptsInput_; }
    bool canBecomeKeyWindow() const { return acceptsInput_; }
    int level() const { return level_; }
    bool hasShadow() const { return shadow_; }
    bool ignoresMouseEvents() const { return !interactive_; }
    quint32 collectionBehavior() const { return behavior_; }
    int animationBehavior() const { return animation_; }
    quint32 styleMask() const { return nonactivatingPanelMask; }
    bool isOpaque() const { return false; }
    bool hidesOnDeactivate() const { return false; }
    bool isReleasedWhenClosed() const { return false; }
    QString appearanceName() const;
    bool joinsAllSpaces() const { return behavior_ & canJoinAllSpaces; }

private:
    void applyWindowFlags();

    bool acceptsInput_ = false;
    int level_;
    bool interactive_;
    bool shadow_;
    quint32 behavior_;
    int animation_;
    QWidget* content_ = nullptr;
};
