#include "ui/HostedWindow.h"

#include "platform/PreferenceDomain.h"
#include "platform/Workspace.h"
#include "ui/DarkAppearance.h"
#include "ui/Theme.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QVBoxLayout>
#include <QWidget>
#include <QWindow>

#include <cmath>

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
} // namespace

HostedWindow::HostedWindow(QWidget* rootView, std::optional<QSizeF> size, std::optional<QString> autosaveName,
                           bool miniaturizable)
    : window_(new QWidget(nullptr, flagsFor(miniaturizable)))
    , rootView_(rootView)
    , styleMask_(titledMask | closableMask | fullSizeContentViewMask | (miniaturizable ? miniaturizableMask : 0))
{
    auto* layout = new QVBoxLayout(window_);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(rootView_);

    window_->setWindowTitle(QString());
    window_->setAttribute(Qt::WA_DeleteOnClose, false);
    window_->setFocusPolicy(Qt::StrongFocus);
    DarkAppearance::apply(window_);
    QPalette palette = window_->palette();
    palette.setColor(QPalette::Window, Theme::windowBackground());
    window_->setPalette(palette);
    window_->setAutoFillBackground(true);

    if (size)
        window_->setFixedSize(int(std::ceil(size->width())), int(std::ceil(size->height())));
    else
        layout->setSizeConstraint(QLayout::SetFixedSize);
    window_->adjustSize();
    centre();
    if (autosaveName) {
        autosaveName_ = autosaveName;
        restoreFrame();
    }
    window_->installEventFilter(this);
}

HostedWindow::~HostedWindow()
{
    delete window_;
}

void HostedWindow::show()
{
    window_->show();
    window_->raise();
    if (QWidget* focused = window_->focusWidget())
        focused->clearFocus();
    window_->setFocus(Qt::OtherFocusReason);
    window_->activateWindow();
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

bool HostedWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != window_)
        return false;
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Hide:
        if (window_->isVisible() || event->type() == QEvent::Hide)
            saveFrame();
        break;
    case QEvent::MouseButtonPress:
        // A press that no control took drags the window by its background.
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton && window_->windowHandle())
            window_->windowHandle()->startSystemMove();
        break;
    default:
        break;
    }
    return false;
}

void HostedWindow::centre()
{
    const QScreen* screen = window_->screen() ? window_->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = window_->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window_->move(frame.topLeft());
}

void HostedWindow::restoreFrame()
{
    const auto stored = platform::PreferenceDomain::standard().string(frameKey(*autosaveName_));
    if (!stored)
        return;
    if (const auto origin = parseOrigin(*stored))
        window_->move(*origin);
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
        defaults.setString(frameKey(*autosaveName_), text);
}
