#pragma once

#include "ui/Transition.h"

#include <QAbstractButton>

// The kit's main and secondary action button. Prominent: the tint palette's
// gradient with its on-tint text and a light border; plain: the elevated
// surface with the theme's text and stroke (the palette plays no part).
// Pressing dims it to 0.75 and shrinks it to 0.98, easing out over 0.12 s.
class AccentButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit AccentButton(const QString& text, bool prominent = true, QWidget* parent = nullptr);

    bool isProminent() const { return prominent_; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool prominent_;
    Transition press_;
};
