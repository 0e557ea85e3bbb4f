#include "menubar/StatusBarController.h"

#include "engine/SpaceEngine.h"
#include "platform/Bundle.h"
#include "platform/OneLineText.h"
#include "platform/SystemInfo.h"
#include "store/LogFile.h"
#include "store/Settings.h"
#include "ui/AppCommands.h"
#include "ui/Glyph.h"
#include "ui/KitFonts.h"
#include "ui/KitText.h"
#include "ui/Theme.h"

#include <QCoreApplication>
#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

namespace {

constexpr double titleFontSize = 13;

// The icon form, in parts of its side: with a badge the tile shrinks into the
// bottom left corner and the badge takes the top right one, above the
// number's top edge.
constexpr double badgedTileShare = 0.78;
constexpr double badgeHeightShare = 0.38;
constexpr double badgeFontShare = 0.3;
constexpr double badgePaddingShare = 0.09;

// The bottom margin of the running system, read once.
double systemBottomMargin()
{
    static const double margin = StatusBarController::bottomMargin(platform::SystemInfo::operatingSystemMajorVersion());
    return margin;
}

} // namespace

QString MenuBarNotifications::prefix()
{
    const QString identifier = platform::Bundle::identifier().value_or(QStringLiteral("app.tessaroom"));
    const qsizetype dot = identifier.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? identifier.left(dot) : identifier;
}

QString MenuBarNotifications::tileChanged()
{
    return prefix() + QStringLiteral(".menuBarTileChanged");
}

QString MenuBarNotifications::notchLabelChanged()
{
    return prefix() + QStringLiteral(".notchLabelChanged");
}

StatusBarController::StatusBarController(AppCommands& commands)
    : commands_(commands)
    , engine_(SpaceEngine::shared())
    , settings_(Settings::shared())
    , notchLabelVisible_([] { return false; })
    , terminate_([] { QCoreApplication::quit(); })
{
    item_ = std::make_unique<platform::StatusItem>(platform::StatusItem::variableLength);
    item_->setAutosaveName(autosaveName);
    menu_.setOnDidClose([this] { menuDidClose(); });

    platform::StatusBarButton* tile = item_->button();
    tile->setImagePosition(platform::StatusBarButton::ImagePosition::imageLeading);
    tile->setImageHugsTitle(true);
    QFont font = tile->font();
    font.setPointSizeF(titleFontSize);
    font.setWeight(QFont::Medium);
    tile->setFont(font);
    tile->setLineBreakMode(platform::StatusBarButton::LineBreakMode::truncatingTail);
    tile->setUsesSingleLineMode(true);
    tile->setAction([this] { clicked(); });
    tile->setSendActionOn(platform::StatusBarButton::leftMouseUpMask | platform::StatusBarButton::rightMouseUpMask);

    auto& center = platform::NotificationCenter::defaultCenter();
    for (const QString& name : {EngineNotifications::spacesDidChange, EngineNotifications::activeSpaceDidChange,
                                MenuBarNotifications::notchLabelChanged()})
        subscriptions_.push_back(center.observe(name, [this] { refresh(); }));
    for (const QString& name : {platform::WindowNotifications::didMove,
                                platform::WindowNotifications::didChangeOcclusionState})
        subscriptions_.push_back(
            center.observe(name, [this] { statusWindowMoved(platform::WindowNotifications::object()); }));
    subscriptions_.push_back(
        center.observe(platform::notifications::screenParametersDidChange, [this] { screensChanged(); }));

    armFitChecks();
}

StatusBarController::~StatusBarController()
{
    subscriptions_.clear();
    menu_.setOnDidClose({});
    item_->setMenu(nullptr);
}

platform::StatusBarButton* StatusBarController::button()
{
    return item_ ? item_->button() : nullptr;
}

void StatusBarController::setNotchLabelVisible(std::function<bool()> visible)
{
    notchLabelVisible_ = visible ? std::move(visible) : [] { return false; };
}

void StatusBarController::setBesideNotch(bool aside)
{
    besideNotch_ = aside;
    item_->setVisible(!aside);
    LogFile::switches().write(aside ? QStringLiteral("menu bar tile steps aside for the notch label")
                                    : QStringLiteral("menu bar tile is back"));
    platform::NotificationCenter::defaultCenter().post(MenuBarNotifications::tileChanged());
}

StatusBarController::Look StatusBarController::lookOf(const Desktop& desktop) const
{
    Look look;
    look.id = desktop.id();
    look.number = desktop.number;
    look.name = desktop.displayName();
    look.icon = desktop.icon().stringValue();
    look.color = desktop.color().intValue();
    look.style = settings_.menuBarStyle();
    look.maxWidth = settings_.menuBarMaxWidth();
    look.compact = compact_;
    look.badge = engine_.badgesByDesktop();
    return look;
}

void StatusBarController::render()
{
    platform::StatusBarButton* tile = button();
    if (!tile)
        return;

    const bool aside = settings_.tileHiddenBesideNotch() && settings_.notchEnabled() && notchLabelVisible_();
    if (aside != besideNotch_)
        setBesideNotch(aside);

    const std::optional<Desktop> desktop = engine_.activeDesktop();
    if (!desktop) {
        tile->setTitle(QStringLiteral("Spaces"));
        tile->setImage({});
        tile->setIconForm({});
        // Forget the last look, so the same desktop coming back is drawn again.
        rendered_.reset();
        item_->setLength(platform::StatusItem::variableLength);
        return;
    }

    const MenuBarStyle style = settings_.menuBarStyle();
    if (compact_ && rendered_ && rendered_->style != style)
        compact_ = false;

    const Look look = lookOf(*desktop);
    if (rendered_ && *rendered_ == look)
        return;
    rendered_ = look;

    const bool showsImage = style != MenuBarStyle::nameOnly || compact_;
    const bool titleEmpty = style == MenuBarStyle::iconOnly || compact_;

    if (showsImage) {
        GlyphImagePtr image = Glyph::image(*desktop, tileRadius, style == MenuBarStyle::numberAndName, tileSize);
        if (look.badge)
            image = Glyph::badged(image, *look.badge);
        tile->setImage(padded(image->render(imageScale), systemBottomMargin()));
    } else {
        tile->setImage({});
    }
    const bool numberOnly = style == MenuBarStyle::numberAndName;
    tile->setIconForm(iconForm(*desktop, numberOnly, look.badge)->render(imageScale));

    QString title;
    if (!showsImage && look.badge)
        title = look.name + QStringLiteral(" · ") + *look.badge;
    else if (titleEmpty)
        title = QString();
    else if (showsImage)
        title = QStringLiteral(" ") + look.name;
    else
        title = look.name;
    tile->setTitle(title);

    QString tip = platform::OneLineText::elided(look.name, QFontMetricsF(QToolTip::font()), toolTipNameWidth)
        + QStringLiteral(" · Desktop ") + QString::number(desktop->number);
    if (look.badge)
        tip += QStringLiteral(" · ") + *look.badge + QStringLiteral(" waiting on another desktop");
    tile->setToolTip(tip);

    item_->setLength(platform::StatusItem::variableLength);
    if (!title.isEmpty() && look.maxWidth < tile->intrinsicContentWidth())
        item_->setLength(look.maxWidth);
}

GlyphImagePtr StatusBarController::iconForm(const Desktop& desktop, bool numberOnly,
                                            const std::optional<QString>& badge)
{
    const double side = iconFormSize;
    const double tileSide = badge ? side * badgedTileShare : side;
    const GlyphImagePtr tile = Glyph::image(desktop, std::nullopt, numberOnly, tileSide);
    // On a light tray a transparent tile's white mark would vanish.
    const std::optional<QColor> backing =
        desktop.isTransparent() && !numberOnly ? std::optional<QColor>(desktop.swatchColor()) : std::nullopt;
    return std::make_shared<GlyphImage>(QSizeF(side, side), [=](QPainter& painter, const QRectF& bounds) {
        const QRectF place(bounds.left(), bounds.bottom() - tileSide, tileSide, tileSide);
        if (backing) {
            QPainterPath shape;
            const double radius = tileSide * Glyph::tileRadiusRatio;
            shape.addRoundedRect(place, radius, radius);
            painter.fillPath(shape, *backing);
        }
        tile->draw(painter, place);
        if (!badge)
            return;
        const QFont font = KitFonts::system(side * badgeFontShare, QFont::Bold);
        const double height = side * badgeHeightShare;
        const double width = std::min(
            bounds.width(), std::max(height, KitText::measure(*badge, font).width() + 2 * side * badgePaddingShare));
        const QRectF bubble(bounds.right() - width, bounds.top(), width, height);
        QPainterPath shape;
        shape.addRoundedRect(bubble, height / 2, height / 2);
        painter.fillPath(shape, Theme::red());
        painter.strokePath(shape, QPen(Theme::badgeOutline(), 0.5));
        KitText::drawCentred(painter, *badge, font, Theme::onColour(), bubble.center());
    });
}

double StatusBarController::bottomMargin(int majorVersion)
{
    return majorVersion >= 27 ? 1.0 : 0.0;
}

QImage StatusBarController::padded(const QImage& image, double bottomMargin)
{
    if (bottomMargin <= 0 || image.isNull())
        return image;
    const double scale = image.devicePixelRatio();
    QImage result(image.width(), image.height() + int(std::lround(bottomMargin * scale)),
                  QImage::Format_ARGB32_Premultiplied);
    result.setDevicePixelRatio(scale);
    result.fill(Qt::transparent);
    QPainter painter(&result);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    // Qt's origin is the top left: the image goes at the top, the margin below it.
    painter.drawImage(QPointF(0, 0), image);
    painter.end();
    result.setText(QStringLiteral("template"), image.text(QStringLiteral("template")));
    return result;
}
