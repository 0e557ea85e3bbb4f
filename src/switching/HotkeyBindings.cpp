#include "switching/HotkeyBindings.h"

#include "engine/SpaceEngine.h"
#include "platform/Workspace.h"
#include "store/Settings.h"
#include "switching/AppActions.h"
#include "switching/HotkeyCenter.h"

#include <QSet>
#include <QStringList>

namespace {

QString signaturePart(const std::optional<Hotkey>& hotkey)
{
    return hotkey ? hotkey->display() : QStringLiteral("-");
}

QString flag(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

void registerIfSet(const std::optional<Hotkey>& hotkey, std::function<void()> action)
{
    if (hotkey)
        HotkeyCenter::shared().registerHotkey(*hotkey, std::move(action));
}

// Sends the front window to desktop number; without following it, a toast
// tells where it went.
void moveFrontWindow(AppActions& app, qint64 number)
{
    SpaceEngine& engine = SpaceEngine::shared();
    const auto target = engine.desktopWithNumber(number);
    if (!target)
        return;
    const auto front = platform::Workspace::frontmostApplication();
    const bool follow = Settings::shared().moveFollow();
    if (!engine.moveFrontWindow(*target, front, follow) || follow)
        return;
    const QString name = front && front->localizedName && !front->localizedName->isEmpty() ? *front->localizedName
                                                                                            : QStringLiteral("window");
    app.toast(QStringLiteral("Moved ") + name + QStringLiteral(" to ") + target->displayName(),
              QStringLiteral("arrow.right.doc.on.clipboard"), HotkeyBindings::moveToastDuration);
}

} // namespace

HotkeyBindings::HotkeyBindings(AppActions& app)
    : app_(app)
{
}

void HotkeyBindings::apply()
{
    const QString signature = currentSignature();
    if (signature == signature_)
        return;
    signature_ = signature;
    HotkeyCenter::shared().unregisterAll();
    registerGlobalHotkeys();
    QSet<QString> taken;
    registerDesktopShortcuts(taken);
    registerNumberShortcuts(taken);
}

QString HotkeyBindings::currentSignature() const
{
    const Settings& settings = Settings::shared();
    QStringList desktopShortcuts;
    for (const Desktop& desktop : SpaceEngine::shared().desktops()) {
        if (const auto hotkey = desktop.hotkey())
            desktopShortcuts.append(QString::number(desktop.id()) + QStringLiteral(":") + hotkey->display());
    }
    const QStringList parts{
        signaturePart(settings.switcherHotkey()),
        signaturePart(settings.jumpBackHotkey()),
        signaturePart(settings.nextHotkey()),
        signaturePart(settings.prevHotkey()),
        signaturePart(settings.presentationHotkey()),
        flag(settings.directJumpEnabled()),
        QString::number(settings.directJumpModifiers()),
        flag(settings.moveWindowEnabled()),
        desktopShortcuts.join(QStringLiteral(",")),
    };
    return parts.join(QStringLiteral("|"));
}

void HotkeyBindings::registerGlobalHotkeys()
{
    const Settings& settings = Settings::shared();
    AppActions* app = &app_;
    registerIfSet(settings.switcherHotkey(), [app] { app->toggleQuickSwitcher(); });
    registerIfSet(settings.jumpBackHotkey(), [] { SpaceEngine::shared().jumpBack(); });
    registerIfSet(settings.nextHotkey(), [] { SpaceEngine::shared().step(1); });
    registerIfSet(settings.prevHotkey(), [] { SpaceEngine::shared().step(-1); });
    registerIfSet(settings.presentationHotkey(), [app] { app->togglePresentation(); });
}

void HotkeyBindings::registerDesktopShortcuts(QSet<QString>& taken)
{
    for (const Desktop& desktop : SpaceEngine::shared().desktops()) {
        const auto hotkey = desktop.hotkey();
        if (!hotkey)
            continue;
        taken.insert(hotkey->display());
        // Looked up at the press: the desktop may have moved or gone since.
        HotkeyCenter::shared().registerHotkey(*hotkey, [id = desktop.id()] {
            SpaceEngine& engine = SpaceEngine::shared();
            if (const auto target = engine.desktopWithID(id))
                engine.switchTo(*target, QStringLiteral("space hotkey"));
        });
    }
}

void HotkeyBindings::registerNumberShortcuts(const QSet<QString>& taken)
{
    const Settings& settings = Settings::shared();
    const quint32 modifiers = settings.directJumpModifiers();
    for (qint64 n = 1; n <= Hotkey::digitLimit; ++n) {
        if (settings.directJumpEnabled()) {
            const auto hotkey = Hotkey::digit(n, modifiers);
            // A desktop's own shortcut keeps a combination it shares.
            if (hotkey && !taken.contains(hotkey->display())) {
                HotkeyCenter::shared().registerHotkey(*hotkey, [n] {
                    SpaceEngine& engine = SpaceEngine::shared();
                    if (const auto target = engine.desktopWithNumber(n))
                        engine.switchTo(*target, QStringLiteral("hotkey"));
                });
            }
        }
        if (settings.moveWindowEnabled()) {
            if (const auto hotkey = Hotkey::digit(n, modifiers | Hotkey::shiftKey))
                HotkeyCenter::shared().registerHotkey(*hotkey, [app = &app_, n] { moveFrontWindow(*app, n); });
        }
    }
}
