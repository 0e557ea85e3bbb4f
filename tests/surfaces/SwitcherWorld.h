#pragma once

#include "engine/DesktopSwitching.h"
#include "engine/SpaceEngine.h"
#include "platform/sim/World.h"
#include "store/SpaceStore.h"
#include "ui/UiTest.h"

#include <QColor>
#include <QList>
#include <QString>

#include <memory>
#include <vector>

// A switch request as the engine handed it on.
struct SwitchRequest {
    quint64 desktopID = 0;
    QString reason;
};

// Records every switch request and reports the arrival at once.
class RecordingSwitcher : public DesktopSwitching {
public:
    explicit RecordingSwitcher(std::vector<SwitchRequest>& requests)
        : requests_(requests)
    {
    }
    void switchTo(const Desktop& desktop, const QString& reason, std::function<void(bool)> completion) override
    {
        requests_.push_back({desktop.id(), reason});
        if (completion)
            completion(true);
    }

private:
    std::vector<SwitchRequest>& requests_;
};

// A fixture with an empty world that the test fills: one 1000 x 800 display
// (a 37-point menu bar) with desktops whose space ids are 1, 2, 3... and
// whose managed ids are 1001, 1002...; switch requests are recorded.
class SwitcherWorld : public UiTest {
protected:
    static constexpr const char* displayUUID = "DISPLAY-A";

    SwitcherWorld()
    {
        world().clear();
        engine().setSwitcher(std::make_unique<RecordingSwitcher>(requests_));
    }

    static platform::sim::World& world() { return platform::sim::World::shared(); }
    static SpaceEngine& engine() { return SpaceEngine::shared(); }
    const std::vector<SwitchRequest>& requests() const { return requests_; }

    // count desktops on one display, the current one given by number.
    static void makeDesktops(int count, int current = 1, QRectF frame = QRectF(0, 0, 1000, 800))
    {
        platform::sim::DisplaySpec display;
        display.uuid = QString::fromLatin1(displayUUID);
        display.displayID = 1;
        display.frame = frame;
        for (int i = 1; i <= count; ++i)
            display.spaces.append({quint64(i), 1000 + i, 0, {}});
        display.currentSpaceID = quint64(current);
        world().addDisplay(display);
        engine().refresh(false);
    }

    static void name(int number, const QString& name)
    {
        SpaceStore::shared().change(1000 + number, [&](SpaceMeta& meta) { meta.name = name; });
    }

    // An app with one window on each given desktop (space ids).
    static void addApp(qint32 pid, const QString& name, const QList<quint64>& spaces, bool withIcon = true)
    {
        platform::sim::AppSpec app;
        app.pid = pid;
        app.bundleID = QStringLiteral("com.example.") + name.toLower();
        app.name = name;
        if (withIcon) {
            QImage icon(32, 32, QImage::Format_ARGB32_Premultiplied);
            icon.fill(QColor::fromHsv((pid * 47) % 360, 160, 230));
            app.icon = icon;
        }
        world().addApp(app);
        qint64 number = pid * 100;
        for (const quint64 space : spaces) {
            platform::sim::WindowSpec window;
            window.number = ++number;
            window.ownerPID = pid;
            window.bounds = QRectF(10, 10, 800, 600);
            window.spaces = {space};
            world().addWindow(window);
        }
    }

    static Desktop desktopNumber(qint64 number) { return *engine().desktopWithNumber(number); }

private:
    std::vector<SwitchRequest> requests_;
};

// Writes a picture for a person to look at when TESSAROOM_RENDER_DIR names a
// folder; does nothing otherwise.
inline void keepRender(const QImage& image, const QString& name)
{
    const QString folder = qEnvironmentVariable("TESSAROOM_RENDER_DIR");
    if (!folder.isEmpty())
        image.save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
}
