#pragma once

#include "engine/Desktop.h"
#include "store/SettingEnums.h"
#include "ui/Tween.h"

#include <QObject>
#include <QString>

#include <optional>

// What one switch-tag panel shows: a desktop's tag or a toast (never both),
// the size step and number line copied from the settings, and whether the
// card is in its shown look. The card's shown amount (0 hidden, 1 shown; a
// spring may pass 1 briefly) follows visible, animated or at once.
class HUDState final : public QObject {
    Q_OBJECT

public:
    struct Toast {
        QString text;
        // Symbol name, e.g. "link".
        QString symbol;
        bool operator==(const Toast&) const = default;
    };

    HUDState();

    const std::optional<Desktop>& desktop() const { return desktop_; }
    const std::optional<Toast>& toast() const { return toast_; }
    bool visible() const { return visible_; }
    HUDSize size() const { return size_; }
    bool showNumber() const { return showNumber_; }
    double shownAmount() const { return shown_.value(); }

    void setDesktop(std::optional<Desktop> desktop);
    void setToast(std::optional<Toast> toast);
    void setSize(HUDSize size);
    void setShowNumber(bool show);
    // With an animation the shown amount moves along it; without, it jumps.
    void setVisible(bool visible, std::optional<TweenCurve> animation = std::nullopt);

signals:
    // After any change, animation frames included.
    void changed();

private:
    std::optional<Desktop> desktop_;
    std::optional<Toast> toast_;
    bool visible_ = false;
    HUDSize size_ = HUDSize::regular;
    bool showNumber_ = true;
    Tween shown_;
};
