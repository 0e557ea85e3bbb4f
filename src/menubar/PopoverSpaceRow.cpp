#include "menubar/PopoverSpaceRow.h"

#include "engine/SpaceEngine.h"
#include "menubar/PopoverModel.h"
#include "store/KeyNames.h"
#include "store/Settings.h"
#include "ui/AppCommands.h"
#include "ui/AppIconsRow.h"
#include "ui/ElidedLabel.h"
#include "ui/Glyph.h"
#include "ui/IconButton.h"
#include "ui/KeyCap.h"
#include "ui/RowHighlight.h"
#include "ui/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QVBoxLayout>

namespace {

constexpr double imageScale = 2;
constexpr double dotSide = 7;

QLabel* rowLabel(const QString& text, const QFont& font, const QColor& color, const QString& name, QWidget* parent)
{
    auto* label = new ElidedLabel(text, parent);
    label->setObjectName(name);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    return label;
}

// The green dot of the current desktop.
class CurrentDot : public QWidget {
public:
    explicit CurrentDot(QWidget* parent) : QWidget(parent)
    {
        setObjectName(QStringLiteral("currentDot"));
        setFixedSize(int(dotSide + 2), int(dotSide));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Theme::green());
        painter.drawEllipse(QRectF(2, 0, dotSide, dotSide));
    }
};

} // namespace

PopoverSpaceRow::PopoverSpaceRow(const Desktop& desktop, const QList<SpaceApp>& apps,
                                 const std::optional<platform::RunningApplication>& frontApp, PopoverModel& model,
                                 QWidget* parent)
    : QWidget(parent)
    , desktop_(desktop)
    , apps_(apps)
    , frontApp_(frontApp)
    , model_(model)
{
    setObjectName(QStringLiteral("spaceRow"));
    setMinimumHeight(int(minimumHeight));
    setMouseTracking(true);
    layout_ = new QHBoxLayout(this);
    layout_->setContentsMargins(0, 0, 0, 0);
    build();
}

void PopoverSpaceRow::update(const Desktop& desktop, const QList<SpaceApp>& apps,
                             const std::optional<platform::RunningApplication>& frontApp)
{
    desktop_ = desktop;
    apps_ = apps;
    frontApp_ = frontApp;
    if (signature() != built_)
        build();
}

QString PopoverSpaceRow::signature() const
{
    const Settings& settings = Settings::shared();
    QString text = QString::number(desktop_.id()) + u'|' + QString::number(desktop_.number) + u'|'
        + QString::number(desktop_.isCurrent) + u'|' + desktop_.displayName() + u'|'
        + QString::number(desktop_.hasName()) + u'|' + desktop_.icon().stringValue() + u'|'
        + QString::number(desktop_.color().intValue()) + u'|'
        + QString::number(settings.moveWindowEnabled());
    if (const auto hotkey = desktop_.effectiveHotkey(settings))
        text += u'|' + hotkey->display();
    text += QStringLiteral("|front:") + (frontApp_ ? QString::number(frontApp_->processIdentifier) : QString());
    for (const SpaceApp& app : apps_)
        text += u'|' + QString::number(app.pid) + u':' + app.name + u':' + app.badge.value_or(QString());
    return text;
}

void PopoverSpaceRow::build()
{
    built_ = signature();
    ++builds_;
    delete content_;
    keyCap_ = nullptr;
    currentDot_ = nullptr;
    sendButton_ = nullptr;
    editButton_ = nullptr;

    const Settings& settings = Settings::shared();
    content_ = new QWidget(this);
    auto* row = new QHBoxLayout(content_);
    row->setContentsMargins(9, 6, 9, 6);
    row->setSpacing(10);

    auto* tile = new QLabel(content_);
    tile->setObjectName(QStringLiteral("rowTile"));
    QPixmap picture = QPixmap::fromImage(Glyph::image(desktop_, std::nullopt, false, tileSide)->render(imageScale));
    tile->setPixmap(picture);
    tile->setFixedSize(int(tileSide), int(tileSide));
    row->addWidget(tile);

    auto* text = new QVBoxLayout;
    text->setSpacing(2);
    text->setContentsMargins(0, 0, 0, 0);
    const bool named = desktop_.hasName();
    text->addWidget(rowLabel(desktop_.displayName(),
                              Theme::font(13, desktop_.isCurrent ? QFont::DemiBold : QFont::Medium),
                              desktop_.isCurrent || named ? Theme::text() : Theme::textSecondary(),
                              QStringLiteral("nameLabel"), content_));
    if (!apps_.isEmpty()) {
        const Desktop desktop = desktop_;
        auto* icons = new AppIconsRow(apps_, appIconSize, true, [this, desktop](const SpaceApp& app) {
            AppEnvironment::commands(this).switchTo(desktop, app);
        }, appLimit, content_);
        icons->setObjectName(QStringLiteral("appIcons"));
        // The row keeps room for badges around the icons; let it overlap.
        text->addWidget(icons, 0, Qt::AlignLeft);
    } else if (named) {
        text->addWidget(rowLabel(QStringLiteral("Desktop ") + QString::number(desktop_.number), Theme::font(10.5),
                                  Theme::textTertiary(), QStringLiteral("numberLabel"), content_));
    }
    row->addLayout(text, 1);
    row->addSpacing(6);

    if (const auto hotkey = desktop_.effectiveHotkey(settings)) {
        keyCap_ = new KeyCap(hotkey->display(), 10, content_);
        keyCap_->setObjectName(QStringLiteral("keyCap"));
        keyCap_->setToolTip(KeyNames::describe(*hotkey));
        row->addWidget(keyCap_);
    }
    if (desktop_.isCurrent) {
        currentDot_ = new CurrentDot(content_);
        row->addWidget(currentDot_);
    }
    if (offersSend()) {
        sendButton_ = new IconButton(QStringLiteral("arrow.right.doc.on.clipboard"), trailingButtonSize, content_);
        sendButton_->setObjectName(QStringLiteral("sendButton"));
        const QString name = frontApp_->localizedName && !frontApp_->localizedName->isEmpty()
            ? *frontApp_->localizedName
            : QStringLiteral("front");
        sendButton_->setToolTip(QStringLiteral("Send the ") + name + QStringLiteral(" window here"));
        connect(sendButton_, &QAbstractButton::clicked, this, [this] { sendWindow(); });
        row->addWidget(sendButton_);
    }
    editButton_ = new IconButton(QStringLiteral("slider.horizontal.3"), trailingButtonSize, content_);
    editButton_->setObjectName(QStringLiteral("editButton"));
    editButton_->setToolTip(QStringLiteral("Edit"));
    connect(editButton_, &QAbstractButton::clicked, this, [this] { edit(); });
    row->addWidget(editButton_);

    layout_->addWidget(content_);
    showTrailing();
}

bool PopoverSpaceRow::offersSend() const
{
    return Settings::shared().moveWindowEnabled() && frontApp_ && !desktop_.isCurrent
        && frontApp_->processIdentifier != platform::Workspace::currentProcessIdentifier();
}

void PopoverSpaceRow::showTrailing()
{
    if (keyCap_)
        keyCap_->setVisible(!hovering_);
    if (currentDot_)
        currentDot_->setVisible(!hovering_);
    if (sendButton_)
        sendButton_->setVisible(hovering_);
    if (editButton_)
        editButton_->setVisible(hovering_);
}

void PopoverSpaceRow::setHovering(bool hovering)
{
    if (hovering == hovering_)
        return;
    hovering_ = hovering;
    showTrailing();
    QWidget::update();
}

void PopoverSpaceRow::click()
{
    AppCommands& commands = AppEnvironment::commands(this);
    if (desktop_.isCurrent)
        commands.closePopover();
    else
        commands.switchTo(desktop_);
}

void PopoverSpaceRow::sendWindow()
{
    SpaceEngine::shared().moveFrontWindow(desktop_, frontApp_, Settings::shared().moveFollow());
    AppEnvironment::commands(this).closePopover();
}

void PopoverSpaceRow::edit()
{
    platform::Workspace::activate(platform::Workspace::currentProcessIdentifier());
    model_.setPage(PopoverPage::edit(desktop_));
}

void PopoverSpaceRow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    RowHighlight::paint(painter, rect(), hovering_, desktop_.isCurrent, 10);
}

void PopoverSpaceRow::enterEvent(QEnterEvent*)
{
    setHovering(true);
}

void PopoverSpaceRow::leaveEvent(QEvent*)
{
    setHovering(false);
}

void PopoverSpaceRow::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        click();
}
