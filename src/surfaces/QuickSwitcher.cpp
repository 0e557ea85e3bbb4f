#include "surfaces/QuickSwitcher.h"

#include "engine/ScreenLookup.h"
#include "engine/SpaceEngine.h"
#include "platform/KeyCodes.h"
#include "platform/KeyWindow.h"
#include "platform/Scheduler.h"
#include "platform/Screens.h"
#include "platform/WindowFrame.h"
#include "store/LogFile.h"
#include "surfaces/SwitcherList.h"
#include "ui/Glyph.h"
#include "ui/KitShapes.h"
#include "ui/Theme.h"

#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
// Collection behaviour: moves to the active space, transient, full-screen
// auxiliary.
constexpr quint32 panelBehavior =
    FloatingPanel::moveToActiveSpace | FloatingPanel::transient | FloatingPanel::fullScreenAuxiliary;
constexpr double initialHeight = 300;
constexpr double iconInset = 18;
constexpr double iconSide = 22;
constexpr double iconToField = 10;
constexpr double fieldFontSize = 19;
constexpr double iconPointSize = 16;
// The card's centre sits this share of the visible height above the middle.
constexpr double liftShare = 0.12;
constexpr double borderWidth = 1;
} // namespace

QuickSwitcher::QuickSwitcher(SpaceEngine& engine)
    : FloatingPanel({.size = QSizeF(panelWidth, initialHeight),
                     .level = WindowLevel::popUpMenu,
                     .interactive = true,
                     .shadow = true,
                     .behavior = panelBehavior,
                     .animation = FloatingPanel::animationUtilityWindow})
    , engine_(engine)
    , openedAt_(-std::numeric_limits<double>::infinity())
{
    setObjectName(QStringLiteral("quickSwitcher"));
    auto* card = new QWidget;
    card->setObjectName(QStringLiteral("switcherCard"));

    searchIcon_ = new QLabel(card);
    searchIcon_->setObjectName(QStringLiteral("searchIcon"));
    searchIcon_->setAccessibleDescription(QStringLiteral("Search"));
    searchIcon_->setAlignment(Qt::AlignCenter);
    if (const GlyphImagePtr icon =
            Glyph::symbolImage(QStringLiteral("magnifyingglass"), iconPointSize, Theme::switcherSearchIcon(), QFont::Medium)) {
        searchIcon_->setPixmap(QPixmap::fromImage(icon->render(2)));
    }

    field_ = new QLineEdit(card);
    field_->setObjectName(QStringLiteral("searchField"));
    field_->setFrame(false);
    field_->setFont(Theme::font(fieldFontSize));
    field_->setPlaceholderText(QStringLiteral("Jump to a space…"));
    field_->setAttribute(Qt::WA_MacShowFocusRect, false);
    QPalette palette = field_->palette();
    palette.setColor(QPalette::Text, Theme::switcherFieldText());
    palette.setColor(QPalette::PlaceholderText, Theme::switcherPlaceholder());
    palette.setColor(QPalette::Base, Qt::transparent);
    field_->setPalette(palette);
    field_->setAutoFillBackground(false);
    // Only the user's edits, not the panel's own clearing, reach the model.
    connect(field_, &QLineEdit::textEdited, this, &QuickSwitcher::textChanged);

    divider_ = new QWidget(card);
    divider_->setObjectName(QStringLiteral("searchDivider"));
    divider_->setAutoFillBackground(true);
    QPalette dividerPalette = divider_->palette();
    dividerPalette.setColor(QPalette::Window, Theme::switcherDivider());
    divider_->setPalette(dividerPalette);

    list_ = new SwitcherList(model_, card);
    setContentView(card);
    setCardShape([](const QSizeF& size) { return KitShapes::roundedRect(QRectF(QPointF(0, 0), size), cornerRadius); },
                  Theme::switcherCard());

    QPointer<QuickSwitcher> self(this);
    model_.onActivate = [self](const Desktop& desktop) {
        if (self)
            self->activate(desktop);
    };
    model_.hoverAllowed = [self] { return !self || self->hoverAllowed(); };
    platform::KeyWindow::setResignHandler(this, [self] {
        if (self)
            self->resignKeyWindow();
    });
    spaceSubscription_ = platform::NotificationCenter::defaultCenter().observe(
        EngineNotifications::activeSpaceDidChange, [self] {
            if (self)
                self->spaceChanged();
        });
    placeChildren();
}

QuickSwitcher::~QuickSwitcher()
{
    if (keyMonitor_)
        platform::KeyEvents::removeMonitor(*keyMonitor_);
}

void QuickSwitcher::toggle()
{
    if (isVisible())
        close();
    else
        show();
}

void QuickSwitcher::show()
{
    engine_.refresh(false);
    engine_.appsByDesktop(true);
    const QList<Desktop> desktops = engine_.desktops();
    SwitcherModel::AppsMap apps;
    apps.reserve(desktops.size());
    for (const Desktop& desktop : desktops)
        apps.insert(desktop.id(), engine_.apps(desktop));
    std::optional<quint64> currentID;
    if (const auto active = engine_.activeDesktop())
        currentID = active->id();
    model_.load(desktops, std::move(apps), currentID, engine_.lastDesktopID());
    field_->clear();
    openedAt_ = platform::now();
    layout();
    platform::KeyWindow::makeKeyAndOrderFront(this);
    platform::KeyWindow::makeFirstResponder(this, field_);
    if (keyMonitor_)
        platform::KeyEvents::removeMonitor(*keyMonitor_);
    QPointer<QuickSwitcher> self(this);
    keyMonitor_ = platform::KeyEvents::addLocalMonitor(
        platform::KeyEvents::maskFor(platform::KeyEventType::keyDown),
        [self](const platform::KeyEvent& event) -> std::optional<platform::KeyEvent> {
            if (!self)
                return event;
            return self->handleKeyDown(event);
        });
}

void QuickSwitcher::close()
{
    if (keyMonitor_)
        platform::KeyEvents::removeMonitor(*keyMonitor_);
    keyMonitor_.reset();
    platform::KeyWindow::orderOut(this);
}

void QuickSwitcher::layout()
{
    const int shown = std::min(std::max(int(model_.rows().size()), 1), maximumShownRows);
    const double height = searchRowHeight + rowHeight * shown + padding + footerHeight;
    std::optional<platform::Screen> screen = platform::Screens::mainScreen();
    if (!screen)
        screen = ScreenLookup::primary();
    if (!screen)
        return;
    const QRectF visible = screen->visibleFrame;
    const double x = visible.center().x() - panelWidth / 2;
    // Lifted above the middle, but never past the top of the visible frame:
    // on a small screen the lift alone would put the field under the bar.
    double y = std::min(visible.center().y() - height / 2 + liftShare * visible.height(),
                        visible.y() + visible.height() - height);
    if (isVisible()) {
        // While the user types, the card grows and shrinks at its bottom:
        // the field stays under the text being typed. Screen y grows
        // upwards, so the top edge is the frame's y plus its height.
        const QRectF now = platform::WindowFrame::frame(this);
        y = std::max(visible.y(), now.y() + now.height() - height);
    }
    platform::WindowFrame::setFrame(this, QRectF(x, y, panelWidth, height));
    update();
}

void QuickSwitcher::activate(const Desktop& desktop)
{
    const std::optional<SpaceApp> app = model_.openingApp(desktop);
    close();
    // The list is a snapshot from the opening; the desktop may be gone since.
    const std::optional<Desktop> live = engine_.desktopWithID(desktop.id());
    if (!live) {
        LogFile::switches().write(QStringLiteral("Quick Switcher: desktop ") + QString::number(desktop.number)
                                  + QStringLiteral(" is gone; nothing to switch to"));
        return;
    }
    if (app)
        engine_.switchToThenActivate(*live, *app, QStringLiteral("switcher app"));
    else
        engine_.switchTo(*live, QStringLiteral("switcher"));
}

bool QuickSwitcher::hoverAllowed() const
{
    return platform::now() - openedAt_ > hoverGate;
}

std::optional<platform::KeyEvent> QuickSwitcher::handleKeyDown(const platform::KeyEvent& event)
{
    namespace Key = platform::KeyCode;
    if (!isVisible())
        return event;
    switch (event.keyCode) {
    case Key::returnKey:
    case Key::keypadEnter:
        if (const auto selected = model_.selectedDesktop())
            activate(*selected);
        else
            close();
        return std::nullopt;
    case Key::tab:
        if (const auto last = engine_.lastDesktop())
            activate(*last);
        return std::nullopt;
    case Key::escape:
        close();
        return std::nullopt;
    case Key::downArrow:
        model_.move(+1);
        return std::nullopt;
    case Key::upArrow:
        model_.move(-1);
        return std::nullopt;
    default:
        break;
    }
    if (!field_->text().isEmpty() || (event.flags & typingModifiers) != 0)
        return event;
    const auto& digits = Key::digitRow;
    const auto found = std::find(digits.begin(), digits.end(), event.keyCode);
    if (found == digits.end())
        return event;
    if (const auto desktop = engine_.desktopWithNumber(qint64(found - digits.begin()) + 1))
        activate(*desktop);
    return std::nullopt;
}

void QuickSwitcher::textChanged(const QString& text)
{
    model_.setQuery(text);
    layout();
}

void QuickSwitcher::resignKeyWindow()
{
    if (isVisible())
        close();
}

void QuickSwitcher::spaceChanged()
{
    if (isVisible() && !platform::KeyWindow::isKey(this))
        close();
}

void QuickSwitcher::resizeEvent(QResizeEvent* event)
{
    FloatingPanel::resizeEvent(event);
    placeChildren();
}

void QuickSwitcher::placeChildren()
{
    const double w = QWidget::width();
    const double h = QWidget::height();
    searchIcon_->setGeometry(int(iconInset), int(iconInset), int(iconSide), int(iconSide));
    const int fieldLeft = int(iconInset + iconSide + iconToField);
    const int fieldHeight = field_->sizeHint().height();
    const int iconMiddle = int(iconInset + iconSide / 2);
    field_->setGeometry(fieldLeft, iconMiddle - fieldHeight / 2, int(w - iconInset) - fieldLeft, fieldHeight);
    divider_->setGeometry(0, int(searchRowHeight), int(w), 1);
    list_->setGeometry(0, int(searchRowHeight) + 1, int(w), std::max(0, int(h - searchRowHeight - 1)));
    list_->setCardCorners(cornerRadius, borderWidth);
}

void QuickSwitcher::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing);
    const QRectF bounds = rect();
    painter.setClipPath(KitShapes::roundedRect(bounds, cornerRadius));
    KitShapes::fill(painter, KitShapes::roundedRect(bounds, cornerRadius), Theme::switcherCard());
    KitShapes::strokeBorder(painter, bounds, cornerRadius, Theme::switcherBorder(), borderWidth);
}
