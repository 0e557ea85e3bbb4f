#pragma once

#include "engine/SpaceEngine.h"
#include "platform/KeyCodes.h"
#include "platform/PreferenceDomain.h"
#include "platform/sim/DesktopShortcuts.h"
#include "platform/sim/World.h"
#include "store/LogFile.h"
#include "support/SimWorldTest.h"
#include "switching/DesktopSwitcher.h"

#include <QFile>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

#include <ostream>

// Readable failure messages for texts.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

// A simulated machine for switching tests: displays whose spaces are
// numbered from a base id, the system's desktop-shortcut table, the switches
// log, and a Mission Control route that presses like the real one.
namespace switching_test {

inline const QString mainDisplay = QStringLiteral("MAIN");
inline const QString sideDisplay = QStringLiteral("SIDE");
inline constexpr qint64 control = 262144;

inline QVariantMap shortcutEntry(QVariant enabled, qint64 keyCode, qint64 mask)
{
    const QVariantMap value{{"parameters", QVariantList{qint64(65535), keyCode, mask}}, {"type", "standard"}};
    QVariantMap entry{{"value", value}};
    if (enabled.isValid())
        entry.insert("enabled", enabled);
    return entry;
}

inline void writeShortcutTable(const QVariantMap& table)
{
    platform::PreferenceDomain::named("com.apple.symbolichotkeys").setObject("AppleSymbolicHotKeys", table);
}

inline QVariantMap shortcutTable()
{
    return platform::PreferenceDomain::named("com.apple.symbolichotkeys").object("AppleSymbolicHotKeys").toMap();
}

// Control + digit for desktops 1...count, as the system writes them.
inline QVariantMap digitShortcuts(int count)
{
    QVariantMap table;
    for (int i = 0; i < count; ++i)
        table.insert(QString::number(118 + i), shortcutEntry(true, platform::KeyCode::digitRow.at(i), control));
    return table;
}

// The switches log without timestamps.
inline QStringList switchLog()
{
    QFile file(LogFile::switches().path());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines;
    for (const QString& line : QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts))
        lines.append(line.mid(line.indexOf(QStringLiteral("] ")) + 2));
    return lines;
}

class SwitchingWorld : public SimWorldTest {
protected:
    SwitchingWorld() { DesktopSwitcher::installAsEngineSwitcher(); }

    // Builds the world, lets the Dock load the shortcut table, and makes the
    // engine see it.
    void setUp(const QList<platform::sim::DisplaySpec>& displays, const QVariantMap& shortcuts)
    {
        writeShortcutTable(shortcuts);
        auto& world = platform::sim::World::shared();
        for (const auto& spec : displays)
            world.addDisplay(spec);
        platform::sim::restartDock();
        engine().refresh(false);
    }

    SpaceEngine& engine() { return SpaceEngine::shared(); }
    DesktopSwitcher& switcher() { return *DesktopSwitcher::of(engine()); }
    Desktop desktop(qint64 number) { return *engine().desktopWithNumber(number); }
    quint64 current(const QString& uuid = mainDisplay)
    {
        return platform::sim::World::shared().currentSpace(uuid).value_or(0);
    }

    // A Mission Control route that, pressed after pressDelay, shows the
    // desktop when pressesWork is set and reports pressesWork.
    void installMissionControl(double pressDelay = 0.5)
    {
        switcher().setPressInMissionControl([this, pressDelay](qint64 number, std::function<void(bool)> done) {
            missionControlPresses.append(number);
            runAfterDelay(pressDelay, [this, number, done] {
                if (pressesWork) {
                    const Desktop target = desktop(number);
                    platform::sim::World::shared().setCurrentSpace(target.displayUUID(), target.id());
                }
                done(pressesWork);
            });
        });
    }

    static void runAfterDelay(double delay, std::function<void()> work)
    {
        platform::Scheduler::current().schedule(delay, std::move(work));
    }

    // Switches and records the outcome in results.
    void request(qint64 number, const QString& reason)
    {
        const qsizetype slot = results.size();
        results.append(-1);
        engine().switchTo(desktop(number), reason, [this, slot](bool arrived) {
            results[slot] = results[slot] == -1 ? int(arrived) : 99; // 99: called twice
        });
    }

    QList<qint64> missionControlPresses;
    bool pressesWork = true;
    QList<int> results;
};

} // namespace switching_test
