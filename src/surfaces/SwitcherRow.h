#pragma once

#include "engine/Desktop.h"
#include "ui/AppIconsRow.h"
#include "ui/KeyCap.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <optional>

class SwitcherModel;

// One row of the Quick Switcher's list: the desktop's tile, its name with the
// apps on it (or its number when it is named and has none), then the app a
// switch would open, the "Current" or "Last" tag, the digit key while the
// query is empty, and the return mark on the selected row. 44 points high;
// reads the model whenever it draws, so a selection change only repaints.
class SwitcherRow : public QWidget {
    Q_OBJECT
public:
    static constexpr double height = 44;

    SwitcherRow(SwitcherModel& model, int index, const Desktop& desktop, QWidget* parent = nullptr);

    const Desktop& desktop() const { return desktop_; }
    int index() const { return index_; }
    bool isSelected() const;
    QString title() const;
    // The line under the title: "Desktop <n>" for a named desktop without
    // apps; empty otherwise.
    QString numberLine() const;
    // "Opens <app>", or empty.
    QString chipText() const;
    // "Current", "Last", or empty.
    QString tagText() const;
    // Null when the row shows no app icons or no key cap.
    AppIconsRow* appIcons() const { return appIcons_; }
    KeyCap* keyCap() const { return keyCap_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    struct Geometry {
        QRectF glyph;
        QRectF title;
        QRectF below;
        QRectF chip;
        QRectF tag;
        QRectF keyCap;
        QRectF returnMark;
    };
    Geometry geometry() const;
    void placeChildren();

    SwitcherModel& model_;
    int index_;
    Desktop desktop_;
    std::optional<SpaceApp> opening_;
    QPointer<AppIconsRow> appIcons_;
    QPointer<KeyCap> keyCap_;
    bool pressed_ = false;
};
