#include "platform/sim/MissionControlLayout.h"

#include <QFont>
#include <QFontMetricsF>

#include <cmath>

namespace platform::sim::MissionControlLayout {

namespace {

constexpr double collapsedBarHeight = 40;
constexpr double collapsedButtonTop = 9;
constexpr double collapsedButtonHeight = 22;
constexpr double windowManagerCollapsedBarHeight = 44;
// The collapsed WindowManager buttons stand out above their bar.
constexpr double windowManagerCollapsedBarDrop = 20;
constexpr double windowManagerButtonDrop = 8;
constexpr double windowManagerButtonHeight = 30;
constexpr double expandedBarHeight = 150;
constexpr double thumbnailTop = 10;
constexpr double windowManagerLabelExtra = 31;
constexpr double windowManagerSideExtra = 25;
constexpr double buttonGap = 24;
constexpr double closingLift = 20;

// The host's own label width: the text in its 12-point font, rounded up,
// with its padding.
double labelWidth(const QString& text, bool windowManager)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(12);
    return std::ceil(QFontMetricsF(font).horizontalAdvance(text)) + (windowManager ? 24 : 10);
}

} // namespace

QString caption(qint64 label)
{
    return QStringLiteral("Desktop ") + QString::number(label);
}

QList<DisplayPlace> placesOf(const QList<DisplaySpec>& displays, MissionControl::Numbering numbering,
                             bool windowManager, bool expanded, bool closing)
{
    QList<DisplayPlace> places;
    if (displays.isEmpty())
        return places;
    const double primaryHeight = displays.first().frame.height();
    qint64 global = 0;
    for (const auto& display : displays) {
        const QRectF& f = display.frame;
        const QRectF screen(f.x(), primaryHeight - f.y() - f.height(), f.width(), f.height());
        DisplayPlace place;
        place.displayID = display.displayID;
        place.uuid = display.uuid;
        place.screen = screen;
        double barHeight = expanded ? expandedBarHeight
                                    : (windowManager ? windowManagerCollapsedBarHeight : collapsedBarHeight);
        const double barDrop = windowManager && !expanded ? windowManagerCollapsedBarDrop : 0;
        place.bar = QRectF(screen.x(), screen.y() + barDrop, screen.width(), barHeight);
        qint64 local = 0;
        QList<double> widths;
        for (const auto& space : display.spaces) {
            if (space.type != 0)
                continue;
            ++global;
            ++local;
            ButtonPlace button;
            button.label = numbering == MissionControl::Numbering::global ? global : local;
            button.spaceID = space.id;
            place.buttons.append(button);
            const QString text = caption(button.label);
            const double thumbnailWidth = std::round(thumbnailHeight * screen.width() / std::max(1.0, screen.height()));
            widths.append(expanded ? thumbnailWidth + (windowManager ? windowManagerSideExtra : 0)
                                   : labelWidth(text, windowManager));
        }
        double total = 0;
        for (double width : widths)
            total += width;
        total += buttonGap * std::max<qsizetype>(0, widths.size() - 1);
        double x = screen.x() + (screen.width() - total) / 2;
        for (qsizetype i = 0; i < place.buttons.size(); ++i) {
            double top = screen.y() + collapsedButtonTop;
            double height = collapsedButtonHeight;
            if (expanded) {
                top = screen.y() + (windowManager ? 0 : thumbnailTop);
                height = thumbnailHeight + (windowManager ? windowManagerLabelExtra : 0);
            } else if (windowManager) {
                top = screen.y() + windowManagerButtonDrop;
                height = windowManagerButtonHeight;
            }
            place.buttons[i].rect = QRectF(x, top, widths[i], height);
            x += widths[i] + buttonGap;
        }
        places.append(place);
    }
    if (closing) {
        // Every bar slides up out of sight.
        for (auto& place : places) {
            const double lift = place.bar.bottom() + closingLift;
            place.bar.translate(0, -lift);
            for (auto& button : place.buttons)
                button.rect.translate(0, -lift);
        }
    }
    return places;
}

} // namespace platform::sim::MissionControlLayout
