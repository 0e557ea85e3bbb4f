#include "support/SimWorldTest.h"

platform::sim::DisplaySpec SimWorldTest::display(const QString& uuid, const QList<quint64>& spaceIDs, quint64 current,
                                                 quint32 displayID, const QList<qint64>& types)
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

platform::sim::DisplaySpec SimWorldTest::desktops(const QString& uuid, int count, quint64 firstID)
{
    platform::sim::DisplaySpec spec;
    spec.uuid = uuid;
    for (int i = 0; i < count; ++i)
        spec.spaces.append(platform::sim::SpaceSpec{firstID + quint64(i), qint64(firstID) + i, 0, std::nullopt});
    spec.currentSpaceID = firstID;
    return spec;
}

void SimWorldTest::addApp(qint32 pid, const QString& name, platform::ActivationPolicy policy)
{
    platform::sim::AppSpec app;
    app.pid = pid;
    app.bundleID = QStringLiteral("com.example.") + name.toLower();
    app.name = name;
    app.bundlePath = QStringLiteral("/Applications/") + name + QStringLiteral(".app");
    app.policy = policy;
    world().addApp(app);
}

void SimWorldTest::addWindow(qint64 number, qint32 pid, quint64 space, double width, double height)
{
    platform::sim::WindowSpec window;
    window.number = number;
    window.ownerPID = pid;
    window.bounds = QRectF(10, 10, width, height);
    window.spaces = {space};
    world().addWindow(window);
}
