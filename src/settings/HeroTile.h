#pragma once

#include "engine/Desktop.h"
#include "ui/Transition.h"

#include <QPixmap>
#include <QPointer>
#include <QWidget>

class EditorPopover;

// One desktop in the settings window's header: its 40-point tile over a
// caption 58 points wide. The current desktop's tile has a white border and
// a stronger shadow; the pointer over the tile grows it to 1.07. Clicking the
// tile opens the desktop editor in a popover below it.
class HeroTile : public QWidget {
    Q_OBJECT
public:
    static constexpr double tileSize = 40;
    static constexpr double captionWidth = 58;
    static constexpr double spacing = 5;
    static constexpr double hoverScale = 1.07;

    explicit HeroTile(const Desktop& desktop, QWidget* parent = nullptr);
    ~HeroTile() override;

    const Desktop& desktop() const { return desktop_; }
    // Takes the value the engine's new list holds for this desktop.
    void setDesktop(const Desktop& desktop);

    QString caption() const;
    bool isHovering() const { return hovering_; }
    double scale() const { return scale_.value(); }
    EditorPopover* popover() const { return popover_; }
    // Where the tile sits, unscaled, in widget coordinates.
    QRectF tileRect() const;

    void openEditor();
    // The editor popover is open.
    bool isEditing() const { return editing_; }
    void setHovering(bool hovering);

    static QSize preferredSize();
    QSize sizeHint() const override { return preferredSize(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void refreshTooltip();
    // The tile with its shadow and border, drawn once per look and scale.
    const QPixmap& tilePicture(double devicePixelRatio);

    Desktop desktop_;
    bool hovering_ = false;
    Transition scale_;
    QPointer<EditorPopover> popover_;
    bool editing_ = false;
    QPixmap picture_;
};
