#pragma once

#include "store/SpaceIcon.h"
#include "ui/GlyphImage.h"

#include <QAbstractButton>

// One icon choice of the desktop editor: its image on a faint rounded square,
// tinted and outlined in the accent when it is the chosen one.
class IconCell : public QAbstractButton {
    Q_OBJECT
public:
    static constexpr double side = 26;

    // image may be null (the cell then shows nothing on its square).
    IconCell(const SpaceIcon& icon, GlyphImagePtr image, const QString& title, QWidget* parent = nullptr);

    const SpaceIcon& icon() const { return icon_; }
    void setIcon(const SpaceIcon& icon) { icon_ = icon; }
    const GlyphImagePtr& image() const { return image_; }
    void setImage(GlyphImagePtr image);
    bool isSelected() const { return selected_; }
    void setSelected(bool selected);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    SpaceIcon icon_;
    GlyphImagePtr image_;
    bool selected_ = false;
};
