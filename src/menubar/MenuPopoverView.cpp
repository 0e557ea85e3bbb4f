#include "menubar/MenuPopoverView.h"

#include "engine/SpaceEngine.h"
#include "menubar/PopoverModel.h"
#include "menubar/PopoverNotice.h"
#include "menubar/PopoverSpaceRow.h"
#include "menubar/SpaceStripView.h"
#include "store/Format.h"
#include "store/KeyNames.h"
#include "store/Settings.h"
#include "store/Timers.h"
#include "switching/Accessibility.h"
#include "ui/AccentButton.h"
#include "ui/AppCommands.h"
#include "ui/EditSpaceView.h"
#include "ui/ElidedLabel.h"
#include "ui/Glyph.h"
#include "ui/HostedWindow.h"
#include "ui/IconButton.h"
#include "ui/KeyCap.h"
#include "ui/RowDivider.h"
#include "ui/SectionHeader.h"
#include "ui/SoftButton.h"
#include "ui/Theme.h"
#include "ui/TileShadow.h"
#include "ui/TintPalette.h"
#include "ui/ViewEnvironment.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr double headerTileSize = 40;
// The header tile's glow in its colour: opacity, radius, and how far down it
// is cast, in points.
constexpr double headerGlowOpacity = 0.45;
constexpr double headerGlowRadius = 10;
constexpr double headerGlowOffset = 4;
constexpr int footerButtonSize = 28;

QLabel* textLabel(const QString& text, const QFont& font, const QColor& color, const QString& name,
                  QWidget* parent = nullptr)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    QString line = text;
    line.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    label->setText(line);
    return label;
}

void clear(QVBoxLayout* box)
{
    while (QLayoutItem* item = box->takeAt(0)) {
        if (QWidget* widget = item->widget()) {
            // Out of the tree at once; deleted once its own events are done.
            widget->hide();
            widget->setParent(nullptr);
            widget->deleteLater();
        }
        delete item;
    }
}

QColor withAlpha(QColor color, double alpha)
{
    color.setAlphaF(float(color.alphaF() * alpha));
    return color;
}

} // namespace

MenuPopoverView::MenuPopoverView(PopoverModel& model, QWidget* parent)
    : QWidget(parent)
    , model_(model)
    , terminate_([] { QCoreApplication::quit(); })
{
    setObjectName(QStringLiteral("menuPopover"));
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    root->setSizeConstraint(QLayout::SetFixedSize);

    listPage_ = new QWidget(this);
    listPage_->setObjectName(QStringLiteral("listPage"));
    listPage_->installEventFilter(this);
    listPage_->setFixedWidth(popoverWidth);
    auto* page = new QVBoxLayout(listPage_);
    page->setContentsMargins(0, 0, 0, 0);
    page->setSpacing(0);

    strip_ = new SpaceStripView({}, std::nullopt, [this](const Desktop& desktop) {
        AppEnvironment::commands(this).switchTo(desktop);
    });
    auto* stripBox = new QVBoxLayout;
    stripBox->setContentsMargins(12, 12, 12, 10);
    stripBox->addWidget(strip_);
    page->addLayout(stripBox);

    header_ = new QWidget(listPage_);
    headerBox_ = new QVBoxLayout(header_);
    headerBox_->setContentsMargins(14, 0, 14, 12);
    page->addWidget(header_);
    page->addWidget(new RowDivider(listPage_));

    listArea_ = new QWidget(listPage_);
    listAreaBox_ = new QVBoxLayout(listArea_);
    listAreaBox_->setContentsMargins(0, 0, 0, 0);
    listContent_ = new QWidget;
    listContent_->setObjectName(QStringLiteral("desktopList"));
    listBox_ = new QVBoxLayout(listContent_);
    listBox_->setContentsMargins(8, 6, 8, 6);
    listBox_->setSpacing(2);
    page->addWidget(listArea_);

    noticeArea_ = new QWidget(listPage_);
    noticeBox_ = new QVBoxLayout(noticeArea_);
    noticeBox_->setContentsMargins(0, 0, 0, 0);
    noticeBox_->setSpacing(0);
    page->addWidget(noticeArea_);
    page->addWidget(new RowDivider(listPage_));

    footer_ = new QWidget(listPage_);
    footerBox_ = new QVBoxLayout(footer_);
    footerBox_->setContentsMargins(12, 10, 12, 10);
    page->addWidget(footer_);
    root->addWidget(listPage_);

    connect(&model_, &PopoverModel::pageChanged, this, [this] { reload(); });
    connect(&model_, &PopoverModel::updateOfferChanged, this, [this] { setNeedsReload(); });
    connect(&SpaceEngine::shared(), &SpaceEngine::changed, this, [this] { setNeedsReload(); });
    // Fires before the write: read the settings once it is done.
    connect(&Settings::shared(), &Settings::objectWillChange, this, [this] { setNeedsReload(); });
    connect(&Accessibility::shared(), &Accessibility::trustedChanged, this, [this] { setNeedsReload(); });
    connect(&Accessibility::shared(), &Accessibility::askedAgainAfterUpdateChanged, this,
            [this] { setNeedsReload(); });
    subscriptions_.push_back(platform::NotificationCenter::defaultCenter().observe(
        QStringLiteral("Tessaroom.spaceMetaChanged"), [this] { setNeedsReload(); }));
    subscriptions_.push_back(platform::NotificationCenter::defaultCenter().observe(
        EngineNotifications::spacesDidChange, [this] { setNeedsReload(); }));
    reload();
}

MenuPopoverView::~MenuPopoverView() = default;

void MenuPopoverView::setNeedsReload()
{
    needsReload_ = true;
    if (reloadScheduled_)
        return;
    reloadScheduled_ = true;
    runAfter(0, [weak = QPointer<MenuPopoverView>(this)] {
        if (!weak)
            return;
        weak->reloadScheduled_ = false;
        weak->reloadIfNeeded();
    });
}

void MenuPopoverView::reloadIfNeeded()
{
    if (needsReload_)
        reload();
}

void MenuPopoverView::reload()
{
    needsReload_ = false;
    showPage();
    if (model_.page().kind == PopoverPage::Kind::list) {
        std::optional<Desktop> current = SpaceEngine::shared().activeDesktop();
        strip_->setDesktops(SpaceEngine::shared().desktops(), current);
        buildHeader();
        buildList();
        buildNotices();
        buildFooter();
    }
    if (QLayout* box = layout())
        box->activate();
    adjustSize();
}

void MenuPopoverView::showPage()
{
    const PopoverPage& page = model_.page();
    const bool editing = page.kind == PopoverPage::Kind::edit && page.desktop;
    if (editing) {
        const bool same = editor_ && shownPage_ == page;
        if (!same) {
            if (editor_) {
                editor_->hide();
                editor_->deleteLater();
            }
            // The desktop as it is now; the page's own copy when it has gone.
            const Desktop desktop = SpaceEngine::shared().desktopWithID(page.desktop->id()).value_or(*page.desktop);
            editor_ = new EditSpaceView(desktop, true, [weak = QPointer<MenuPopoverView>(this)] {
                if (weak)
                    weak->model_.setPage(PopoverPage::list());
            });
            layout()->addWidget(editor_);
        }
        editor_->show();
        listPage_->hide();
    } else {
        if (editor_) {
            editor_->hide();
            editor_->deleteLater();
            editor_ = nullptr;
        }
        listPage_->show();
    }
    shownPage_ = page;
}

void MenuPopoverView::buildHeader()
{
    clear(headerBox_);
    headerTile_ = nullptr;
    listPage_->update();
    const Settings& settings = Settings::shared();
    SpaceEngine& engine = SpaceEngine::shared();
    auto* row = new QWidget;
    auto* box = new QHBoxLayout(row);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(12);
    headerBox_->addWidget(row);
    const std::optional<Desktop> current = engine.activeDesktop();
    if (!current) {
        box->addWidget(textLabel(QStringLiteral("No desktops found"), Theme::font(13), Theme::textSecondary(),
                                 QStringLiteral("headerName")));
        row->show();
        return;
    }
    auto* tile = new QLabel;
    tile->setObjectName(QStringLiteral("headerTile"));
    tile->setPixmap(QPixmap::fromImage(Glyph::image(*current, std::nullopt, false, headerTileSize)->render(2)));
    tile->setFixedSize(int(headerTileSize), int(headerTileSize));
    box->addWidget(tile);
    headerTile_ = tile;
    headerGlow_ = current->tileColor();

    auto* column = new QVBoxLayout;
    column->setSpacing(2);
    auto* name = new ElidedLabel;
    name->setObjectName(QStringLiteral("headerName"));
    name->setFont(Theme::displayFont(17));
    QPalette palette = name->palette();
    palette.setColor(QPalette::WindowText, Theme::text());
    name->setPalette(palette);
    name->setFullText(current->displayName());
    name->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    column->addWidget(name);

    auto* subtitle = new QHBoxLayout;
    subtitle->setSpacing(6);
    subtitle->addWidget(textLabel(QStringLiteral("Desktop ") + QString::number(current->number)
                                      + QStringLiteral(" of ") + QString::number(engine.desktops().size()),
                                  Theme::font(11), Theme::textSecondary(), QStringLiteral("headerSubtitle")));
    const double seconds = current->meta().seconds;
    if (settings.trackTime() && seconds >= 60) {
        subtitle->addWidget(textLabel(QStringLiteral("·"), Theme::font(11), Theme::textSecondary(), {}));
        subtitle->addWidget(textLabel(Format::duration(seconds), Theme::font(11), Theme::textSecondary(),
                                      QStringLiteral("headerTime")));
    }
    if (const auto hotkey = current->effectiveHotkey(settings)) {
        subtitle->addWidget(textLabel(QStringLiteral("·"), Theme::font(11), Theme::textSecondary(), {}));
        subtitle->addWidget(textLabel(hotkey->display(), Theme::displayFont(11, QFont::DemiBold),
                                      Theme::textSecondary(), QStringLiteral("headerShortcut")));
    }
    subtitle->addStretch(1);
    column->addLayout(subtitle);
    box->addLayout(column, 1);

    auto* edit = new IconButton(QStringLiteral("slider.horizontal.3"), footerButtonSize);
    edit->setObjectName(QStringLiteral("headerEditButton"));
    edit->setToolTip(QStringLiteral("Name, icon, color, shortcut"));
    const Desktop desktop = *current;
    connect(edit, &QAbstractButton::clicked, this, [this, desktop] {
        platform::Workspace::activate(platform::Workspace::currentProcessIdentifier());
        model_.setPage(PopoverPage::edit(desktop));
    });
    box->addWidget(edit);
    // Widgets added to a shown parent stay hidden until shown.
    row->show();
}

int MenuPopoverView::lineCount(qsizetype desktops, qsizetype displays)
{
    return int(desktops + (displays >= 2 ? displays : 0));
}

double MenuPopoverView::listHeightFor(int lines)
{
    return rowHeight * std::min(lines, visibleLines) + listPadding;
}

void MenuPopoverView::buildList()
{
    SpaceEngine& engine = SpaceEngine::shared();
    const bool flat = ViewEnvironment::rendersFlat(this);
    const QList<SkyLight::Display>& displays = engine.displays();
    const bool headers = displays.size() >= 2;

    // Take everything out; rows are kept and put back in order.
    while (QLayoutItem* item = listBox_->takeAt(0))
        delete item;
    qDeleteAll(sectionHeaders_);
    sectionHeaders_.clear();
    QHash<quint64, PopoverSpaceRow*> kept;
    rowOrder_.clear();
    for (qsizetype index = 0; index < displays.size(); ++index) {
        if (headers) {
            auto* section = new QWidget(listContent_);
            auto* box = new QVBoxLayout(section);
            box->setContentsMargins(12, index == 0 ? 6 : 12, 12, 2);
            box->addWidget(new SectionHeader(QStringLiteral("Display ") + QString::number(index + 1), section));
            section->setObjectName(QStringLiteral("displayHeader"));
            sectionHeaders_.append(section);
            listBox_->addWidget(section);
            section->show();
        }
        QList<Desktop> onDisplay = engine.desktopsOnDisplay(displays[index].uuid);
        if (flat && onDisplay.size() > visibleLines)
            onDisplay = onDisplay.mid(0, visibleLines);
        for (const Desktop& desktop : onDisplay) {
            PopoverSpaceRow* row = rowsByID_.take(desktop.id());
            const QList<SpaceApp> apps = engine.apps(desktop);
            if (row)
                row->update(desktop, apps, model_.frontApp);
            else
                row = new PopoverSpaceRow(desktop, apps, model_.frontApp, model_, listContent_);
            kept.insert(desktop.id(), row);
            rowOrder_.append(row);
            listBox_->addWidget(row);
            row->show();
        }
    }
    qDeleteAll(rowsByID_);
    rowsByID_ = kept;

    const int lines = lineCount(engine.desktops().size(), displays.size());
    if (flat) {
        if (scroll_) {
            scroll_->takeWidget();
            delete scroll_;
            scroll_ = nullptr;
        }
        if (listContent_->parentWidget() != listArea_) {
            listContent_->setParent(listArea_);
            listAreaBox_->addWidget(listContent_);
        }
        listContent_->show();
    } else {
        if (!scroll_) {
            scroll_ = new QScrollArea(listArea_);
            scroll_->setObjectName(QStringLiteral("listScroll"));
            scroll_->setFrameShape(QFrame::NoFrame);
            scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            scroll_->setWidgetResizable(true);
            scroll_->viewport()->setAutoFillBackground(false);
            scroll_->setAutoFillBackground(false);
            listAreaBox_->addWidget(scroll_);
            scroll_->setWidget(listContent_);
            listContent_->setAutoFillBackground(false);
        }
        scroll_->setFixedHeight(int(std::lround(listHeightFor(lines))));
    }
}

void MenuPopoverView::buildNotices()
{
    clear(noticeBox_);
    notices_.clear();
    const TintPalette& blue = TintPalette::blue();
    const auto add = [this](PopoverNotice* notice) {
        auto* inset = new QWidget;
        auto* box = new QVBoxLayout(inset);
        box->setContentsMargins(10, 0, 10, 8);
        box->addWidget(notice);
        noticeBox_->addWidget(inset);
        inset->show();
        notices_.append(notice);
    };
    if (Settings::shared().presenting()) {
        auto* turnOff = new AccentButton(QStringLiteral("Turn Off"), false);
        turnOff->setObjectName(QStringLiteral("turnOffButton"));
        connect(turnOff, &QAbstractButton::clicked, this,
                [this] { AppEnvironment::commands(this).togglePresentation(); });
        add(new PopoverNotice({QStringLiteral("eye.slash.fill"), blue.color, blue.soft,
                               QStringLiteral("Presentation mode is on"),
                               QStringLiteral("Every desktop shows as its number. Your names are safe.")},
                              turnOff));
    }
    if (const auto& offer = model_.updateOffer()) {
        add(new PopoverNotice(
            {QStringLiteral("arrow.down.circle.fill"), blue.color, blue.soft,
             QStringLiteral("Tessaroom ") + offer->version + QStringLiteral(" is out"),
             QStringLiteral("Released ") + offer->releasedText
                 + QStringLiteral(". What's new and the download are in Settings.")},
            PopoverNotice::symbol(QStringLiteral("chevron.right"), 11, Theme::textTertiary()), [this] {
                AppCommands& commands = AppEnvironment::commands(this);
                commands.closePopover();
                commands.openSettings(SettingsPage::about);
            }));
    }
    const Accessibility& access = Accessibility::shared();
    if (!access.trusted()) {
        const QString body = access.askedAgainAfterUpdate()
            ? QStringLiteral("Tessaroom was updated, so macOS asks once more. Tick Tessaroom in the list.")
            : QStringLiteral("Needed for names in Mission Control and instant switching. Already ticked? Turn it off "
                             "and on.");
        add(new PopoverNotice({QStringLiteral("exclamationmark.triangle.fill"), Theme::amber(),
                               withAlpha(Theme::amber(), 0.12), QStringLiteral("Accessibility is off"), body},
                              PopoverNotice::symbol(QStringLiteral("arrow.up.forward.square"), 13,
                                                    Theme::textTertiary()),
                              [] { Accessibility::shared().openSystemSettings(); }));
    }
    noticeArea_->setVisible(!notices_.isEmpty());
}

void MenuPopoverView::buildFooter()
{
    clear(footerBox_);
    const Settings& settings = Settings::shared();
    auto* row = new QWidget;
    auto* box = new QHBoxLayout(row);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(8);
    footerBox_->addWidget(row);

    const auto iconButton = [this, box](const QString& symbol, const QString& name, const QString& tip,
                                        std::function<void(AppCommands&)> then) {
        auto* button = new IconButton(symbol, footerButtonSize);
        button->setObjectName(name);
        button->setToolTip(tip);
        connect(button, &QAbstractButton::clicked, this, [this, then] {
            AppCommands& commands = AppEnvironment::commands(this);
            commands.closePopover();
            then(commands);
        });
        box->addWidget(button);
    };
    iconButton(QStringLiteral("gearshape.fill"), QStringLiteral("settingsButton"), QStringLiteral("Settings"),
               [](AppCommands& commands) { commands.openSettings(std::nullopt); });
    iconButton(QStringLiteral("rectangle.3.group"), QStringLiteral("missionControlButton"),
               QStringLiteral("Mission Control"), [](AppCommands& commands) { commands.openMissionControl(); });
    const auto switcherKey = settings.switcherHotkey();
    iconButton(QStringLiteral("magnifyingglass"), QStringLiteral("switcherButton"),
               QStringLiteral("Quick Switcher · ") + (switcherKey ? KeyNames::describe(*switcherKey) : QString()),
               [](AppCommands& commands) { commands.toggleQuickSwitcher(); });
    box->addStretch(1);

    if (const std::optional<Desktop> last = SpaceEngine::shared().lastDesktop()) {
        const auto jumpKey = settings.jumpBackHotkey();
        auto* jump = new SoftButton(QString());
        jump->setObjectName(QStringLiteral("jumpBackButton"));
        jump->setToolTip(QStringLiteral("Jump back · ") + (jumpKey ? KeyNames::describe(*jumpKey) : QString()));
        auto* inner = new QHBoxLayout(jump);
        inner->setContentsMargins(10, 5, 10, 5);
        inner->setSpacing(6);
        QWidget* symbol = PopoverNotice::symbol(QStringLiteral("arrow.uturn.backward"), 11, Theme::textSecondary());
        inner->addWidget(symbol);
        auto* name = new ElidedLabel;
        name->setObjectName(QStringLiteral("jumpBackName"));
        name->setFont(Theme::font(12, QFont::Medium));
        QPalette palette = name->palette();
        palette.setColor(QPalette::WindowText, Theme::textSecondary());
        name->setPalette(palette);
        name->setFullText(last->displayName());
        name->setAttribute(Qt::WA_TransparentForMouseEvents);
        inner->addWidget(name, 1);
        if (jumpKey) {
            auto* cap = new KeyCap(jumpKey->display(), 10);
            cap->setAttribute(Qt::WA_TransparentForMouseEvents);
            inner->addWidget(cap);
        }
        jump->setMaximumWidth(jumpBackMaxWidth);
        jump->setMinimumSize(std::min(jumpBackMaxWidth, inner->sizeHint().width()), inner->sizeHint().height());
        jump->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
        const Desktop target = *last;
        connect(jump, &QAbstractButton::clicked, this, [this, target] { AppEnvironment::commands(this).switchTo(target); });
        box->addWidget(jump);
    }
    auto* quitButton = new SoftButton(QStringLiteral("Quit"));
    quitButton->setObjectName(QStringLiteral("quitButton"));
    quitButton->setToolTip(QStringLiteral("Quit Tessaroom"));
    connect(quitButton, &QAbstractButton::clicked, this, [this] { quit(); });
    box->addWidget(quitButton);
    row->show();
}

void MenuPopoverView::quit()
{
    if (terminate_)
        terminate_();
}

QList<PopoverSpaceRow*> MenuPopoverView::rows() const
{
    return rowOrder_;
}

std::optional<double> MenuPopoverView::listHeight() const
{
    if (!scroll_)
        return std::nullopt;
    return scroll_->height() > 0 && scroll_->minimumHeight() == scroll_->maximumHeight()
        ? std::optional<double>(scroll_->maximumHeight())
        : std::nullopt;
}

QList<PopoverNotice*> MenuPopoverView::notices() const
{
    return notices_;
}

bool MenuPopoverView::event(QEvent* event)
{
    if (event->type() == ViewEnvironment::changeEvent())
        setNeedsReload();
    return QWidget::event(event);
}

void MenuPopoverView::keyPressEvent(QKeyEvent* event)
{
    const bool returnKey = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    auto* button = qobject_cast<QAbstractButton*>(focusWidget());
    if (returnKey && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && button && button->isEnabled()
        && isAncestorOf(button)) {
        event->accept();
        button->click();
        return;
    }
    if (!HostedWindow::performMenuKey(event))
        QWidget::keyPressEvent(event);
}

void MenuPopoverView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Theme::canvas());
}

bool MenuPopoverView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == listPage_ && event->type() == QEvent::Paint && headerTile_ && headerTile_->isVisible()) {
        QPainter painter(listPage_);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF tile(QPointF(headerTile_->mapTo(listPage_, QPoint(0, 0))), QSizeF(headerTile_->size()));
        TileShadow::paint(painter, tile, headerTileSize * Glyph::tileRadiusRatio, headerGlow_, headerGlowOpacity,
                          headerGlowRadius, headerGlowOffset);
    }
    return QWidget::eventFilter(watched, event);
}
