#include "debug/Capture.h"

#include "debug/DebugTools.h"
#include "debug/MissionControlDemo.h"
#include "engine/Desktop.h"
#include "engine/SpaceEngine.h"
#include "menubar/MenuPopoverController.h"
#include "menubar/StatusBarController.h"
#include "platform/AtomicFile.h"
#include "platform/Screens.h"
#include "platform/StatusBar.h"
#include "platform/WindowCapture.h"
#include "settings/SettingsModel.h"
#include "store/Timers.h"
#include "surfaces/HUDPanel.h"
#include "surfaces/NotchName.h"
#include "surfaces/QuickSwitcher.h"
#include "surfaces/SpaceHover.h"
#include "surfaces/SwitchHUD.h"
#include "ui/AppCommands.h"
#include "ui/FloatingPanel.h"
#include "ui/HostedWindow.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QScrollArea>
#include <QScrollBar>

namespace {

// Step times, in seconds from the start.
constexpr double tileShot = 0.6;
constexpr double hudShow = 1.1;
constexpr double hudShot = 1.6;
constexpr double switcherShow = 2.3;
constexpr double switcherShot = 3.05;
constexpr double hoverShow = 3.55;
constexpr double hoverShot = 4.1;
constexpr double notchShow = 4.8;
constexpr double notchShot = 5.3;
constexpr double demoShow = 6.0;
constexpr double popoverOpen = 7.0;
constexpr double popoverShot = 7.9;
constexpr double popoverEdit = 8.1;
constexpr double popoverEditShot = 8.8;
constexpr double settingsOpen = 12.8;
constexpr double firstPage = 13.7;
// Then one page a second; the closing steps count from the last page (T).
constexpr double closingBase = 14.3;
constexpr double settingsClose = 1.0;
constexpr double onboardingShow = 1.5;
constexpr double onboardingShot = 2.3;
constexpr double menuOpen = 2.8;
constexpr double end = 4.3;

// Delays inside a step, in seconds.
constexpr double hoverPin = 3.0;
constexpr double notchPreview = 3.0;
constexpr double demoSettle = 0.5;
constexpr double pageSettle = 0.55;
constexpr double pageScrollSettle = 0.3;
constexpr double menuSettle = 0.6;

// A window must be larger than this, in points, to be written as one of the
// own windows: smaller ones are slivers, not surfaces.
constexpr double smallestWidth = 40;
constexpr double smallestHeight = 20;
// The demo shows at most this many desktops.
constexpr qsizetype demoDesktops = 7;
// How much longer than its view a page must be to scroll, in points.
constexpr double scrollSlack = 1;

double closingTime()
{
    return closingBase + double(SettingsPages::allCases().size());
}

} // namespace

double Capture::duration()
{
    return closingTime() + end;
}

std::shared_ptr<Capture> Capture::start(const QString& directory, const LateModeContext& context, Options options)
{
    std::shared_ptr<Capture> capture(new Capture(directory, context, std::move(options)));
    capture->plan();
    return capture;
}

Capture::Capture(const QString& directory, const LateModeContext& context, Options options)
    : directory_(directory)
    , context_(context)
    , options_(std::move(options))
{
}

void Capture::print(const QString& line) const
{
    context_.out << line << Qt::endl;
}

void Capture::at(double seconds, void (Capture::*step)())
{
    at(seconds, [step](Capture& capture) { (capture.*step)(); });
}

void Capture::at(double seconds, std::function<void(Capture&)> step)
{
    runAfter(seconds, [self = shared_from_this(), step = std::move(step)] { step(*self); });
}

void Capture::plan()
{
    QDir().mkpath(directory_);
    const platform::StatusBarButton* button = context_.statusBar.button();
    const platform::StatusBarWindow* tile = button ? button->window() : nullptr;
    tileWindow_ = tile ? tile->windowNumber() : -1;
    excluded_ = {tileWindow_};

    at(tileShot, [](Capture& capture) {
        if (capture.tileWindow_ < 0)
            capture.print(QStringLiteral("capture: no window for menubar.png"));
        else
            capture.writeWindowImage(capture.tileWindow_, QStringLiteral("menubar.png"));
    });
    at(hudShow, [](Capture& capture) { capture.context_.hud.preview(); });
    at(hudShot, [](Capture& capture) {
        // The tag: a toast up meanwhile (the first launch's notices) is not it.
        QSet<qint64> toast;
        if (const HUDPanel* panel = capture.context_.hud.panel(SwitchHUD::toastKey))
            toast.insert(platform::WindowCapture::windowNumber(panel));
        capture.writeOwnWindow(QStringLiteral("hud"), toast);
        capture.context_.hud.hideAll();
    });
    at(switcherShow, [](Capture& capture) { capture.context_.switcher.show(); });
    at(switcherShot, [](Capture& capture) {
        capture.writeWindowImage(platform::WindowCapture::windowNumber(&capture.context_.switcher),
                                 QStringLiteral("switcher.png"));
        capture.context_.switcher.close();
    });
    at(hoverShow, [](Capture& capture) { capture.context_.hover().show(std::nullopt, hoverPin); });
    at(hoverShot, [](Capture& capture) {
        capture.writeOwnWindow(QStringLiteral("hover"));
        capture.context_.hover().hide();
    });
    at(notchShow, [](Capture& capture) { capture.context_.notch().showPreview(notchPreview); });
    at(notchShot, [](Capture& capture) {
        capture.writeOwnWindow(QStringLiteral("notch"));
        capture.context_.notch().hidePreview();
    });
    at(demoShow, &Capture::showMissionControlDemo);
    at(popoverOpen, [](Capture& capture) { capture.context_.commands.togglePopover(); });
    at(popoverShot, [](Capture& capture) { capture.writeOwnWindow(QStringLiteral("popover")); });
    at(popoverEdit, [](Capture& capture) {
        if (const std::optional<Desktop> active = capture.context_.engine.activeDesktop())
            capture.context_.popover.model().setPage(PopoverPage::edit(*active));
    });
    at(popoverEditShot, [](Capture& capture) {
        capture.writeOwnWindow(QStringLiteral("popover_edit"));
        capture.context_.commands.closePopover();
    });
    at(settingsOpen, [](Capture& capture) { capture.context_.commands.openSettings(std::nullopt); });
    const QList<SettingsPage>& pages = SettingsPages::allCases();
    for (qsizetype i = 0; i < pages.size(); ++i) {
        const SettingsPage page = pages[i];
        at(firstPage + double(i), [page](Capture& capture) { capture.openSettingsPage(page); });
    }
    const double closing = closingTime();
    at(closing + settingsClose, [](Capture& capture) {
        if (HostedWindow* window = capture.context_.settingsWindow())
            window->close();
    });
    at(closing + onboardingShow, [](Capture& capture) { capture.context_.commands.showOnboarding(); });
    at(closing + onboardingShot, [](Capture& capture) {
        HostedWindow* window = capture.context_.onboardingWindow();
        if (!window) {
            capture.print(QStringLiteral("capture: no window for onboarding.png"));
            return;
        }
        capture.writeWindowImage(platform::WindowCapture::windowNumber(window->window()),
                                 QStringLiteral("onboarding.png"));
        window->close();
    });
    at(closing + menuOpen, &Capture::openStatusMenu);
    at(closing + end, &Capture::finish);
}

// --- writing windows ------------------------------------------------------------------------

void Capture::writeWindowImage(qint64 windowNumber, const QString& fileName) const
{
    const QString path = directory_ + QLatin1Char('/') + fileName;
    const QImage image = platform::WindowCapture::windowImage(windowNumber);
    if (image.isNull()) {
        print(QStringLiteral("capture failed: ") + path);
        return;
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG") || png.isEmpty())
        return;
    // Written whole or not at all: a full disk leaves no torn picture.
    if (const auto error = platform::AtomicFile::write(path, png)) {
        print(QStringLiteral("could not write %1: %2").arg(path, *error));
        return;
    }
    print(QStringLiteral("wrote %1 (%2x%3)").arg(path).arg(image.width()).arg(image.height()));
}

void Capture::writeOwnWindow(const QString& name, const QSet<qint64>& alsoExcluded) const
{
    const qint32 self = qint32(QCoreApplication::applicationPid());
    int n = 0;
    for (const platform::WindowCapture::OwnWindow& window : platform::WindowCapture::onScreenWindows()) {
        if (window.ownerPID != self || excluded_.contains(window.number) || alsoExcluded.contains(window.number))
            continue;
        if (window.bounds.width() <= smallestWidth || window.bounds.height() <= smallestHeight)
            continue;
        writeWindowImage(window.number, QStringLiteral("%1_%2.png").arg(name).arg(++n));
    }
}

// --- Mission Control demo ---------------------------------------------------------------------

void Capture::showMissionControlDemo()
{
    std::optional<platform::Screen> screen = platform::Screens::mainScreen();
    if (!screen)
        screen = platform::Screens::primaryScreen();
    if (!screen || !options_.missionControlPanel)
        return;
    const QList<Desktop> desktops = context_.engine.desktops().first(
        std::min(demoDesktops, context_.engine.desktops().size()));
    demoPanel_ = options_.missionControlPanel(desktops, *screen);
    if (!demoPanel_)
        return;
    demoPanel_->orderFront();
    at(demoSettle, [](Capture& capture) {
        if (!capture.demoPanel_)
            return;
        capture.writeWindowImage(platform::WindowCapture::windowNumber(capture.demoPanel_.get()),
                                 QStringLiteral("mission_control_labels.png"));
        capture.demoPanel_->orderOut();
        capture.demoPanel_.reset();
    });
}

// --- settings pages -------------------------------------------------------------------------

void Capture::openSettingsPage(SettingsPage page)
{
    context_.settingsModel.setPage(page);
    at(pageSettle, &Capture::captureSettingsPage);
}

void Capture::captureSettingsPage()
{
    const QString stem = QStringLiteral("settings_") + SettingsPages::rawValue(context_.settingsModel.page());
    HostedWindow* window = context_.settingsWindow();
    if (!window) {
        print(QStringLiteral("capture: no window for %1.png").arg(stem));
        return;
    }
    const qint64 number = platform::WindowCapture::windowNumber(window->window());
    writeWindowImage(number, stem + QStringLiteral(".png"));
    QScrollArea* scroll = firstScrollView(window->rootView());
    QWidget* document = scroll ? scroll->widget() : nullptr;
    if (!document)
        return;
    // The scroll view fits its document to the page just shown before it is
    // measured: a new page's size reaches it only through its own layout.
    QEvent fit(QEvent::LayoutRequest);
    QCoreApplication::sendEvent(scroll, &fit);
    const int clipHeight = scroll->viewport()->height();
    if (document->height() - clipHeight <= scrollSlack)
        return;
    scroll->horizontalScrollBar()->setValue(0);
    scroll->verticalScrollBar()->setValue(document->height() - clipHeight);
    at(pageScrollSettle, [number, stem](Capture& capture) {
        capture.writeWindowImage(number, stem + QStringLiteral("_end.png"));
    });
}

QScrollArea* Capture::firstScrollView(QWidget* view)
{
    if (!view)
        return nullptr;
    if (auto* scroll = qobject_cast<QScrollArea*>(view))
        return scroll;
    for (QObject* child : view->children()) {
        if (!child->isWidgetType())
            continue;
        if (QScrollArea* found = firstScrollView(static_cast<QWidget*>(child)))
            return found;
    }
    return nullptr;
}

// --- menu and end ---------------------------------------------------------------------------

void Capture::openStatusMenu()
{
    // Planned before the menu opens: where opening waits for the menu to
    // close, this is what closes it.
    at(menuSettle, [](Capture& capture) {
        capture.writeOwnWindow(QStringLiteral("menu"));
        capture.context_.statusBar.closeMenu();
    });
    context_.statusBar.openMenu();
}

void Capture::finish()
{
    print(QStringLiteral("capture complete"));
    context_.exit(0);
}

// --- the mode ---------------------------------------------------------------------------------

void DebugTools::capture(const QString& directory, LateModeContext& context)
{
    Settings& settings = context.settings;
    Capture::start(directory, context,
                   Capture::Options{.missionControlPanel = [&settings](const QList<Desktop>& desktops,
                                                                       const platform::Screen& screen) {
                       return MissionControlDemo::makePanel(settings, desktops, screen);
                   }});
}
