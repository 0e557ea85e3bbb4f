#pragma once

#include "platform/sim/World.h"
#include "support/PlatformTest.h"

#include <QList>
#include <QString>

// A test with an empty simulated world that the test fills itself.
class EngineTest : public PlatformTest {
protected:
    EngineTest() { world().clear(); }

    static platform::sim::World& world() { return platform::sim::World::shared(); }

    // A display whose spaces are ordinary desktops unless types says otherwise.
    static platform::sim::DisplaySpec display(const QString& uuid, const QList<quint64>& spaceIDs, quint64 current,
                                              quint32 displayID = 1, const QList<qint64>& types = {})
    {
        platform::sim::DisplaySpec shown;
        shown.uuid = uuid;
        shown.displayID = displayID;
        shown.currentSpaceID = current;
        for (qsizetype i = 0; i < spaceIDs.size(); ++i) {
            const qint64 type = i < types.size() ? types[i] : 0;
            shown.spaces.append({spaceIDs[i], static_cast<qint64>(spaceIDs[i]) + 1000, type, {}});
        }
        return shown;
    }

    static void addApp(qint32 pid, const QString& name,
                       platform::ActivationPolicy policy = platform::ActivationPolicy::regular)
    {
        platform::sim::AppSpec app;
        app.pid = pid;
        app.bundleID = QStringLiteral("com.example.") + name.toLower();
        app.name = name;
        app.bundlePath = QStringLiteral("/Applications/") + name + QStringLiteral(".app");
        app.policy = policy;
        world().addApp(app);
    }

    // Adds a window in front of the others.
    static void addWindow(qint64 number, qint32 pid, quint64 space, double width = 800, double height = 600)
    {
        platform::sim::WindowSpec window;
        window.number = number;
        window.ownerPID = pid;
        window.bounds = QRectF(10, 10, width, height);
        window.spaces = {space};
        world().addWindow(window);
    }
};
