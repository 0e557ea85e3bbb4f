#include "switching/HotkeyCenter.h"

#include "platform/Lifetime.h"
#include "platform/SystemLog.h"

#include <limits>

namespace {

void logRefused(const Hotkey& hotkey, const QString& reason)
{
    platform::SystemLog::write(QStringLiteral("Tessaroom: could not register hotkey ") + hotkey.display()
                               + QStringLiteral(" (") + reason + QStringLiteral(")"));
}

} // namespace

HotkeyCenter& HotkeyCenter::shared()
{
    static platform::Shared<HotkeyCenter> center([] { return new HotkeyCenter; });
    return center.get();
}

HotkeyCenter::HotkeyCenter()
{
    const std::vector<platform::EventTypeSpec> kinds{{platform::kEventClassKeyboard, platform::kEventHotKeyPressed}};
    platform::HotKeys::installEventHandler(platform::HotKeys::applicationEventTarget(), &HotkeyCenter::handleEvent,
                                           kinds, &handler_);
}

void HotkeyCenter::registerHotkey(const Hotkey& hotkey, std::function<void()> action)
{
    // Ids are never reused, so a late event never reaches a newer entry; once
    // they run out nothing more can be registered.
    if (nextID_ > std::numeric_limits<quint32>::max()) {
        logRefused(hotkey, QStringLiteral("no hotkey ids left"));
        return;
    }
    const auto id = quint32(nextID_++);
    entries_[id] = Entry{hotkey, std::move(action), 0};
    if (!suspended_)
        registerWithSystem(id);
}

void HotkeyCenter::unregisterAll()
{
    unregisterFromSystem();
    entries_.clear();
}

void HotkeyCenter::suspend()
{
    suspended_ = true;
    unregisterFromSystem();
}

void HotkeyCenter::resume()
{
    suspended_ = false;
    for (auto& [id, entry] : entries_)
        registerWithSystem(id);
}

void HotkeyCenter::registerWithSystem(quint32 id)
{
    auto it = entries_.find(id);
    if (it == entries_.end() || it->second.reference != 0)
        return;
    Entry& entry = it->second;
    platform::EventHotKeyRef reference = 0;
    const platform::OSStatus status = platform::HotKeys::registerEventHotKey(
        entry.hotkey.keyCode, entry.hotkey.modifiers, {signature, id}, platform::HotKeys::applicationEventTarget(), 0,
        &reference);
    if (status == platform::Status::noErr) {
        entry.reference = reference;
        return;
    }
    logRefused(entry.hotkey, QStringLiteral("status ") + QString::number(status));
}

void HotkeyCenter::unregisterFromSystem()
{
    for (auto& [id, entry] : entries_) {
        if (entry.reference == 0)
            continue;
        platform::HotKeys::unregisterEventHotKey(entry.reference);
        entry.reference = 0;
    }
}

void HotkeyCenter::runAction(quint32 id)
{
    auto it = entries_.find(id);
    if (it == entries_.end() || !it->second.action)
        return;
    // The action may re-apply the bindings, which replaces the entries.
    const std::function<void()> action = it->second.action;
    action();
}

platform::OSStatus HotkeyCenter::handleEvent(platform::EventRef event)
{
    if (!event)
        return platform::Status::noErr;
    platform::EventHotKeyID hotKeyID;
    // A failed read leaves id 0, which no entry has.
    platform::HotKeys::getEventParameter(event, platform::kEventParamDirectObject, platform::typeEventHotKeyID,
                                         &hotKeyID);
    shared().runAction(hotKeyID.id);
    return platform::Status::noErr;
}
