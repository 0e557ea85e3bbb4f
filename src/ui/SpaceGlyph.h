#pragma once

#include "engine/Desktop.h"

#include <QWidget>

// A desktop's bare icon in white, or, when it has none that can be shown,
// its number in the bold display font at the given opacity. Reads the
// desktop's shown icon whenever it is drawn.
class SpaceGlyph : public QWidget {
    Q_OBJECT
public:
    SpaceGlyph(const Desktop& desktop, double pointSize, double opacity, QWidget* parent = nullptr);

    void setDesktop(const Desktop& desktop);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QSizeF contentSize() const;
    QFont numberFont() const;

    Desktop desktop_;
    double pointSize_;
    double opacity_;
};
