#pragma once

#include <QPointF>
#include <QString>
#include <QWidget>

#include <optional>

namespace platform::sim {

// One display's part of open Mission Control on a desktop session: a window
// over the whole display that draws what MissionControl::pictures() gives
// for it and hands the user's keys and clicks to MissionControl.
class MissionControlWindow final : public QWidget {
public:
    // A press and release further apart than this are a drag, not a click.
    static constexpr double clickSlop = 3;

    explicit MissionControlWindow(const QString& displayUUID);

    const QString& displayUUID() const { return uuid_; }
    // Covers the display as it lies now.
    void place();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // A point of this window in accessibility coordinates.
    QPointF global(const QPointF& local) const;

    QString uuid_;
    std::optional<QPointF> pressedAt_;
};

} // namespace platform::sim
