#include "surfaces/SwitchHUD.h"

#include "engine/SkyLight.h"
#include "engine/SpaceEngine.h"
#include "platform/Screens.h"
#include "store/Settings.h"

SwitchHUD::SwitchHUD(SpaceEngine& engine, Settings& settings)
    : engine_(engine)
    , settings_(settings)
{
}

SwitchHUD::~SwitchHUD() = default;

HUDPanel& SwitchHUD::panelFor(const QString& key)
{
    auto& slot = panels_[key];
    if (!slot) {
        slot = std::make_unique<HUDPanel>(settings_);
        slot->setObjectName(QStringLiteral("hudPanel:") + key);
    }
    return *slot;
}

void SwitchHUD::show(const Desktop& desktop, const QString& displayUUID)
{
    std::optional<platform::Screen> screen = SkyLight::screen(displayUUID);
    if (!screen)
        screen = platform::Screens::mainScreen();
    if (!screen)
        return;
    HUDPanel& panel = panelFor(displayUUID);
    panel.state().setToast(std::nullopt);
    panel.state().setDesktop(desktop);
    panel.present(*screen, settings_.hudDuration());
}

void SwitchHUD::preview()
{
    const std::optional<Desktop> desktop = engine_.activeDesktop();
    const std::optional<platform::Screen> screen = platform::Screens::mainScreen();
    if (!desktop || !screen)
        return;
    HUDPanel& panel = panelFor(previewKey);
    panel.state().setToast(std::nullopt);
    panel.state().setDesktop(*desktop);
    panel.present(*screen, settings_.hudDuration());
}

void SwitchHUD::toast(const QString& text, const QString& symbol, double duration)
{
    const std::optional<platform::Screen> screen = platform::Screens::mainScreen();
    if (!screen)
        return;
    HUDPanel& panel = panelFor(toastKey);
    panel.state().setDesktop(std::nullopt);
    panel.state().setToast(HUDState::Toast{text, symbol});
    panel.present(*screen, duration);
}

void SwitchHUD::hideAll()
{
    for (auto& [key, panel] : panels_)
        panel->hideNow();
}

bool SwitchHUD::isShowing() const
{
    for (const auto& [key, panel] : panels_) {
        // A toast is a notice, not a switch tag.
        if (key == toastKey)
            continue;
        if (panel->isOnScreen() && panel->state().visible())
            return true;
    }
    return false;
}

HUDPanel* SwitchHUD::panel(const QString& key) const
{
    const auto found = panels_.find(key);
    return found == panels_.end() ? nullptr : found->second.get();
}
