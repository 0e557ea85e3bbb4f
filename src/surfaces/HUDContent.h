#pragma once

#include <QFont>
#include <QImage>
#include <QPainterPath>
#include <QRectF>
#include <QSizeF>
#include <QStringList>
#include <QWidget>

#include <optional>

class HUDState;

// The switch tag card: a desktop's tile, name and "Desktop N" line, or a
// toast's symbol and text, on a dark rounded card with a hairline border and
// a soft shadow, centred in the widget. Metrics scale with the size step.
// While hidden the card sits lower, smaller and transparent, and moves into
// place as the state's shown amount rises. The measuring copy always has the
// shown look, so a measurement never depends on an animation.
class HUDContent final : public QWidget {
    Q_OBJECT

public:
    // Around the card on every edge; room for its shadow.
    static constexpr double outerPadding = 40;

    HUDContent(HUDState& state, bool measuring, QWidget* parent = nullptr);

    // The card and its outer padding at the card's natural width; with a
    // limit, at most that wide where the content can wrap (a toast).
    QSizeF fittingSize(std::optional<double> widthLimit = std::nullopt) const;
    QSize sizeHint() const override;

    // What the card shows when the widget has width points to lay out in:
    // the desktop's name line (elided on one line) and its number line, or
    // the toast's lines: its whole text, on two lines of at least the usual
    // toast width, wider as the text needs and the room allows, on more
    // lines only when the room is too narrow for two.
    struct Lines {
        QString name;
        std::optional<QString> number;
        QStringList toast;
    };
    Lines lines(double width) const;
    // Where the card sits in the widget at its shown look.
    QRectF cardRect() const;
    // The card's rounded outline at its shown look in a widget of that size.
    QPainterPath cardShape(const QSizeF& size) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Metrics {
        double scale;
        QFont nameFont;
        QFont numberFont;
        QFont toastFont;
        double tileSide;
        double spacing;
        double symbolSize;
        double toastMaxWidth;
        double paddingX;
        double paddingY;
        double radius;
    };
    struct Layout {
        QSizeF card;
        Lines lines;
        double textWidth = 0;
        double textHeight = 0;
        double leadingSide = 0; // tile or symbol
    };

    Metrics metrics() const;
    // maxCardWidth: none for the natural width.
    Layout layout(std::optional<double> maxCardWidth) const;
    QStringList wrapToast(const QString& text, const QFont& font, double width) const;
    // The narrowest width from the usual one up to room that holds the text
    // on two lines; room when none does. The last answer is kept.
    double toastWrapWidth(const QString& text, const QFont& font, double usual, double room) const;
    double findToastWrapWidth(const QString& text, const QFont& font, double usual, double room) const;
    // The card's shadow for a card size, drawn once and reused while the
    // size and resolution stay the same.
    const QImage& shadow(const QSizeF& card, double radius, double pixelRatio);

    struct WrapWidth {
        QString text;
        QFont font;
        double usual;
        double room;
        double width;
    };

    HUDState& state_;
    bool measuring_;
    mutable std::optional<WrapWidth> wrapCache_;
    QImage shadow_;
    QSizeF shadowCard_;
    double shadowRatio_ = 0;
};
