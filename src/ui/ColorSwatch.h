#pragma once

#include "store/TileColor.h"

#include <QAbstractButton>
#include <QColor>

// One colour choice of the desktop editor: a dot of the colour (a dashed ring
// for transparent, an "A" on the automatic colour), ringed in white when it is
// the chosen one. Takes clicks on its 24-point square only, however wide it is
// laid out.
class ColorSwatch : public QAbstractButton {
    Q_OBJECT
public:
    static constexpr double frameSide = 24;
    static constexpr double dotSide = 18;

    ColorSwatch(const TileColor& choice, const QColor& color, QWidget* parent = nullptr);

    const TileColor& choice() const { return choice_; }
    QColor color() const { return color_; }
    bool isSelected() const { return selected_; }
    void setSelected(bool selected);

    QSize sizeHint() const override;
    // The square the layers sit in, centred in the widget.
    QRectF frame() const;

    static QString tooltip(const TileColor& choice);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;

private:
    TileColor choice_;
    QColor color_;
    bool selected_ = false;
};
