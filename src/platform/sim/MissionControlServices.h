#pragma once

#include "platform/sim/MissionControl.h"

#include <QList>
#include <QString>

#include <map>

namespace platform::sim {

// The accessibility observers and event taps the simulated Mission Control
// serves, as the platform functions behind platform/Accessibility.h and
// platform/EventTap.h keep them.
struct MissionControl::Services {
    struct Registration {
        quint64 element = 0;
        QString name;
        void* context = nullptr;
    };
    struct ObserverRecord {
        qint32 pid = 0;
        AX::ObserverCallback callback;
        QList<Registration> registrations;
        bool sourceAdded = false;
    };
    struct Tap {
        quint64 mask = 0;
        EventTap::Callback callback;
        bool enabled = true;
    };
    std::map<quint64, ObserverRecord> observers;
    quint64 nextObserver = 1;
    std::map<EventTap::Port, Tap> taps;
    EventTap::Port nextTap = 1;
};

} // namespace platform::sim
