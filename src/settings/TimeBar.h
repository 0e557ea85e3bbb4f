#pragma once

#include <QColor>
#include <QWidget>

// One desktop's share of all tracked time: a faint capsule over the whole
// width and, over it, a capsule in the desktop's colour as wide as its share
// of the total, never narrower than a 4-point stub.
class TimeBar : public QWidget {
    Q_OBJECT
public:
    static constexpr double height = 8;
    static constexpr double stub = 4;

    TimeBar(double seconds, double total, const QColor& color, QWidget* parent = nullptr);

    // The scale of every bar on the page: the sum of the seconds, at least 1.
    static double scale(double sumOfSeconds);
    // Width of the fill in a bar of the given width.
    static double fillWidth(double width, double seconds, double total);
    double fillWidth() const { return fillWidth(width(), seconds_, total_); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double seconds_;
    double total_;
    QColor color_;
};
