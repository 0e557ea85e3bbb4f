#pragma once

#include <QWidget>

#include <memory>

class RepeatingTimer;

// The progress shown in the update row: a determinate bar 120 points wide
// filled to a fraction, or a small busy indicator whose arc turns while it
// is shown (its timer runs only then).
class UpdateProgress : public QWidget {
    Q_OBJECT
public:
    enum class Style { bar, busy };

    static constexpr int barWidth = 120;
    static constexpr int barHeight = 6;
    static constexpr int busySize = 16;
    static constexpr double turnInterval = 1.0 / 12; // seconds between steps of the busy arc

    explicit UpdateProgress(Style style, QWidget* parent = nullptr);
    ~UpdateProgress() override;

    Style style() const { return style_; }
    double fraction() const { return fraction_; }
    // Clamped to 0...1.
    void setFraction(double fraction);
    int turn() const { return turn_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    Style style_;
    double fraction_ = 0;
    int turn_ = 0;
    std::unique_ptr<RepeatingTimer> timer_;
};
