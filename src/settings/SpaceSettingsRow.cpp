#include "settings/SpaceSettingsRow.h"

#include "engine/SpaceEngine.h"
#include "settings/EditorPopover.h"
#include "settings/SettingsTexts.h"
#include "settings/SettingsWidgets.h"
#include "settings/SpaceTileButton.h"
#include "store/KeyNames.h"
#include "store/Settings.h"
#include "store/SpaceStore.h"
#include "ui/AppIconsRow.h"
#include "ui/DarkField.h"
#include "ui/IconButton.h"
#include "ui/KeyCap.h"
#include "ui/KitShapes.h"
#include "ui/KitText.h"
#include "ui/Theme.h"
#include "ui/ViewEnvironment.h"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>

#include <cmath>

namespace {

constexpr double tileSize = 30;
constexpr int rowSpacing = 12;
constexpr int rowPadding = 8;
constexpr int appsWidth = 100;
constexpr int currentWidth = 62;
constexpr int shortcutWidth = 64;
constexpr int numberWidth = 70;
constexpr double jumpSize = 26;
constexpr double dimmed = 0.35;
constexpr double numberShortcutOpacity = 0.65;
const QString settingsReason = QStringLiteral("settings");

// "Current" on a soft capsule in the tint colour.
class CurrentPill : public QWidget {
public:
    CurrentPill()
    {
        setObjectName(QStringLiteral("currentPill"));
        setFixedSize(sizeHint());
    }

    static QString text() { return QStringLiteral("Current"); }
    static QFont font() { return Theme::font(10.5, QFont::DemiBold); }

    QSize sizeHint() const override
    {
        const QSizeF label = KitText::measure(text(), font());
        return {int(std::ceil(label.width() + 14)), int(std::ceil(label.height() + 6))};
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const TintPalette palette = ViewEnvironment::tintPalette(this);
        KitShapes::fill(painter, KitShapes::capsule(rect()), palette.soft);
        KitText::drawCentred(painter, text(), font(), palette.color, QRectF(rect()).center());
    }
};

void setOpacity(QWidget* widget, double opacity)
{
    if (opacity >= 1) {
        widget->setGraphicsEffect(nullptr);
        return;
    }
    auto* effect = new QGraphicsOpacityEffect;
    effect->setOpacity(opacity);
    widget->setGraphicsEffect(effect);
}

QWidget* fixedColumn(int width)
{
    auto* column = new QWidget;
    column->setFixedWidth(width);
    auto* layout = new QHBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    return column;
}

} // namespace

SpaceSettingsRow::SpaceSettingsRow(const Desktop& desktop, const QList<SpaceApp>& apps,
                                   const SettingsServices& services, QWidget* parent)
    : QWidget(parent)
    , desktop_(desktop)
    , services_(services)
    , lastStoredName_(desktop.meta().name)
{
    setObjectName(QStringLiteral("spaceRow"));
    setAttribute(Qt::WA_Hover);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, rowPadding, 0, rowPadding);
    layout->setSpacing(rowSpacing);

    tile_ = new SpaceTileButton(desktop_, tileSize);
    tile_->setToolTip(QStringLiteral("Icon, color and shortcut"));
    connect(tile_, &QAbstractButton::clicked, this, &SpaceSettingsRow::openEditor);
    layout->addWidget(tile_, 0, Qt::AlignVCenter);

    name_ = new QLineEdit;
    name_->setObjectName(QStringLiteral("nameField"));
    name_->setFont(Theme::font(13.5, QFont::Medium));
    QPalette fieldPalette = name_->palette();
    fieldPalette.setColor(QPalette::Text, Theme::text());
    fieldPalette.setColor(QPalette::PlaceholderText, Theme::textTertiary());
    name_->setPalette(fieldPalette);
    name_->setText(lastStoredName_);
    name_->setPlaceholderText(SettingsTexts::desktopNumber(desktop_.number));
    connect(name_, &QLineEdit::textChanged, this, &SpaceSettingsRow::saveName);
    connect(name_, &QLineEdit::returnPressed, this, &SpaceSettingsRow::saveName);
    layout->addWidget(new DarkField(name_), 1, Qt::AlignVCenter);

    appsColumn_ = fixedColumn(appsWidth);
    layout->addWidget(appsColumn_, 0, Qt::AlignVCenter);
    currentColumn_ = fixedColumn(currentWidth);
    layout->addWidget(currentColumn_, 0, Qt::AlignVCenter);
    shortcutColumn_ = fixedColumn(shortcutWidth);
    layout->addWidget(shortcutColumn_, 0, Qt::AlignVCenter);

    number_ = SettingsWidgets::label({}, Theme::font(11), Theme::textTertiary());
    number_->setObjectName(QStringLiteral("numberLabel"));
    number_->setFixedWidth(numberWidth);
    number_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    layout->addWidget(number_, 0, Qt::AlignVCenter);

    jump_ = new IconButton(QStringLiteral("arrow.right"), jumpSize);
    jump_->setObjectName(QStringLiteral("jumpButton"));
    jump_->setToolTip(QStringLiteral("Go to this space"));
    connect(jump_, &QAbstractButton::clicked, this, &SpaceSettingsRow::jump);
    layout->addWidget(jump_, 0, Qt::AlignVCenter);

    refreshColumns(apps);
}

SpaceSettingsRow::~SpaceSettingsRow()
{
    if (popover_)
        popover_->dismissSilently();
}

void SpaceSettingsRow::refresh(const Desktop& desktop, const QList<SpaceApp>& apps)
{
    desktop_ = desktop;
    tile_->setDesktop(desktop_);
    name_->setPlaceholderText(SettingsTexts::desktopNumber(desktop_.number));
    const QString stored = desktop_.meta().name;
    if (stored != lastStoredName_) {
        lastStoredName_ = stored;
        if (stored != name_->text())
            name_->setText(stored);
    }
    refreshColumns(apps);
}

void SpaceSettingsRow::refreshColumns(const QList<SpaceApp>& apps)
{
    if (apps_ && apps == shownApps_)
        return refreshMarks();
    shownApps_ = apps;
    SettingsWidgets::clear(static_cast<QHBoxLayout*>(appsColumn_->layout()));
    apps_ = new AppIconsRow(apps, 16, false, {}, 5);
    apps_->setObjectName(QStringLiteral("appIcons"));
    static_cast<QHBoxLayout*>(appsColumn_->layout())->addWidget(apps_, 0, Qt::AlignLeft | Qt::AlignVCenter);
    static_cast<QHBoxLayout*>(appsColumn_->layout())->addStretch(1);
    refreshMarks();
}

void SpaceSettingsRow::refreshMarks()
{

    auto* currentLayout = static_cast<QHBoxLayout*>(currentColumn_->layout());
    if (desktop_.isCurrent && !currentPill_) {
        currentPill_ = new CurrentPill;
        currentLayout->addWidget(currentPill_, 0, Qt::AlignCenter);
    } else if (!desktop_.isCurrent && currentPill_) {
        SettingsWidgets::clear(currentLayout);
        currentPill_ = nullptr;
    }

    auto* shortcutLayout = static_cast<QHBoxLayout*>(shortcutColumn_->layout());
    SettingsWidgets::clear(shortcutLayout);
    keyCap_ = nullptr;
    if (const std::optional<Hotkey> hotkey = desktop_.effectiveHotkey(services_.settings)) {
        keyCap_ = new KeyCap(hotkey->display());
        keyCap_->setObjectName(QStringLiteral("keyCap"));
        keyCap_->setToolTip(KeyNames::describe(*hotkey));
        setOpacity(keyCap_, desktop_.hotkey() ? 1.0 : numberShortcutOpacity);
        shortcutLayout->addStretch(1);
        shortcutLayout->addWidget(keyCap_, 0, Qt::AlignRight | Qt::AlignVCenter);
    }

    number_->setText(SettingsTexts::desktopNumber(desktop_.number));
    jump_->setEnabled(!desktop_.isCurrent);
    setOpacity(jump_, desktop_.isCurrent ? dimmed : 1.0);
}

void SpaceSettingsRow::saveName()
{
    const QString trimmed = SettingsTexts::storedName(name_->text());
    if (trimmed == desktop_.meta().name)
        return;
    services_.store.change(desktop_.managedID(), [&trimmed](SpaceMeta& meta) { meta.name = trimmed; });
}

void SpaceSettingsRow::openEditor()
{
    if (editing_)
        return;
    editing_ = true;
    QPointer<SpaceSettingsRow> weak(this);
    popover_ = new EditorPopover(desktop_, tile_, EditorPopover::Edge::trailing, [weak] {
        if (!weak)
            return;
        weak->editing_ = false;
        weak->QWidget::update();
    });
    popover_->open();
}

void SpaceSettingsRow::jump()
{
    if (desktop_.isCurrent)
        return;
    services_.engine.switchTo(desktop_, settingsReason);
}

void SpaceSettingsRow::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    setHovering(true);
}

void SpaceSettingsRow::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    setHovering(false);
}

void SpaceSettingsRow::setHovering(bool hovering)
{
    hovering_ = hovering;
    tile_->setShadowOpacity(hovering ? 0.5 : 0.25);
}
