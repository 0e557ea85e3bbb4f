#pragma once

#include <QWidget>

// The kit's container: its content padded on every side, on the raised
// surface colour with a faint sheen on the upper half and a hairline border,
// corners of Theme::cornerRadius.
class Card : public QWidget {
    Q_OBJECT
public:
    explicit Card(QWidget* content, double padding = 14, QWidget* parent = nullptr);

    QWidget* content() const { return content_; }
    double padding() const { return padding_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QWidget* content_;
    double padding_;
};
