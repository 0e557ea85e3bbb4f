#include "settings/ShortcutGrid.h"

#include <algorithm>

ShortcutGrid::ShortcutGrid(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("shortcutGrid"));
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void ShortcutGrid::setCells(const QList<QWidget*>& cells)
{
    qDeleteAll(cells_);
    cells_ = cells;
    for (QWidget* cell : std::as_const(cells_)) {
        cell->setParent(this);
        cell->show();
    }
    updateGeometry();
    place();
}

int ShortcutGrid::columns(int width)
{
    return std::max(1, (width + columnGap) / (minimumColumn + columnGap));
}

int ShortcutGrid::rowHeight() const
{
    int height = 0;
    for (QWidget* cell : cells_)
        height = std::max(height, cell->sizeHint().height());
    return height;
}

int ShortcutGrid::heightForWidth(int width) const
{
    if (cells_.isEmpty())
        return 0;
    const int rows = int((cells_.size() + columns(width) - 1) / columns(width));
    return rows * rowHeight() + (rows - 1) * rowGap;
}

QSize ShortcutGrid::sizeHint() const
{
    return {minimumColumn, heightForWidth(minimumColumn)};
}

QSize ShortcutGrid::minimumSizeHint() const
{
    return {minimumColumn, 0};
}

void ShortcutGrid::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    place();
}

void ShortcutGrid::place()
{
    const int count = columns(width());
    const int columnWidth = (width() - (count - 1) * columnGap) / count;
    const int height = rowHeight();
    for (qsizetype i = 0; i < cells_.size(); ++i) {
        const int column = int(i % count);
        const int row = int(i / count);
        cells_[i]->setGeometry(column * (columnWidth + columnGap), row * (height + rowGap), columnWidth, height);
    }
}
