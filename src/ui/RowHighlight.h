#pragma once

#include <QColor>
#include <QRectF>
#include <QWidget>

#include <optional>

class QPainter;

// The highlight behind a list row: the fill colour when selected, else the
// wash while hovered, else nothing. The caller tracks both states.
class RowHighlight : public QWidget {
    Q_OBJECT
public:
    explicit RowHighlight(QWidget* content, double cornerRadius = 10, QWidget* parent = nullptr);

    void setHovering(bool hovering);
    void setSelected(bool selected);
    bool isHovering() const { return hovering_; }
    bool isSelected() const { return selected_; }
    QWidget* content() const { return content_; }

    // Selection wins over hovering; none when neither.
    static std::optional<QColor> fill(bool hovering, bool selected);
    static void paint(QPainter& painter, const QRectF& rect, bool hovering, bool selected, double cornerRadius = 10);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QWidget* content_;
    double cornerRadius_;
    bool hovering_ = false;
    bool selected_ = false;
};
