#include "ui/HostedWindow.h"

#include "platform/KeyWindow.h"
#include "platform/PreferenceDomain.h"
#include "platform/WindowFrame.h"
#include "platform/Workspace.h"
#include "ui/DarkAppearance.h"
#include "ui/Theme.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPointer>
#include <QScrollArea>
#include <QStyle>
#include <QVBoxLayout>
#include <QWidget>

#include <cmath>
#include <utility>

namespace {

Qt::WindowFlags flagsFor(bool miniaturizable)
{
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
        | Qt::WindowCloseButtonHint;
    if (miniaturizable)
        flags |= Qt::WindowMinimizeButtonHint;
    return flags;
}

std::optional<QPoint> parseOrigin(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (parts.size() != 4)
        return std::nullopt;
    bool xOk = false, yOk = false;
    const int x = parts[0].toInt(&xOk);
    const int y = parts[1].toInt(&yOk);
    if (!xOk || !yOk)
        return std::nullopt;
    return QPoint(x, y);
}

QList<QPointer<QAction>>& menuActions()
{
    static QList<QPointer<QAction>> actions;
    return actions;
}

// The window a menu key runs for, while its item runs.
QPointer<QWidget>& menuKeyWindowSlot()
{
    static QPointer<QWidget> window;
    return window;
}

// The size the content asks for (the size it was given, else its hint),
// within its own limits.
QSize preferredSize(const QWidget& content)
{
    QSize size = content.sizeHint();
    if (content.testAttribute(Qt::WA_Resized) || !size.isValid())
        size = content.size();
    return size.expandedTo(content.minimumSize()).boundedTo(content.maximumSize());
}

// The least size the content takes before it has to scroll.
QSize leastSize(const QWidget& content)
{
    const QSize hint = content.minimumSizeHint();
    return QSize(content.minimumWidth() > 0 ? content.minimumWidth() : std::max(hint.width(), 0),
                 content.minimumHeight() > 0 ? content.minimumHeight() : std::max(hint.height(), 0));
}

} // namespace

HostedWindow::HostedWindow(QWidget* rootView, std::optional<QSizeF> size, std::optional<QString> autosaveName,
                           bool miniaturizable)
    : window_(new QWidget(nullptr, flagsFor(miniaturizable)))
    , rootView_(rootView)
    , scroll_(new QScrollArea)
    , styleMask_(titledMask | closableMask | fullSizeContentViewMask | (miniaturizable ? miniaturizableMask : 0))
{
    // Asked before the scroll area sizes the content to its own.
    wanted_ = size ? QSize(int(std::ceil(size->width())), int(std::ceil(size->height())))
                   : preferredSize(*rootView_);
    auto* layout = new QVBoxLayout(window_);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    // Scrolls only when the screen is too small for the content; the window
    // is never a place to rest the keyboard focus.
    scroll_->setObjectName(QStringLiteral("hostedScroll"));
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setFocusPolicy(Qt::NoFocus);
    scroll_->setWidgetResizable(true);
    scroll_->setAutoFillBackground(false);
    scroll_->viewport()->setAutoFillBackground(false);
    const bool ownBackground = rootView_->autoFillBackground();
    scroll_->setWidget(rootView_);
    rootView_->setAutoFillBackground(ownBackground);
    layout->addWidget(scroll_);

    window_->setWindowTitle(QString());
    window_->setAttribute(Qt::WA_DeleteOnClose, false);
    // Holds the focus when no control has it, but is never a Tab stop.
    window_->setFocusPolicy(Qt::ClickFocus);
    DarkAppearance::apply(window_);
    QPalette palette = window_->palette();
    palette.setColor(QPalette::Window, Theme::windowBackground());
    window_->setPalette(palette);
    window_->setAutoFillBackground(true);

    window_->setFixedSize(wanted_);
    platform::WindowFrame::centreOnScreen(window_);
    if (autosaveName) {
        autosaveName_ = autosaveName;
        centred_ = !restoreFrame();
    }
    fit();
    window_->installEventFilter(this);
}

HostedWindow::~HostedWindow()
{
    delete window_;
}

void HostedWindow::show()
{
    fit();
    // Key, so a focus the closing menu hands back to another program as the
    // window opens comes back to it.
    platform::KeyWindow::makeKeyAndOrderFront(window_);
    if (QWidget* focused = window_->focusWidget())
        focused->clearFocus();
    window_->setFocus(Qt::OtherFocusReason);
    // In front of the other apps, even when it was already showing.
    platform::Workspace::activate(platform::Workspace::currentProcessIdentifier());
}

bool HostedWindow::isVisible() const
{
    return window_->isVisible();
}

void HostedWindow::close()
{
    window_->close();
}

QString HostedWindow::appearanceName() const
{
    return DarkAppearance::name();
}

QString HostedWindow::frameKey(const QString& autosaveName)
{
    return QStringLiteral("NSWindow Frame ") + autosaveName;
}

void HostedWindow::setMenuActions(const QList<QAction*>& actions)
{
    menuActions().clear();
    for (QAction* action : actions)
        menuActions().append(action);
}

bool HostedWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != window_)
        return false;
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
        // The window system tells the title bar's size only once the window
        // is on screen; the first fit counted with a guess.
        if (window_->isVisible() && platform::WindowFrame::decorations(window_) != fittedWith_) {
            fit();
            // Only the first real title bar re-centres: a later change (a
            // screen of another scale) must not undo where the user put it.
            if (std::exchange(centred_, false))
                platform::WindowFrame::centreOnScreen(window_);
        }
        if (event->type() == QEvent::Move && window_->isVisible())
            saveFrame();
        break;
    case QEvent::Hide:
        saveFrame();
        pressedAt_.reset();
        // Closed any way (close box, Ctrl+W, a quit): typing never goes to it.
        if (platform::KeyWindow::isKey(window_))
            platform::KeyWindow::orderOut(window_);
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease:
        return dragByBackground(event);
    case QEvent::KeyPress:
        return runMenuAction(event);
    default:
        break;
    }
    return false;
}

// Presses, moves and releases that no control took.
bool HostedWindow::dragByBackground(QEvent* event)
{
    const auto* mouse = static_cast<QMouseEvent*>(event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        if (mouse->button() != Qt::LeftButton)
            return false;
        pressedAt_ = mouse->globalPosition();
        dragging_ = false;
        return false;
    case QEvent::MouseMove: {
        if (!pressedAt_ || dragging_ || !(mouse->buttons() & Qt::LeftButton))
            return false;
        const QPointF travelled = mouse->globalPosition() - *pressedAt_;
        if (std::hypot(travelled.x(), travelled.y()) < dragThreshold)
            return false;
        // The button is still down, so the window system has a release to
        // end the drag on.
        dragging_ = true;
        centred_ = false;
        platform::WindowFrame::performWindowDrag(window_);
        return true;
    }
    default:
        if (mouse->button() != Qt::LeftButton || !pressedAt_)
            return false;
        pressedAt_.reset();
        // A release that reaches the window came before the window system
        // took the pointer over; its drag would never end.
        if (std::exchange(dragging_, false))
            platform::WindowFrame::endWindowDrag(window_);
        return false;
    }
}

// A key no control took: the main menu's key equivalents.
bool HostedWindow::runMenuAction(QEvent* event)
{
    return performMenuKey(static_cast<QKeyEvent*>(event));
}

bool HostedWindow::performMenuKey(QKeyEvent* key, QWidget* forWindow)
{
    const QKeySequence pressed(key->keyCombination().key()
                               | (key->modifiers() & ~Qt::KeypadModifier).toInt());
    for (const QPointer<QAction>& action : menuActions()) {
        if (!action || !action->isEnabled() || !action->shortcuts().contains(pressed))
            continue;
        key->accept();
        const QPointer<QWidget> before = std::exchange(menuKeyWindowSlot(), forWindow);
        action->trigger();
        menuKeyWindowSlot() = before;
        return true;
    }
    return false;
}

QWidget* HostedWindow::menuKeyWindow()
{
    if (QWidget* window = menuKeyWindowSlot())
        return window;
    return QApplication::activeWindow();
}

void HostedWindow::fit()
{
    fittedWith_ = platform::WindowFrame::decorations(window_);
    const QSize given = platform::WindowFrame::fitOnScreen(window_, wanted_);
    // Content cut in one direction scrolls that way; make room for the
    // scroll bar across it, where the screen has it.
    const QSize least = leastSize(*rootView_);
    const int bar = scroll_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scroll_);
    QSize roomy = wanted_;
    if (given.height() < least.height())
        roomy.rwidth() += bar;
    if (given.width() < least.width())
        roomy.rheight() += bar;
    if (roomy != wanted_)
        platform::WindowFrame::fitOnScreen(window_, roomy);
}

bool HostedWindow::restoreFrame()
{
    const auto stored = platform::PreferenceDomain::standard().string(frameKey(*autosaveName_));
    const auto origin = stored ? parseOrigin(*stored) : std::nullopt;
    if (origin)
        window_->move(*origin);
    return origin.has_value();
}

void HostedWindow::saveFrame() const
{
    if (!autosaveName_)
        return;
    const QPoint origin = window_->pos();
    const QString text = QString::number(origin.x()) + QLatin1Char(' ') + QString::number(origin.y())
        + QLatin1Char(' ') + QString::number(window_->width()) + QLatin1Char(' ')
        + QString::number(window_->height());
    auto& defaults = platform::PreferenceDomain::standard();
    if (defaults.string(frameKey(*autosaveName_)) != text)
        // A drag moves the window many times a second: written soon,
        // coalesced, off the main thread.
        defaults.setString(frameKey(*autosaveName_), text, platform::PreferenceDomain::Save::soon);
}
