#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

#include <functional>

class QLabel;

// A notice card of the popover: a symbol in the accent colour, a title, a
// body that wraps over as many lines as it needs, and a trailing element, on
// a rounded fill with a faint accent border. With an action the whole card
// is one button.
class PopoverNotice : public QWidget {
    Q_OBJECT
public:
    struct Look {
        QString symbol;
        QColor accent;
        QColor fill;
        QString title;
        QString body;
    };

    static constexpr double padding = 10;
    static constexpr double cornerRadius = 10;
    static constexpr double borderOpacity = 0.35;

    // trailing is taken over; action none: the card itself takes no clicks.
    PopoverNotice(const Look& look, QWidget* trailing, std::function<void()> action = {}, QWidget* parent = nullptr);

    QString title() const { return look_.title; }
    QString body() const { return look_.body; }
    QColor accent() const { return look_.accent; }
    QColor fill() const { return look_.fill; }
    bool isButton() const { return bool(action_); }
    void trigger();

    // A trailing symbol in a colour.
    static QWidget* symbol(const QString& name, double pointSize, const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    Look look_;
    std::function<void()> action_;
};
