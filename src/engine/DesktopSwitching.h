#pragma once

#include <QString>

#include <functional>

struct Desktop;

// What the engine hands its switch requests to. The switching layer
// implements it; the engine never switches on its own.
class DesktopSwitching {
public:
    virtual ~DesktopSwitching() = default;

    // Starts a switch; completion (may be empty) runs once on the main
    // thread with whether the desktop arrived. reason is logged verbatim.
    virtual void switchTo(const Desktop& desktop, const QString& reason, std::function<void(bool)> completion) = 0;
};
