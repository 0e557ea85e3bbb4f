#pragma once

#include <QWidget>

class QLabel;

// One numbered step of the welcome window: a round badge (the number on
// blue, or a checkmark on mint once done), the title and the wrapping
// detail, on a raised rounded card, amber-tinted while highlighted.
class StepRow : public QWidget {
    Q_OBJECT
public:
    StepRow(int number, const QString& title, QWidget* parent = nullptr);

    void setState(const QString& detail, bool done, bool highlighted);
    bool isDone() const { return done_; }
    bool isHighlighted() const { return highlighted_; }
    QString title() const;
    QString detail() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int number_;
    bool done_ = false;
    bool highlighted_ = false;
    QLabel* title_;
    QLabel* detail_;
};
