#pragma once

#include <QLabel>
#include <QString>

// A one-line label that cuts its text at the tail to the width it gets,
// with line breaks shown as blanks, and left-aligned whatever the script's
// direction (the rows it sits in run left to right).
class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit ElidedLabel(const QString& text = {}, QWidget* parent = nullptr);

    void setFullText(const QString& text);
    QString fullText() const { return full_; }
    // The text as drawn at the label's width: whole, or cut with "…".
    QString displayedText() const;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString full_;
};
