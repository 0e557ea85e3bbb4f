#include "debug/Renders.h"

#include "debug/DebugTools.h"

#include "debug/MissionControlDemo.h"
#include "debug/SwitcherRender.h"
#include "engine/SpaceEngine.h"
#include "menubar/MenuPopoverView.h"
#include "menubar/PopoverModel.h"
#include "platform/AtomicFile.h"
#include "settings/SettingsModel.h"
#include "settings/SettingsServices.h"
#include "settings/SettingsView.h"
#include "store/Settings.h"
#include "store/SpaceStore.h"
#include "surfaces/HUDContent.h"
#include "surfaces/HUDState.h"
#include "surfaces/HoverStripView.h"
#include "surfaces/SwitcherModel.h"
#include "ui/AppCommands.h"
#include "ui/Glyph.h"
#include "ui/KitShapes.h"
#include "ui/Theme.h"
#include "ui/ViewEnvironment.h"

#include <QBuffer>
#include <QDir>
#include <QFontMetricsF>
#include <QLayout>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

const QList<SettingsPage>& renderedPages()
{
    static const QList<SettingsPage> pages{SettingsPage::spaces, SettingsPage::missionControl, SettingsPage::about};
    return pages;
}

QString missionControlName(int count)
{
    return count == 7 ? QStringLiteral("mission_control") : QStringLiteral("mission_control_") + QString::number(count);
}

constexpr int demoCounts[] = {3, 7};

// Shows a window that is not shown for as long as it lives, without it
// reaching the screen.
class ShownOffScreen {
public:
    explicit ShownOffScreen(QWidget& view)
        : view_(view.isWindow() && !view.isVisible() ? &view : nullptr)
    {
        if (!view_)
            return;
        view_->setAttribute(Qt::WA_DontShowOnScreen);
        view_->show();
    }
    ~ShownOffScreen()
    {
        if (view_)
            view_->hide();
    }
    ShownOffScreen(const ShownOffScreen&) = delete;
    ShownOffScreen& operator=(const ShownOffScreen&) = delete;

private:
    QWidget* view_;
};
constexpr int plainCount = 7;

} // namespace

QStringList Renders::names()
{
    QStringList names{QStringLiteral("menubar"), QStringLiteral("menubar_clear"), QStringLiteral("popover"),
                      QStringLiteral("popover_edit"), QStringLiteral("switcher"), QStringLiteral("switcher_typed"),
                      QStringLiteral("hover"), QStringLiteral("hud")};
    for (const int count : demoCounts)
        names << missionControlName(count);
    names << QStringLiteral("mission_control_plain");
    for (const SettingsPage page : renderedPages())
        names << QStringLiteral("settings_") + SettingsPages::rawValue(page);
    return names;
}

int Renders::renderAll(const QString& dir, const RenderSources& sources, const ModeOutput::LineSink& out)
{
    QDir().mkpath(dir);
    SpaceEngine& engine = sources.engine;
    engine.appsByDesktop(true);
    const std::optional<Desktop> active = engine.activeDesktop();
    if (!active) {
        out(QStringLiteral("render: no desktop"));
        return 1;
    }
    AppCommands& commands = sources.commands;
    const auto write = [&](const QImage& image, const QString& name) { writeRendered(image, name, dir, out); };

    write(menuBarImage(engine, *active, true), QStringLiteral("menubar"));
    write(menuBarImage(engine, *active, false), QStringLiteral("menubar_clear"));

    PopoverModel popover;
    {
        MenuPopoverView view(popover);
        write(renderImage(view, commands, {.proposal = std::nullopt, .crop = false, .settle = [&] { view.reloadIfNeeded(); }}), QStringLiteral("popover"));
    }
    popover.setPage(PopoverPage::edit(*active));
    {
        MenuPopoverView view(popover);
        write(renderImage(view, commands, {.proposal = std::nullopt, .crop = false, .settle = [&] { view.reloadIfNeeded(); }}),
              QStringLiteral("popover_edit"));
    }

    SwitcherModel switcher;
    SwitcherModel::AppsMap apps;
    for (const Desktop& desktop : engine.desktops())
        apps.insert(desktop.id(), engine.apps(desktop));
    switcher.load(engine.desktops(), apps, active->id(), engine.lastDesktopID());
    {
        SwitcherRender view(switcher, QString());
        write(renderImage(view, commands), QStringLiteral("switcher"));
    }
    const QString typed = QStringLiteral("res");
    switcher.setQuery(typed);
    {
        SwitcherRender view(switcher, typed);
        write(renderImage(view, commands), QStringLiteral("switcher_typed"));
    }

    {
        HoverStripView view(engine, [](const Desktop&) {}, [](const SpaceApp&, const Desktop&) {});
        write(renderImage(view, commands), QStringLiteral("hover"));
    }

    {
        HUDState state;
        state.setDesktop(*active);
        state.setVisible(true);
        state.setSize(sources.settings.hudSize());
        state.setShowNumber(sources.settings.hudShowNumber());
        HUDContent view(state, false);
        write(renderImage(view, commands, {.proposal = hudProposal, .crop = true}), QStringLiteral("hud"));
    }

    const QList<Desktop>& desktops = engine.desktops();
    for (const int count : demoCounts) {
        write(MissionControlDemo::renderImage(sources.settings, desktops.first(std::min<qsizetype>(count, desktops.size())),
                                              true, demoWidth, demoAspect, scale),
              missionControlName(count));
    }
    write(MissionControlDemo::renderImage(sources.settings,
                                          desktops.first(std::min<qsizetype>(plainCount, desktops.size())), false,
                                          demoWidth, demoAspect, scale),
          QStringLiteral("mission_control_plain"));

    const SettingsServices services{sources.engine, sources.settings, sources.store, sources.access, sources.updates};
    SettingsModel settingsModel;
    for (const SettingsPage page : renderedPages()) {
        settingsModel.setPage(page);
        SettingsView view(settingsModel, services);
        write(renderImage(view, commands, {.proposal = SettingsView::windowSize}),
              QStringLiteral("settings_") + SettingsPages::rawValue(page));
    }

    out(QStringLiteral("render complete"));
    return 0;
}

QImage Renders::renderImage(QWidget& view, AppCommands& commands, const RenderImageOptions& options)
{
    AppEnvironment::withAppEnvironment(&view, commands);
    ViewEnvironment::setRendersFlat(&view, true);
    // Shown without reaching the screen, so children added to it since are
    // shown too and laid out as on screen.
    const ShownOffScreen shown(view);
    if (options.settle)
        options.settle();
    view.ensurePolished();
    if (view.layout())
        view.layout()->activate();
    QSize size = options.proposal.value_or(view.sizeHint());
    if (!options.proposal && view.layout() && view.layout()->hasHeightForWidth())
        size.setHeight(std::max(size.height(), view.layout()->totalHeightForWidth(size.width())));
    if (size.width() < 1 || size.height() < 1)
        return {};
    view.resize(size);
    if (view.layout())
        view.layout()->activate();
    // Fixed sizes win over the proposal.
    size = view.size();
    QImage image(QSize(int(std::ceil(size.width() * scale)), int(std::ceil(size.height() * scale))),
                 QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return {};
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    view.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return options.crop ? cropToVisible(image) : image;
}

QImage Renders::cropToVisible(const QImage& image)
{
    const QImage pixels = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (pixels.isNull())
        return image;
    int minX = pixels.width();
    int minY = pixels.height();
    int maxX = -1;
    int maxY = -1;
    for (int y = 0; y < pixels.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(pixels.constScanLine(y));
        for (int x = 0; x < pixels.width(); ++x) {
            if (qAlpha(line[x]) <= cropAlpha)
                continue;
            minX = std::min(minX, x);
            maxX = std::max(maxX, x);
            minY = std::min(minY, y);
            maxY = std::max(maxY, y);
        }
    }
    if (maxX < 0)
        return image;
    // Far edges exclusive: maxX + cropMargin is the first column left out.
    const QRect kept = QRect(QPoint(minX - cropMargin, minY - cropMargin),
                             QPoint(maxX + cropMargin - 1, maxY + cropMargin - 1))
                           .intersected(image.rect());
    QImage cropped = image.copy(kept);
    cropped.setDevicePixelRatio(image.devicePixelRatio());
    return cropped;
}

void Renders::writeRendered(const QImage& image, const QString& name, const QString& dir,
                            const ModeOutput::LineSink& out)
{
    QByteArray png;
    if (!image.isNull()) {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (!image.save(&buffer, "PNG"))
            png.clear();
    }
    if (png.isEmpty()) {
        out(QStringLiteral("render: nothing for ") + name);
        return;
    }
    const QString path = dir + QLatin1Char('/') + name + QStringLiteral("@2x.png");
    if (const auto error = platform::AtomicFile::write(path, png)) {
        out(QStringLiteral("could not write ") + path + QStringLiteral(": ") + *error);
        return;
    }
    out(QStringLiteral("wrote ") + path + QStringLiteral(" (") + QString::number(image.width()) + QLatin1Char('x')
        + QString::number(image.height()) + QLatin1Char(')'));
}

QImage Renders::menuBarImage(const SpaceEngine& engine, const Desktop& desktop, bool withBar)
{
    const QString title = desktop.displayName();
    const QFont font = Theme::font(titleSize, QFont::Medium);
    const QFontMetricsF metrics(font);
    const double width = withBar ? menuBarWidth : std::ceil(metrics.horizontalAdvance(title) + titleLeft + titleTrailing);
    QImage image(int(width * menuBarScale), int(menuBarHeight * menuBarScale), QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return {};
    image.setDevicePixelRatio(menuBarScale);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform | QPainter::TextAntialiasing);
    if (withBar)
        KitShapes::fill(painter, KitShapes::roundedRect(QRectF(0, 0, width, menuBarHeight), barRadius),
                        Theme::renderMenuBar());

    GlyphImagePtr tile = Glyph::image(desktop, tileRadius, false, tileSide);
    if (tile) {
        if (const std::optional<QString> badge = engine.badgesByDesktop())
            tile = Glyph::badged(tile, *badge);
        const QSizeF side = tile->size();
        tile->draw(painter, QRectF(QPointF(tileLeft, menuBarHeight - tileBottom - side.height()), side));
    }

    painter.setFont(font);
    painter.setPen(Theme::renderMenuTitle());
    const double titleHeight = metrics.height();
    painter.drawText(QRectF(titleLeft, (menuBarHeight - titleHeight) / 2, width - titleLeft, titleHeight),
                     Qt::AlignLeft | Qt::AlignVCenter, title);
    painter.end();
    return image;
}

void DebugTools::renderAll(const QString& directory, LateModeContext& context)
{
    QTextStream& out = context.out;
    const int status = Renders::renderAll(directory,
                                          RenderSources{.engine = context.engine,
                                                        .settings = context.settings,
                                                        .store = SpaceStore::shared(),
                                                        .access = context.access,
                                                        .updates = context.updates,
                                                        .commands = context.commands},
                                          [&out](const QString& line) { out << line << Qt::endl; });
    context.exit(status);
}
