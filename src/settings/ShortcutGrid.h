#pragma once

#include <QList>
#include <QWidget>

// Cells in as many columns of at least 170 points as fit the width, 8 points
// apart, rows 6 points apart, filled row by row from the leading edge.
class ShortcutGrid : public QWidget {
    Q_OBJECT
public:
    static constexpr int minimumColumn = 170;
    static constexpr int columnGap = 8;
    static constexpr int rowGap = 6;

    explicit ShortcutGrid(QWidget* parent = nullptr);

    void setCells(const QList<QWidget*>& cells);
    const QList<QWidget*>& cells() const { return cells_; }
    static int columns(int width);

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    int rowHeight() const;
    void place();

    QList<QWidget*> cells_;
};
