#pragma once

#include "platform/Application.h"
#include "platform/Menu.h"
#include "platform/Screens.h"

#include <QFont>
#include <QImage>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace platform {

// Window notifications, posted on the default centre for every window.
namespace WindowNotifications {
inline const QString didMove = QStringLiteral("NSWindowDidMoveNotification");
inline const QString didChangeOcclusionState = QStringLiteral("NSWindowDidChangeOcclusionStateNotification");
// The number of the window the notification being delivered is about; 0
// outside a delivery.
qint64 object();
} // namespace WindowNotifications

class StatusItem;

// The small window the menu bar gives each status item. Where the bar has no
// room for the item, its frame lies where no screen shows it.
class StatusBarWindow {
public:
    qint64 windowNumber() const;
    // Screen coordinates (origin bottom-left of the primary screen, y up).
    QRectF frame() const;
    // Whether any part of the window can be seen.
    bool occlusionVisible() const;
    // Whether the window is ordered in (its item is shown), even where no
    // screen shows it.
    bool isVisible() const;
    // The screen holding most of the window; none when it lies on no screen.
    std::optional<Screen> screen() const;
    // The occlusion state's raw bits: occlusionStateVisible when any part
    // can be seen, always with the system's own bit occlusionStateBase.
    static constexpr quint64 occlusionStateVisible = 1 << 1;
    static constexpr quint64 occlusionStateBase = 1 << 13;
    quint64 occlusionState() const;
    double alphaValue() const { return 1.0; }

private:
    friend class StatusItem;
    explicit StatusBarWindow(const StatusItem* item) : item_(item) {}
    const StatusItem* item_;
};

// The button inside a status item: an image before a one-line title.
class StatusBarButton {
public:
    enum class LineBreakMode { clipping, truncatingTail };
    enum class ImagePosition { noImage, imageOnly, imageLeading };
    // Which mouse-up events send the action.
    static constexpr quint32 leftMouseUpMask = 0x1;
    static constexpr quint32 rightMouseUpMask = 0x2;

    QString title() const { return title_; }
    void setTitle(const QString& title);
    // Null: no image.
    QImage image() const { return image_; }
    void setImage(const QImage& image);
    // The item as one square picture, for a system that can show a status
    // item only as an icon (the tray of a Linux desktop session); the bar
    // itself does not draw it. Null: there the button's image stands in, or
    // a drawing of the title without one.
    QImage iconForm() const { return iconForm_; }
    void setIconForm(const QImage& image);
    QString toolTip() const { return toolTip_; }
    void setToolTip(const QString& toolTip);
    QFont font() const { return font_; }
    void setFont(const QFont& font);
    LineBreakMode lineBreakMode() const { return lineBreakMode_; }
    void setLineBreakMode(LineBreakMode mode) { lineBreakMode_ = mode; }
    bool usesSingleLineMode() const { return singleLine_; }
    void setUsesSingleLineMode(bool single) { singleLine_ = single; }
    ImagePosition imagePosition() const { return imagePosition_; }
    void setImagePosition(ImagePosition position) { imagePosition_ = position; }
    bool imageHugsTitle() const { return imageHugsTitle_; }
    void setImageHugsTitle(bool hugs) { imageHugsTitle_ = hugs; }

    void setAction(std::function<void()> action) { action_ = std::move(action); }
    quint32 sendActionOn() const { return sendActionOn_; }
    void setSendActionOn(quint32 mask) { sendActionOn_ = mask; }

    // The width the image and the whole title need, in points.
    double intrinsicContentWidth() const;
    // That width and the bar's thickness.
    QSizeF intrinsicContentSize() const;
    // In its window's coordinates: the button fills the window.
    QRectF frame() const;
    // Where the image and the title are drawn within bounds (the image
    // centred on the bar's height, the title after it); empty without image
    // or title.
    QRectF imageRect(const QRectF& bounds) const;
    QRectF titleRect(const QRectF& bounds) const;
    // The button's coordinates have y up.
    bool isFlipped() const { return false; }
    bool isHidden() const { return false; }
    // The title as drawn: cut at its tail with an ellipsis when the item is
    // narrower than the title needs.
    QString displayedTitle() const;
    // The button's window; null once its item has left the bar.
    StatusBarWindow* window() const;
    // A left click: opens the item's menu when one is attached, else sends
    // the action.
    void performClick();
    // The image and title as the bar draws them, at scale pixels per point.
    QImage snapshot(double scale) const;
    // A click delivered by the bar: opens the attached menu, else sends the
    // action when the event type is one the button sends on.
    void click(const CurrentEvent& event);

private:
    friend class StatusItem;
    explicit StatusBarButton(StatusItem* item) : item_(item) {}
    void changed();

    StatusItem* item_;
    QString title_;
    QImage image_;
    QImage iconForm_;
    QString toolTip_;
    QFont font_;
    LineBreakMode lineBreakMode_ = LineBreakMode::clipping;
    bool singleLine_ = false;
    ImagePosition imagePosition_ = ImagePosition::imageLeading;
    bool imageHugsTitle_ = false;
    std::function<void()> action_;
    quint32 sendActionOn_ = leftMouseUpMask;
};

// One item of the system status bar, laid out right to left on the screen
// with the menu bar. Leaves the bar when destroyed.
class StatusItem {
public:
    static constexpr double variableLength = -1;
    static constexpr double thickness = 24;

    // Creates the item in the bar.
    explicit StatusItem(double length = variableLength);
    ~StatusItem();
    StatusItem(const StatusItem&) = delete;
    StatusItem& operator=(const StatusItem&) = delete;

    StatusBarButton* button() { return &button_; }
    const StatusBarButton* button() const { return &button_; }
    double length() const { return length_; }
    void setLength(double length);
    bool isVisible() const { return visible_; }
    void setVisible(bool visible);
    // Where the bar remembers the item's position: the user-defaults key
    // "NSStatusItem Preferred Position <name>".
    QString autosaveName() const { return autosaveName_; }
    void setAutosaveName(const QString& name);
    // A menu attached here opens on every click of the button instead of the
    // action. Not owned.
    Menu* menu() const { return menu_; }
    void setMenu(Menu* menu) { menu_ = menu; }

    // The width the item takes in the bar: its length, or the button's
    // intrinsic width for a variable length.
    double width() const;
    qint64 windowNumber() const { return windowNumber_; }

private:
    friend class StatusBarButton;
    friend class StatusBarWindow;

    StatusBarButton button_{this};
    StatusBarWindow window_{this};
    double length_;
    bool visible_ = true;
    QString autosaveName_;
    Menu* menu_ = nullptr;
    qint64 windowNumber_;
};

} // namespace platform
