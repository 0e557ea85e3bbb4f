#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <optional>

class BadgeBubble;
class QWidget;

// Lays a BadgeBubble over a widget's top trailing corner, 4 points outside
// it, following the widget as it moves. The bubble takes no clicks. It is a
// sibling of the widget, so the widget's parent clips it.
class BadgeOverlay : public QObject {
    Q_OBJECT
public:
    // Null text adds nothing and answers null. The overlay lives as long as
    // the target.
    static BadgeOverlay* attach(QWidget* target, const std::optional<QString>& text);

    BadgeBubble* bubble() const { return bubble_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    BadgeOverlay(QWidget* target, const QString& text);
    void place();

    QPointer<QWidget> target_;
    QPointer<BadgeBubble> bubble_;
};
