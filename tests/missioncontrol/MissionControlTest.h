#pragma once

#include "engine/EngineTest.h"
#include "engine/SpaceEngine.h"
#include "missioncontrol/MissionControlOverlay.h"
#include "platform/EventSource.h"
#include "platform/sim/MissionControl.h"
#include "store/LogFile.h"
#include "store/Settings.h"
#include "store/SpaceStore.h"
#include "switching/Accessibility.h"
#include "ui/KitFonts.h"

#include <QFile>

#include <gmock/gmock.h>

#include <memory>

// A world of displays with desktops (space ids 1.., managed ids 1001..), the
// simulated Mission Control, the engine and the Accessibility monitor.
class MissionControlTest : public EngineTest {
protected:
    MissionControlTest()
    {
        KitFonts::install();
        // The user touched the Mac just now.
        world().noteInputEvent(platform::EventSource::EventType::mouseMoved);
    }

    static platform::sim::MissionControl& mc() { return platform::sim::MissionControl::shared(); }
    static SpaceEngine& engine() { return SpaceEngine::shared(); }
    static Settings& settings() { return Settings::shared(); }
    static Accessibility& access() { return Accessibility::shared(); }

    // One display per entry of counts, side by side, 1512 x 982 each; the
    // first is the primary screen. Display ids 1, 2, ...; UUIDs "D1", "D2".
    void addDisplays(const QList<int>& counts)
    {
        quint64 space = 1;
        double x = 0;
        for (qsizetype i = 0; i < counts.size(); ++i) {
            QList<quint64> ids;
            for (int n = 0; n < counts[i]; ++n)
                ids.append(space++);
            auto shown = display(QStringLiteral("D") + QString::number(i + 1), ids, ids.value(0), quint32(i + 1));
            shown.frame = QRectF(x, 0, 1512, 982);
            world().addDisplay(shown);
            x += 1512;
        }
        clock().runPending();
        engine().refresh(false);
        // The host runs with the system.
        mc().hostPID();
    }

    // Names the desktop with this space id (managed id = id + 1000).
    static void name(quint64 spaceID, const QString& text)
    {
        SpaceStore::shared().change(qint64(spaceID) + 1000, [&](SpaceMeta& meta) { meta.name = text; });
    }

    void setTrusted(bool trusted)
    {
        world().setTrusted(trusted);
        access().refresh(false);
    }

    std::unique_ptr<MissionControlOverlay> makeOverlay()
    {
        return std::make_unique<MissionControlOverlay>(engine(), settings(), access());
    }

    static QString log()
    {
        QFile file(LogFile::missionControl().path());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll());
    }
};
