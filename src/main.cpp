#include "engine/SkyLight.h"
#include "engine/SpaceEngine.h"
#include "store/LegacyMigration.h"
#include "store/LogFile.h"
#include "store/SpaceStore.h"
#include "store/Timers.h"
#include "switching/DesktopSwitcher.h"
#include "ui/KitFonts.h"

#include <QApplication>
#include <QStringList>
#include <QTextStream>

#include <cmath>
#include <optional>

namespace {

struct Options {
    // Quit after this many seconds; none: run until quit.
    std::optional<double> runFor;
    QString error;
};

Options parseOptions(const QStringList& arguments)
{
    Options options;
    const qsizetype at = arguments.indexOf(QStringLiteral("--run-for"));
    if (at < 0)
        return options;
    bool ok = false;
    const double seconds = at + 1 < arguments.size() ? arguments[at + 1].toDouble(&ok) : 0;
    if (!ok || !std::isfinite(seconds) || seconds < 0)
        options.error = QStringLiteral("--run-for needs a number of seconds (0 or more)");
    else
        options.runFor = seconds;
    return options;
}

void logSwitch(const QString& displayUUID, const std::optional<Desktop>&, const Desktop& to)
{
    LogFile::switches().write(QStringLiteral("switched to ") + to.displayName() + QStringLiteral(" on ") + displayUUID);
}

// Older desktop names are imported once, from every space of every display.
void importLegacyNames(const SpaceEngine& engine)
{
    QList<LegacySpace> spaces;
    for (const SkyLight::Display& display : engine.displays()) {
        for (const SkyLight::Space& space : display.spaces)
            spaces.append(LegacySpace{space.id, space.managedID});
    }
    SpaceStore::shared().importLegacyNames(spaces, [](quint64 id) { return SkyLight::spaceName(id); });
}

} // namespace

int main(int argc, char* argv[])
{
    // Before anything reads the preferences, so every reader sees the imported values.
    LegacyMigration::run();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessaroom"));
    KitFonts::install();

    const Options options = parseOptions(QApplication::arguments());
    if (!options.error.isEmpty()) {
        QTextStream(stderr) << options.error << Qt::endl;
        return 2;
    }

    DesktopSwitcher::installAsEngineSwitcher();
    SpaceEngine& engine = SpaceEngine::shared();
    importLegacyNames(engine);
    engine.setOnSwitch(logSwitch);
    engine.start();
    QObject::connect(&app, &QCoreApplication::aboutToQuit, [] {
        SpaceEngine::shared().saveTime();
        SpaceStore::shared().flushNow();
    });
    if (options.runFor)
        runAfter(*options.runFor, [] { QCoreApplication::quit(); });
    return app.exec();
}
