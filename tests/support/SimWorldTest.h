#pragma once

#include "platform/sim/World.h"
#include "support/PlatformTest.h"

#include <QList>
#include <QString>

// A test that builds its own simulated world: the world emptied, then filled
// with displays, apps and windows through these builders.
class SimWorldTest : public PlatformTest {
protected:
    SimWorldTest() { world().clear(); }

    static platform::sim::World& world() { return platform::sim::World::shared(); }

    // A display showing spaceIDs with current on screen; the spaces are
    // ordinary desktops unless types says otherwise, and each space's managed
    // id is its id + 1000.
    static platform::sim::DisplaySpec display(const QString& uuid, const QList<quint64>& spaceIDs, quint64 current,
                                              quint32 displayID = 1, const QList<qint64>& types = {});
    // count desktops with ids (and managed ids) firstID, firstID + 1, ...; the
    // first is on screen. The display id is left at 0.
    static platform::sim::DisplaySpec desktops(const QString& uuid, int count, quint64 firstID);

    static void addApp(qint32 pid, const QString& name,
                       platform::ActivationPolicy policy = platform::ActivationPolicy::regular);
    // Adds a window in front of the others.
    static void addWindow(qint64 number, qint32 pid, quint64 space, double width = 800, double height = 600);
};
