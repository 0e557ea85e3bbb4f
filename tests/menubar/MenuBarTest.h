#pragma once

#include "engine/DesktopSwitching.h"
#include "engine/SpaceEngine.h"
#include "platform/sim/StatusBar.h"
#include "platform/sim/World.h"
#include "store/Settings.h"
#include "support/Pixels.h"
#include "support/PlatformTest.h"
#include "ui/AppCommands.h"

#include <QColor>
#include <QImage>
#include <QStringList>

#include <gtest/gtest.h>

class QWidget;

// Every command the tile and popover issue, as text.
class RecordingCommands final : public InertCommands {
public:
    QStringList calls;

    void openSettings(std::optional<SettingsPage> page) override
    {
        calls << QStringLiteral("openSettings:") + (page ? QString::number(int(*page)) : QStringLiteral("none"));
    }
    void showOnboarding() override { calls << QStringLiteral("showOnboarding"); }
    void openMissionControl() override { calls << QStringLiteral("openMissionControl"); }
    void toggleQuickSwitcher() override { calls << QStringLiteral("toggleQuickSwitcher"); }
    void togglePopover() override { calls << QStringLiteral("togglePopover"); }
    void showPopover(const PopoverPage& page) override
    {
        calls << (page.kind == PopoverPage::Kind::edit ? QStringLiteral("showPopover:edit:")
                          + QString::number(page.desktop->id())
                                                       : QStringLiteral("showPopover:list"));
    }
    void closePopover() override { calls << QStringLiteral("closePopover"); }
    void switchTo(const Desktop& desktop) override { calls << QStringLiteral("switchTo:") + QString::number(desktop.id()); }
    void switchTo(const Desktop& desktop, const SpaceApp& app) override
    {
        calls << QStringLiteral("switchTo:") + QString::number(desktop.id()) + QStringLiteral(":app:")
                + QString::number(app.pid);
    }
    void togglePresentation() override { calls << QStringLiteral("togglePresentation"); }
};

// The engine's switch requests, as "<space id>:<reason>".
class RecordingSwitcher final : public DesktopSwitching {
public:
    explicit RecordingSwitcher(QStringList& log) : log_(log) {}
    void switchTo(const Desktop& desktop, const QString& reason, std::function<void(bool)> completion) override
    {
        log_ << QString::number(desktop.id()) + u':' + reason;
        if (completion)
            completion(true);
    }

private:
    QStringList& log_;
};

// A world of the test's own displays (no notch), the kit's fonts, the
// engine switching into a log, and recorded commands.
class MenuBarTest : public PlatformTest {
protected:
    MenuBarTest();

    static platform::sim::World& world() { return platform::sim::World::shared(); }
    static SpaceEngine& engine() { return SpaceEngine::shared(); }
    static Settings& settings() { return Settings::shared(); }

    // A display with ordinary desktops spaceIDs (managed id = space id),
    // current the given one; types mark full-screen spaces.
    static void addDisplay(const QString& uuid, const QList<quint64>& spaceIDs, quint64 current,
                           const QList<qint64>& types = {}, double x = 0);
    static void name(quint64 spaceID, const QString& text);
    static void refresh() { engine().refresh(false); }
    // Lines of the switches log.
    QStringList switchLog() const;
    static QImage render(QWidget& widget, double scale = 2);
    static void savePicture(const QImage& image, const QString& fileName);

    RecordingCommands commands;
    QStringList switches;
};

