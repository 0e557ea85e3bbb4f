#pragma once

#include "ui/Transition.h"

#include <QList>
#include <QString>
#include <QVariant>
#include <QWidget>

#include <memory>
#include <utility>
#include <vector>

// A row of text segments on a dark well; the segments whose value equals the
// selection are filled with the tint palette's colour (none when no value
// matches, several when values repeat). A click selects the segment's value
// with a 0.15 s ease-out and emits activated(), also when it was selected;
// with keyboard focus, the left and right arrows select the neighbouring
// segment the same way.
class SegmentPicker : public QWidget {
    Q_OBJECT
public:
    using Option = std::pair<QVariant, QString>;

    SegmentPicker(const QList<Option>& options, const QVariant& selection, QWidget* parent = nullptr);
    ~SegmentPicker() override;

    QList<Option> options() const { return options_; }
    QVariant selection() const { return selection_; }
    // Changes the selection at once, without animation or signal.
    void setSelection(const QVariant& value);
    bool isSelected(qsizetype index) const;
    // Where each segment sits, in widget coordinates.
    QRectF segmentRect(qsizetype index) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

signals:
    void activated(const QVariant& value);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QSizeF segmentSize(qsizetype index) const;
    qsizetype segmentAt(QPointF point) const;
    void select(qsizetype index);

    QList<Option> options_;
    QVariant selection_;
    std::vector<std::unique_ptr<Transition>> fills_;
    qsizetype pressed_ = -1;
};
