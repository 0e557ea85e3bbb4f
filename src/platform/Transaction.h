#pragma once

#include "platform/Layer.h"

#include <functional>

namespace platform {

// Groups layer changes: the innermost open transaction gives the duration,
// timing function and whether actions are disabled for the changes made in
// it (a nested transaction starts from its parent's settings). A completion
// block runs on the main queue once every animation added inside the
// transaction, nested ones included, has ended; at once (on the next turn of
// the main loop) when there were none. Main thread only.
class Transaction {
public:
    Transaction() = delete;

    static void begin();
    static void commit();
    static void setAnimationDuration(double seconds);
    static void setAnimationTimingFunction(TimingFunction timing);
    static void setDisableActions(bool disabled);
    static void setCompletionBlock(std::function<void()> completion);

    // The settings that apply to a change made now; outside a transaction:
    // no animation.
    static double animationDuration();
    static TimingFunction animationTimingFunction();
    static bool disableActions();
    static bool isOpen();
    // Called by layers for every animation they start.
    static void noteAnimationEnd(double endTime);
};

} // namespace platform
