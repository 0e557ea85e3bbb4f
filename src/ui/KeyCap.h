#pragma once

#include <QString>
#include <QWidget>

// A key name drawn as a small key, for keyboard hints.
class KeyCap : public QWidget {
    Q_OBJECT
public:
    explicit KeyCap(const QString& text, double size = 11, QWidget* parent = nullptr);

    QString text() const { return text_; }
    double fontSize() const { return size_; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QFont labelFont() const;

    QString text_;
    double size_;
};
