#pragma once

#include <QString>
#include <QWidget>

#include <functional>

// A small slider, 150 points wide and tinted with the palette's colour,
// followed 10 points later by the value's text (format(value)) right-aligned
// in a 52-point column. The value given is kept and shown as it is, even off
// a step or outside the range (the knob then sits at that end); the user's
// moves keep within the range and land on steps.
class ValueSlider : public QWidget {
    Q_OBJECT
public:
    using Format = std::function<QString(double)>;

    static constexpr double trackWidth = 150;
    static constexpr double labelWidth = 52;
    static constexpr double gap = 10;

    ValueSlider(double value, double minimum, double maximum, double step, Format format, QWidget* parent = nullptr);

    double value() const { return value_; }
    // Kept as it is (a value that is not finite is ignored); no signal.
    void setValue(double value);
    double minimum() const { return minimum_; }
    double maximum() const { return maximum_; }
    double step() const { return step_; }
    void setStep(double step);
    QString text() const;

    // The slider part, in widget coordinates.
    QRectF sliderRect() const;
    QRectF labelRect() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

signals:
    // After a change by the user.
    void valueChanged(double value);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    double snapped(double value) const;
    double fraction() const;
    void userSet(double value);
    void setFromPosition(double x);

    double value_;
    double minimum_;
    double maximum_;
    double step_;
    Format format_;
};
