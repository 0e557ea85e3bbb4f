#pragma once

#include "platform/HotKeys.h"
#include "store/Hotkey.h"

#include <functional>
#include <map>

// The app's global hotkeys: each registered combination runs its action when
// pressed, whichever application is in front. The shortcut recorder suspends
// the registry so that a pressed shortcut is recorded instead of fired.
class HotkeyCenter {
public:
    // "QVLN": the signature of every hot-key id this app registers.
    static constexpr platform::FourCharCode signature = platform::fourCharCode("QVLN");

    static HotkeyCenter& shared();

    HotkeyCenter(const HotkeyCenter&) = delete;
    HotkeyCenter& operator=(const HotkeyCenter&) = delete;

    // Stores the hotkey under a fresh id and, unless suspended, registers it
    // with the system. A combination the system refuses stays stored and
    // leaves a system-log line.
    void registerHotkey(const Hotkey& hotkey, std::function<void()> action);
    void unregisterAll();
    // Withdraws every registration from the system; the entries stay.
    void suspend();
    // Registers every stored entry again, each under its own id.
    void resume();

    bool isSuspended() const { return suspended_; }
    std::size_t entryCount() const { return entries_.size(); }

private:
    struct Entry {
        Hotkey hotkey;
        std::function<void()> action;
        platform::EventHotKeyRef reference = 0; // set exactly while registered
    };

    HotkeyCenter();
    void registerWithSystem(quint32 id);
    void unregisterFromSystem();
    void runAction(quint32 id);
    static platform::OSStatus handleEvent(platform::EventRef event);

    std::map<quint32, Entry> entries_;
    platform::EventHandlerRef handler_ = 0;
    quint64 nextID_ = 1;
    bool suspended_ = false;
};
