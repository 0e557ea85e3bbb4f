#pragma once

#include <QAbstractButton>

// A quiet text button: secondary text on a faint wash that turns to the fill
// colour while pressed.
class SoftButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit SoftButton(const QString& text, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
};
