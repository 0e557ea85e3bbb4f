#include "menubar/StatusBarController.h"

#include "engine/SpaceEngine.h"
#include "store/Hotkey.h"
#include "store/Settings.h"
#include "ui/AppCommands.h"
#include "ui/Glyph.h"

namespace {

// Menu pictures kept before the cache starts afresh.
constexpr size_t menuImageLimit = 300;

void setKeyEquivalent(platform::MenuItem& item, const std::optional<Hotkey>& hotkey)
{
    if (!hotkey)
        return;
    const Hotkey::MenuEquivalent equivalent = hotkey->menuEquivalent();
    item.keyEquivalent = equivalent.key;
    item.keyEquivalentModifierMask = equivalent.modifierFlags;
}

} // namespace

void StatusBarController::clicked()
{
    const std::optional<platform::CurrentEvent> event = platform::Application::currentEvent();
    if (event
        && (event->type == platform::EventType::rightMouseUp
            || (event->modifierFlags & platform::EventFlag::control))) {
        openMenu();
        return;
    }
    commands_.togglePopover();
}

QImage StatusBarController::menuImage(const Desktop& desktop)
{
    const GlyphImagePtr glyph = Glyph::image(desktop, std::nullopt, false, menuTileSize);
    for (const auto& [known, image] : menuImages_) {
        if (known == glyph)
            return image;
    }
    if (menuImages_.size() >= menuImageLimit)
        menuImages_.clear();
    menuImages_.emplace_back(glyph, glyph->render(imageScale));
    return menuImages_.back().second;
}

void StatusBarController::addDesktopItem(const Desktop& desktop)
{
    platform::MenuItem item;
    item.title = desktop.displayName();
    item.image = menuImage(desktop);
    item.representedObject = QVariant::fromValue<quint64>(desktop.id());
    item.state = desktop.isCurrent ? platform::MenuItem::State::on : platform::MenuItem::State::off;
    if (desktop.hotkey())
        setKeyEquivalent(item, desktop.hotkey());
    else if (settings_.showShortcutsInMenu())
        setKeyEquivalent(item, desktop.effectiveHotkey(settings_));
    item.action = [this](const platform::MenuItem& sender) { switchTo(sender); };
    menu_.addItem(item);
}

void StatusBarController::buildMenu()
{
    menu_.removeAllItems();
    const std::optional<Desktop> active = engine_.activeDesktop();
    if (active) {
        platform::MenuItem heading;
        heading.title = active->displayName() + QStringLiteral("  ·  Desktop ") + QString::number(active->number);
        heading.image = menuImage(*active);
        heading.enabled = false;
        menu_.addItem(heading);
        menu_.addItem(platform::MenuItem::separator());
    }
    for (const Desktop& desktop : engine_.desktops())
        addDesktopItem(desktop);
    menu_.addItem(platform::MenuItem::separator());

    const auto command = [this](const QString& title, void (StatusBarController::*action)()) {
        platform::MenuItem item;
        item.title = title;
        item.action = [this, action](const platform::MenuItem&) { (this->*action)(); };
        return item;
    };
    if (active) {
        menu_.addItem(command(QStringLiteral("Edit “") + active->displayName() + QStringLiteral("”…"),
                              &StatusBarController::editCurrent));
    }
    platform::MenuItem switcher = command(QStringLiteral("Quick Switcher"), &StatusBarController::showSwitcher);
    setKeyEquivalent(switcher, settings_.switcherHotkey());
    menu_.addItem(switcher);
    menu_.addItem(command(QStringLiteral("Open Mission Control"), &StatusBarController::openMissionControl));
    platform::MenuItem presentation =
        command(QStringLiteral("Presentation Mode"), &StatusBarController::togglePresentation);
    presentation.state = settings_.presenting() ? platform::MenuItem::State::on : platform::MenuItem::State::off;
    setKeyEquivalent(presentation, settings_.presentationHotkey());
    menu_.addItem(presentation);
    menu_.addItem(platform::MenuItem::separator());
    platform::MenuItem settingsItem = command(QStringLiteral("Settings…"), &StatusBarController::openSettings);
    settingsItem.keyEquivalent = QStringLiteral(",");
    menu_.addItem(settingsItem);
    platform::MenuItem quitItem = command(QStringLiteral("Quit Tessaroom"), &StatusBarController::quit);
    quitItem.keyEquivalent = QStringLiteral("q");
    menu_.addItem(quitItem);
}

void StatusBarController::openMenu()
{
    buildMenu();
    item_->setMenu(&menu_);
    item_->button()->performClick();
}

void StatusBarController::closeMenu()
{
    menu_.cancelTracking();
}

void StatusBarController::popUpMenu(const QWidget* view)
{
    buildMenu();
    menu_.popUp(view, QPointF(0, 0));
}

void StatusBarController::menuDidClose()
{
    item_->setMenu(nullptr);
}

void StatusBarController::switchTo(const platform::MenuItem& sender)
{
    bool ok = false;
    const quint64 id = sender.representedObject.toULongLong(&ok);
    if (!ok)
        return;
    if (const std::optional<Desktop> desktop = engine_.desktopWithID(id))
        engine_.switchTo(*desktop, QStringLiteral("menu"));
}

void StatusBarController::editCurrent()
{
    if (const std::optional<Desktop> active = engine_.activeDesktop())
        commands_.showPopover(PopoverPage::edit(*active));
}

void StatusBarController::showSwitcher()
{
    commands_.toggleQuickSwitcher();
}

void StatusBarController::togglePresentation()
{
    commands_.togglePresentation();
}

void StatusBarController::openMissionControl()
{
    commands_.openMissionControl();
}

void StatusBarController::openSettings()
{
    commands_.openSettings(std::nullopt);
}

void StatusBarController::quit()
{
    if (terminate_)
        terminate_();
}
