#pragma once

#include <QAbstractButton>

class Accessibility;

// The Accessibility state in the settings header: a mint dot and "Mission
// Control names on" while the app is trusted; an amber dot, the request and
// an arrow while it is not, and then a click opens the system's
// Accessibility settings. Redraws when the permission changes.
class AccessibilityBadge : public QAbstractButton {
    Q_OBJECT
public:
    explicit AccessibilityBadge(Accessibility& access, QWidget* parent = nullptr);

    bool trusted() const;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void activate();

    Accessibility& access_;
};
