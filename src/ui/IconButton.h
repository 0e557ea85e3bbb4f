#pragma once

#include <QAbstractButton>

// A square button showing a symbol in the secondary text colour, on a faint
// wash that turns to the fill colour while pressed.
class IconButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit IconButton(const QString& symbolName, double size = 28, QWidget* parent = nullptr);

    QString symbolName() const { return symbolName_; }
    double side() const { return size_; }
    // The symbol's point size: 0.45 of the side.
    double labelSize() const { return size_ * 0.45; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString symbolName_;
    double size_;
};
