#pragma once

#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QWidget>

class QPainter;

// A Dock-style count badge: white bold text on a red capsule with a thin dark
// outline, at least 10 x 10 points (a circle for one character).
class BadgeBubble : public QWidget {
    Q_OBJECT
public:
    explicit BadgeBubble(const QString& text, QWidget* parent = nullptr);

    QString text() const { return text_; }
    QSize sizeHint() const override;

    static QSizeF sizeFor(const QString& text);
    static void paint(QPainter& painter, const QRectF& rect, const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
};
