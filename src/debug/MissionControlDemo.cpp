#include "debug/MissionControlDemo.h"

#include "missioncontrol/DockAccess.h"
#include "missioncontrol/Pill.h"
#include "missioncontrol/PillsView.h"
#include "platform/Scheduler.h"
#include "platform/Screens.h"
#include "platform/SystemLog.h"
#include "ui/FloatingPanel.h"

#include <QImageReader>
#include <QPainter>

#include <cmath>

namespace {

// A picture larger than this on a side is read scaled down to it.
constexpr int wallpaperMaxSide = 4096;

void log(const QString& line)
{
    platform::SystemLog::write(QStringLiteral("Mission Control demo: ") + line);
}

struct WallpaperCache {
    bool read = false;
    std::optional<QImage> picture;
};

WallpaperCache& wallpaperCache()
{
    static WallpaperCache cache;
    return cache;
}

std::optional<QImage> readWallpaper()
{
    const QString path = qEnvironmentVariable("TESSAROOM_DEMO_WALLPAPER");
    if (path.isEmpty())
        return std::nullopt;
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (size.isValid() && std::max(size.width(), size.height()) > wallpaperMaxSide)
        reader.setScaledSize(size.scaled(wallpaperMaxSide, wallpaperMaxSide, Qt::KeepAspectRatio));
    QImage picture = reader.read();
    if (picture.isNull() || picture.width() < 1 || picture.height() < 1) {
        log(QStringLiteral("wallpaper '") + path + QStringLiteral("' could not be read (") + reader.errorString()
            + QStringLiteral("); the previews show the gradient"));
        return std::nullopt;
    }
    return picture;
}

} // namespace

namespace MissionControlDemo {

double Geometry::previewLeft(qsizetype i) const
{
    const double step = previewWidth + previewGap;
    return (bar.width() - step * double(count)) / 2 + previewGap / 2 + step * double(i);
}

std::optional<Geometry> geometry(qsizetype desktops, double width, double aspect)
{
    const qsizetype n = std::max<qsizetype>(desktops, 1);
    const auto refuse = [&](const QString& why) {
        log(QStringLiteral("no picture for ") + QString::number(n) + QStringLiteral(" desktops at width ")
            + QString::number(width) + QStringLiteral(" and aspect ratio ") + QString::number(aspect)
            + QStringLiteral(": ") + why);
        return std::nullopt;
    };
    if (!std::isfinite(width) || width <= 0)
        return refuse(QStringLiteral("the width is not a positive number"));
    if (!std::isfinite(aspect) || aspect <= 0)
        return refuse(QStringLiteral("the aspect ratio is not a positive number"));
    Geometry g;
    g.count = n;
    g.previewWidth = std::min(std::floor((width - screenInset) / double(n)) - previewGap, maxPreviewWidth);
    if (g.previewWidth < 1)
        return refuse(QStringLiteral("no room for a preview"));
    g.previewHeight = std::round(g.previewWidth / aspect);
    if (g.previewHeight < 1)
        return refuse(QStringLiteral("the previews would have no height"));
    const double barWidth = (g.previewWidth + previewGap) * double(n) + extraBarWidth;
    const double barHeight = g.previewHeight + 2 * barMargin;
    g.bar = QRectF(0, bandHeight, barWidth, barHeight);
    g.size = QSizeF(barWidth, barHeight + bandHeight);
    return g;
}

std::optional<View> makeView(Settings& settings, const QList<Desktop>& desktops, double width, double aspect)
{
    const std::optional<Geometry> g = geometry(desktops.size(), width, aspect);
    if (!g)
        return std::nullopt;
    DemoBarView::Scene scene;
    scene.bar = g->bar;
    QList<Pill> pills;
    const double barTop = g->bar.y() + g->bar.height();
    for (qsizetype i = 0; i < desktops.size(); ++i) {
        const Desktop& desktop = desktops[i];
        const QRectF preview(g->previewLeft(i), barTop - barMargin - g->previewHeight, g->previewWidth,
                             g->previewHeight);
        scene.previews.append(preview);
        scene.labels.append({QStringLiteral("Desktop ") + QString::number(desktop.number),
                             QPointF(preview.center().x(), (preview.y() + g->bar.y()) / 2)});
        pills.append(Pill(preview, g->bar, DockAccess::labelWidth(desktop.number), desktop));
    }
    View view;
    view.size = g->size;
    view.demo = std::make_unique<DemoBarView>(scene, QRectF(QPointF(0, 0), g->size));
    view.pills = std::make_unique<PillsView>(settings);
    view.pills->setGeometry(view.demo->rect());
    view.pills->setPills(pills, false);
    return view;
}

std::unique_ptr<FloatingPanel> makePanel(Settings& settings, const QList<Desktop>& desktops,
                                         const platform::Screen& screen)
{
    const QRectF frame = screen.frame;
    std::optional<View> view =
        makeView(settings, desktops, frame.width(), frame.height() > 0 ? frame.width() / frame.height() : 0);
    if (!view)
        return nullptr;
    auto panel = std::make_unique<FloatingPanel>(FloatingPanel::Options{.size = view->size,
                                                                        .level = WindowLevel::screenSaver,
                                                                        .interactive = false,
                                                                        .shadow = false,
                                                                        .behavior = FloatingPanel::defaultBehavior,
                                                                        .animation = FloatingPanel::animationNone});
    panel->setObjectName(QStringLiteral("missionControlDemo"));
    PillsView* pills = view->pills.release();
    DemoBarView* demo = view->demo.release();
    pills->setParent(demo);
    pills->setGeometry(demo->rect());
    panel->setContentView(demo);
    const double top = frame.y() + frame.height();
    panel->setFrame(QRectF(frame.center().x() - view->size.width() / 2, top - panelTopInset - view->size.height(),
                           view->size.width(), view->size.height()));
    return panel;
}

QImage renderImage(Settings& settings, const QList<Desktop>& desktops, bool pills, double width, double aspect,
                   double scale)
{
    const std::optional<View> view = makeView(settings, desktops, width, aspect);
    if (!view)
        return {};
    const double pixelWidth = std::trunc(view->size.width() * scale);
    const double pixelHeight = std::trunc(view->size.height() * scale);
    if (!std::isfinite(scale) || scale <= 0 || pixelWidth < 1 || pixelHeight < 1 || pixelWidth > maxPixelSide
        || pixelHeight > maxPixelSide) {
        log(QStringLiteral("no bitmap of ") + QString::number(view->size.width()) + QStringLiteral(" x ")
            + QString::number(view->size.height()) + QStringLiteral(" points at scale ") + QString::number(scale));
        return {};
    }
    QImage image(int(pixelWidth), int(pixelHeight), QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        log(QStringLiteral("no memory for a ") + QString::number(pixelWidth) + QStringLiteral(" x ")
            + QString::number(pixelHeight) + QStringLiteral(" bitmap"));
        return {};
    }
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    view->demo->draw(painter);
    if (pills) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        view->pills->rootLayer().renderSublayers(painter, view->size.height(), platform::now());
    }
    painter.end();
    return image;
}

std::optional<QImage> wallpaper()
{
    WallpaperCache& cache = wallpaperCache();
    if (!cache.read) {
        cache.read = true;
        cache.picture = readWallpaper();
    }
    return cache.picture;
}

void forgetWallpaper()
{
    wallpaperCache() = {};
}

} // namespace MissionControlDemo
