#include "store/Settings.h"

#include "platform/Lifetime.h"
#include "platform/KeyCodes.h"
#include "platform/LoginItems.h"
#include "platform/PreferenceDomain.h"


namespace {

} // namespace

Settings& Settings::shared()
{
    static platform::Shared<Settings> settings([] { return new Settings; });
    return settings.get();
}

Settings::Settings()
    : menuBarStyle_(QStringLiteral("menuBarStyle"), MenuBarStyle::iconAndName)
    , menuBarMaxWidth_(QStringLiteral("menuBarMaxWidth"), 220.0)
    , showShortcutsInMenu_(QStringLiteral("showShortcutsInMenu"), true)
    , mcLabelsEnabled_(QStringLiteral("mcLabelsEnabled"), true)
    , mcShowUnnamed_(QStringLiteral("mcShowUnnamed"), true)
    , mcShowNumber_(QStringLiteral("mcShowNumber"), false)
    , mcPlacement_(QStringLiteral("mcPlacement"), PillPlacement::belowPreview)
    , mcScale_(QStringLiteral("mcScale"), 1.0)
    , mcOffsetY_(QStringLiteral("mcOffsetY"), 0.0)
    , hudEnabled_(QStringLiteral("hudEnabled"), true)
    , hudPosition_(QStringLiteral("hudPosition"), HUDPosition::center)
    , hudSize_(QStringLiteral("hudSize"), HUDSize::regular)
    , hudDuration_(QStringLiteral("hudDuration"), 1.2)
    , hudShowNumber_(QStringLiteral("hudShowNumber"), true)
    , hoverEnabled_(QStringLiteral("hoverEnabled"), true)
    , hoverZone_(QStringLiteral("hoverZone"), HoverZone::center)
    , hoverDelay_(QStringLiteral("hoverDelay"), 0.45)
    , notchEnabled_(QStringLiteral("notchEnabled"), false)
    , notchSide_(QStringLiteral("notchSide"), NotchSide::left)
    , notchContent_(QStringLiteral("notchContent"), notchContentDefault())
    , tileHiddenBesideNotch_(QStringLiteral("tileHiddenBesideNotch"), false)
    , notchStandsIn_(QStringLiteral("notchStandsInForTile"), true)
    , trackTime_(QStringLiteral("trackTime"), true)
    , idleMinutes_(QStringLiteral("idleMinutes"), 3)
    , switcherHotkey_(QStringLiteral("switcherHotkey"), defaultHotkey(platform::KeyCode::space))
    , jumpBackHotkey_(QStringLiteral("jumpBackHotkey"), defaultHotkey(platform::KeyCode::tab))
    , nextHotkey_(QStringLiteral("nextHotkey"), defaultHotkey(platform::KeyCode::rightArrow))
    , prevHotkey_(QStringLiteral("prevHotkey"), defaultHotkey(platform::KeyCode::leftArrow))
    , directJumpEnabled_(QStringLiteral("directJumpEnabled"), true)
    , directJumpModifiers_(QStringLiteral("directJumpModifiers"), Hotkey::defaultModifiers)
    , moveWindowEnabled_(QStringLiteral("moveWindowEnabled"), true)
    , moveFollow_(QStringLiteral("moveFollow"), false)
    , presenting_(QStringLiteral("presenting"), false)
    , presentationHotkey_(QStringLiteral("presentationHotkey"), defaultHotkey(platform::KeyCode::p))
    , badgesEnabled_(QStringLiteral("badgesEnabled"), true)
    , nativeSwitching_(QStringLiteral("nativeSwitching"), true)
    , autoEnabledShortcuts_(QStringLiteral("autoEnabledShortcuts"), false)
    , updateCheckEnabled_(QStringLiteral("updateCheckEnabled"), true)
    , updateLastChecked_(QStringLiteral("updateLastChecked"), 0.0)
    , updateSkipped_(QStringLiteral("updateSkipped"), QString())
    , updateAnnounced_(QStringLiteral("updateAnnounced"), QString())
    , updateInstalling_(QStringLiteral("updateInstalling"), QString())
    , onboardingDismissed_(QStringLiteral("onboardingDismissed"), false)
    , accessibilityRepairedFor_(QStringLiteral("accessibilityRepairedFor"), QString())
{
}

NotchContent Settings::notchContentDefault()
{
    // The earlier Boolean "notchShowIcon" decides the default once; it is
    // never read again nor written.
    const std::optional<bool> showIcon
        = PrefValue<bool>::read(QStringLiteral("notchShowIcon"), platform::PreferenceDomain::standard());
    return showIcon == false ? NotchContent::nameOnly : NotchContent::iconAndName;
}

std::optional<Hotkey> Settings::defaultHotkey(quint32 keyCode)
{
    return Hotkey{keyCode, Hotkey::defaultModifiers};
}

template <typename T>
T Settings::read(Pref<T>& pref) const
{
    if (!pref.cached)
        pref.cached = PrefValue<T>::read(pref.key, platform::PreferenceDomain::standard()).value_or(pref.defaultValue);
    return *pref.cached;
}

template <typename T>
void Settings::write(Pref<T>& pref, const T& value)
{
    // Subscribers run before the new value is in place.
    emit objectWillChange();
    pref.cached = value;
    // In the store at once; the file follows a moment later.
    PrefValue<T>::write(pref.key, value, platform::PreferenceDomain::standard());
}

template <typename T>
void Settings::change(Pref<T>& pref, const std::function<void(T&)>& mutate)
{
    T value = read(pref);
    mutate(value);
    write(pref, value);
}

MenuBarStyle Settings::menuBarStyle() const
{
    return read(menuBarStyle_);
}

void Settings::setMenuBarStyle(MenuBarStyle value)
{
    write(menuBarStyle_, value);
}

void Settings::changeMenuBarStyle(const std::function<void(MenuBarStyle&)>& mutate)
{
    change(menuBarStyle_, mutate);
}

double Settings::menuBarMaxWidth() const
{
    return read(menuBarMaxWidth_);
}

void Settings::setMenuBarMaxWidth(double value)
{
    write(menuBarMaxWidth_, value);
}

void Settings::changeMenuBarMaxWidth(const std::function<void(double&)>& mutate)
{
    change(menuBarMaxWidth_, mutate);
}

bool Settings::showShortcutsInMenu() const
{
    return read(showShortcutsInMenu_);
}

void Settings::setShowShortcutsInMenu(bool value)
{
    write(showShortcutsInMenu_, value);
}

void Settings::changeShowShortcutsInMenu(const std::function<void(bool&)>& mutate)
{
    change(showShortcutsInMenu_, mutate);
}

bool Settings::mcLabelsEnabled() const
{
    return read(mcLabelsEnabled_);
}

void Settings::setMcLabelsEnabled(bool value)
{
    write(mcLabelsEnabled_, value);
}

void Settings::changeMcLabelsEnabled(const std::function<void(bool&)>& mutate)
{
    change(mcLabelsEnabled_, mutate);
}

bool Settings::mcShowUnnamed() const
{
    return read(mcShowUnnamed_);
}

void Settings::setMcShowUnnamed(bool value)
{
    write(mcShowUnnamed_, value);
}

void Settings::changeMcShowUnnamed(const std::function<void(bool&)>& mutate)
{
    change(mcShowUnnamed_, mutate);
}

bool Settings::mcShowNumber() const
{
    return read(mcShowNumber_);
}

void Settings::setMcShowNumber(bool value)
{
    write(mcShowNumber_, value);
}

void Settings::changeMcShowNumber(const std::function<void(bool&)>& mutate)
{
    change(mcShowNumber_, mutate);
}

PillPlacement Settings::mcPlacement() const
{
    return read(mcPlacement_);
}

void Settings::setMcPlacement(PillPlacement value)
{
    write(mcPlacement_, value);
}

void Settings::changeMcPlacement(const std::function<void(PillPlacement&)>& mutate)
{
    change(mcPlacement_, mutate);
}

double Settings::mcScale() const
{
    return read(mcScale_);
}

void Settings::setMcScale(double value)
{
    write(mcScale_, value);
}

void Settings::changeMcScale(const std::function<void(double&)>& mutate)
{
    change(mcScale_, mutate);
}

double Settings::mcOffsetY() const
{
    return read(mcOffsetY_);
}

void Settings::setMcOffsetY(double value)
{
    write(mcOffsetY_, value);
}

void Settings::changeMcOffsetY(const std::function<void(double&)>& mutate)
{
    change(mcOffsetY_, mutate);
}

bool Settings::hudEnabled() const
{
    return read(hudEnabled_);
}

void Settings::setHudEnabled(bool value)
{
    write(hudEnabled_, value);
}

void Settings::changeHudEnabled(const std::function<void(bool&)>& mutate)
{
    change(hudEnabled_, mutate);
}

HUDPosition Settings::hudPosition() const
{
    return read(hudPosition_);
}

void Settings::setHudPosition(HUDPosition value)
{
    write(hudPosition_, value);
}

void Settings::changeHudPosition(const std::function<void(HUDPosition&)>& mutate)
{
    change(hudPosition_, mutate);
}

HUDSize Settings::hudSize() const
{
    return read(hudSize_);
}

void Settings::setHudSize(HUDSize value)
{
    write(hudSize_, value);
}

void Settings::changeHudSize(const std::function<void(HUDSize&)>& mutate)
{
    change(hudSize_, mutate);
}

double Settings::hudDuration() const
{
    return read(hudDuration_);
}

void Settings::setHudDuration(double value)
{
    write(hudDuration_, value);
}

void Settings::changeHudDuration(const std::function<void(double&)>& mutate)
{
    change(hudDuration_, mutate);
}

bool Settings::hudShowNumber() const
{
    return read(hudShowNumber_);
}

void Settings::setHudShowNumber(bool value)
{
    write(hudShowNumber_, value);
}

void Settings::changeHudShowNumber(const std::function<void(bool&)>& mutate)
{
    change(hudShowNumber_, mutate);
}

bool Settings::hoverEnabled() const
{
    return read(hoverEnabled_);
}

void Settings::setHoverEnabled(bool value)
{
    write(hoverEnabled_, value);
}

void Settings::changeHoverEnabled(const std::function<void(bool&)>& mutate)
{
    change(hoverEnabled_, mutate);
}

HoverZone Settings::hoverZone() const
{
    return read(hoverZone_);
}

void Settings::setHoverZone(HoverZone value)
{
    write(hoverZone_, value);
}

void Settings::changeHoverZone(const std::function<void(HoverZone&)>& mutate)
{
    change(hoverZone_, mutate);
}

double Settings::hoverDelay() const
{
    return read(hoverDelay_);
}

void Settings::setHoverDelay(double value)
{
    write(hoverDelay_, value);
}

void Settings::changeHoverDelay(const std::function<void(double&)>& mutate)
{
    change(hoverDelay_, mutate);
}

bool Settings::notchEnabled() const
{
    return read(notchEnabled_);
}

void Settings::setNotchEnabled(bool value)
{
    write(notchEnabled_, value);
}

void Settings::changeNotchEnabled(const std::function<void(bool&)>& mutate)
{
    change(notchEnabled_, mutate);
}

NotchSide Settings::notchSide() const
{
    return read(notchSide_);
}

void Settings::setNotchSide(NotchSide value)
{
    write(notchSide_, value);
}

void Settings::changeNotchSide(const std::function<void(NotchSide&)>& mutate)
{
    change(notchSide_, mutate);
}

NotchContent Settings::notchContent() const
{
    return read(notchContent_);
}

void Settings::setNotchContent(NotchContent value)
{
    write(notchContent_, value);
}

void Settings::changeNotchContent(const std::function<void(NotchContent&)>& mutate)
{
    change(notchContent_, mutate);
}

bool Settings::tileHiddenBesideNotch() const
{
    return read(tileHiddenBesideNotch_);
}

void Settings::setTileHiddenBesideNotch(bool value)
{
    write(tileHiddenBesideNotch_, value);
}

void Settings::changeTileHiddenBesideNotch(const std::function<void(bool&)>& mutate)
{
    change(tileHiddenBesideNotch_, mutate);
}

bool Settings::notchStandsIn() const
{
    return read(notchStandsIn_);
}

void Settings::setNotchStandsIn(bool value)
{
    write(notchStandsIn_, value);
}

void Settings::changeNotchStandsIn(const std::function<void(bool&)>& mutate)
{
    change(notchStandsIn_, mutate);
}

bool Settings::trackTime() const
{
    return read(trackTime_);
}

void Settings::setTrackTime(bool value)
{
    write(trackTime_, value);
}

void Settings::changeTrackTime(const std::function<void(bool&)>& mutate)
{
    change(trackTime_, mutate);
}

qint64 Settings::idleMinutes() const
{
    return read(idleMinutes_);
}

void Settings::setIdleMinutes(qint64 value)
{
    write(idleMinutes_, value);
}

void Settings::changeIdleMinutes(const std::function<void(qint64&)>& mutate)
{
    change(idleMinutes_, mutate);
}

std::optional<Hotkey> Settings::switcherHotkey() const
{
    return read(switcherHotkey_);
}

void Settings::setSwitcherHotkey(const std::optional<Hotkey>& value)
{
    write(switcherHotkey_, value);
}

void Settings::changeSwitcherHotkey(const std::function<void(std::optional<Hotkey>&)>& mutate)
{
    change(switcherHotkey_, mutate);
}

std::optional<Hotkey> Settings::jumpBackHotkey() const
{
    return read(jumpBackHotkey_);
}

void Settings::setJumpBackHotkey(const std::optional<Hotkey>& value)
{
    write(jumpBackHotkey_, value);
}

void Settings::changeJumpBackHotkey(const std::function<void(std::optional<Hotkey>&)>& mutate)
{
    change(jumpBackHotkey_, mutate);
}

std::optional<Hotkey> Settings::nextHotkey() const
{
    return read(nextHotkey_);
}

void Settings::setNextHotkey(const std::optional<Hotkey>& value)
{
    write(nextHotkey_, value);
}

void Settings::changeNextHotkey(const std::function<void(std::optional<Hotkey>&)>& mutate)
{
    change(nextHotkey_, mutate);
}

std::optional<Hotkey> Settings::prevHotkey() const
{
    return read(prevHotkey_);
}

void Settings::setPrevHotkey(const std::optional<Hotkey>& value)
{
    write(prevHotkey_, value);
}

void Settings::changePrevHotkey(const std::function<void(std::optional<Hotkey>&)>& mutate)
{
    change(prevHotkey_, mutate);
}

bool Settings::directJumpEnabled() const
{
    return read(directJumpEnabled_);
}

void Settings::setDirectJumpEnabled(bool value)
{
    write(directJumpEnabled_, value);
}

void Settings::changeDirectJumpEnabled(const std::function<void(bool&)>& mutate)
{
    change(directJumpEnabled_, mutate);
}

quint32 Settings::directJumpModifiers() const
{
    return read(directJumpModifiers_);
}

void Settings::setDirectJumpModifiers(quint32 value)
{
    write(directJumpModifiers_, value);
}

void Settings::changeDirectJumpModifiers(const std::function<void(quint32&)>& mutate)
{
    change(directJumpModifiers_, mutate);
}

bool Settings::moveWindowEnabled() const
{
    return read(moveWindowEnabled_);
}

void Settings::setMoveWindowEnabled(bool value)
{
    write(moveWindowEnabled_, value);
}

void Settings::changeMoveWindowEnabled(const std::function<void(bool&)>& mutate)
{
    change(moveWindowEnabled_, mutate);
}

bool Settings::moveFollow() const
{
    return read(moveFollow_);
}

void Settings::setMoveFollow(bool value)
{
    write(moveFollow_, value);
}

void Settings::changeMoveFollow(const std::function<void(bool&)>& mutate)
{
    change(moveFollow_, mutate);
}

bool Settings::presenting() const
{
    return read(presenting_);
}

void Settings::setPresenting(bool value)
{
    write(presenting_, value);
}

void Settings::changePresenting(const std::function<void(bool&)>& mutate)
{
    change(presenting_, mutate);
}

std::optional<Hotkey> Settings::presentationHotkey() const
{
    return read(presentationHotkey_);
}

void Settings::setPresentationHotkey(const std::optional<Hotkey>& value)
{
    write(presentationHotkey_, value);
}

void Settings::changePresentationHotkey(const std::function<void(std::optional<Hotkey>&)>& mutate)
{
    change(presentationHotkey_, mutate);
}

bool Settings::badgesEnabled() const
{
    return read(badgesEnabled_);
}

void Settings::setBadgesEnabled(bool value)
{
    write(badgesEnabled_, value);
}

void Settings::changeBadgesEnabled(const std::function<void(bool&)>& mutate)
{
    change(badgesEnabled_, mutate);
}

bool Settings::nativeSwitching() const
{
    return read(nativeSwitching_);
}

void Settings::setNativeSwitching(bool value)
{
    write(nativeSwitching_, value);
}

void Settings::changeNativeSwitching(const std::function<void(bool&)>& mutate)
{
    change(nativeSwitching_, mutate);
}

bool Settings::autoEnabledShortcuts() const
{
    return read(autoEnabledShortcuts_);
}

void Settings::setAutoEnabledShortcuts(bool value)
{
    write(autoEnabledShortcuts_, value);
}

void Settings::changeAutoEnabledShortcuts(const std::function<void(bool&)>& mutate)
{
    change(autoEnabledShortcuts_, mutate);
}

bool Settings::updateCheckEnabled() const
{
    return read(updateCheckEnabled_);
}

void Settings::setUpdateCheckEnabled(bool value)
{
    write(updateCheckEnabled_, value);
}

void Settings::changeUpdateCheckEnabled(const std::function<void(bool&)>& mutate)
{
    change(updateCheckEnabled_, mutate);
}

double Settings::updateLastChecked() const
{
    return read(updateLastChecked_);
}

void Settings::setUpdateLastChecked(double value)
{
    write(updateLastChecked_, value);
}

void Settings::changeUpdateLastChecked(const std::function<void(double&)>& mutate)
{
    change(updateLastChecked_, mutate);
}

QString Settings::updateSkipped() const
{
    return read(updateSkipped_);
}

void Settings::setUpdateSkipped(const QString& value)
{
    write(updateSkipped_, value);
}

void Settings::changeUpdateSkipped(const std::function<void(QString&)>& mutate)
{
    change(updateSkipped_, mutate);
}

QString Settings::updateAnnounced() const
{
    return read(updateAnnounced_);
}

void Settings::setUpdateAnnounced(const QString& value)
{
    write(updateAnnounced_, value);
}

void Settings::changeUpdateAnnounced(const std::function<void(QString&)>& mutate)
{
    change(updateAnnounced_, mutate);
}

QString Settings::updateInstalling() const
{
    return read(updateInstalling_);
}

void Settings::setUpdateInstalling(const QString& value)
{
    write(updateInstalling_, value);
}

void Settings::changeUpdateInstalling(const std::function<void(QString&)>& mutate)
{
    change(updateInstalling_, mutate);
}

bool Settings::onboardingDismissed() const
{
    return read(onboardingDismissed_);
}

void Settings::setOnboardingDismissed(bool value)
{
    write(onboardingDismissed_, value);
}

void Settings::changeOnboardingDismissed(const std::function<void(bool&)>& mutate)
{
    change(onboardingDismissed_, mutate);
}

QString Settings::accessibilityRepairedFor() const
{
    return read(accessibilityRepairedFor_);
}

void Settings::setAccessibilityRepairedFor(const QString& value)
{
    write(accessibilityRepairedFor_, value);
}

void Settings::changeAccessibilityRepairedFor(const std::function<void(QString&)>& mutate)
{
    change(accessibilityRepairedFor_, mutate);
}

bool Settings::launchAtLogin() const
{
    return platform::LoginItems::mainAppStatus() == platform::LoginItems::Status::enabled;
}

std::optional<QString> Settings::setLaunchAtLogin(bool enabled)
{
    const std::optional<QString> error
        = enabled ? platform::LoginItems::registerMainApp() : platform::LoginItems::unregisterMainApp();
    if (error)
        return error;
    emit objectWillChange();
    return std::nullopt;
}

QStringList Settings::keys() const
{
    return {menuBarStyle_.key, menuBarMaxWidth_.key, showShortcutsInMenu_.key, mcLabelsEnabled_.key, mcShowUnnamed_.key, mcShowNumber_.key, mcPlacement_.key, mcScale_.key, mcOffsetY_.key, hudEnabled_.key, hudPosition_.key, hudSize_.key, hudDuration_.key, hudShowNumber_.key, hoverEnabled_.key, hoverZone_.key, hoverDelay_.key, notchEnabled_.key, notchSide_.key, notchContent_.key, tileHiddenBesideNotch_.key, notchStandsIn_.key, trackTime_.key, idleMinutes_.key, switcherHotkey_.key, jumpBackHotkey_.key, nextHotkey_.key, prevHotkey_.key, directJumpEnabled_.key, directJumpModifiers_.key, moveWindowEnabled_.key, moveFollow_.key, presenting_.key, presentationHotkey_.key, badgesEnabled_.key, nativeSwitching_.key, autoEnabledShortcuts_.key, updateCheckEnabled_.key, updateLastChecked_.key, updateSkipped_.key, updateAnnounced_.key, updateInstalling_.key, onboardingDismissed_.key, accessibilityRepairedFor_.key};
}
