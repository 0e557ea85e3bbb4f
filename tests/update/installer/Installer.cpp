// An install in a process of its own, killed (SIGKILL) at one named step:
// what a crash at that step leaves is what the next launch must put right.
//
//   tessaroom-update-installer TARGET IMAGE ROAD STEP
//
// Checks a feed served on loopback that offers IMAGE as 1.3, downloads it
// and installs it over TARGET, the running copy 1.2. ROAD is "exchange" or
// "rename" (the file system cannot exchange, so the old copy is moved aside
// first). STEP names where the process dies:
//   attach-before, ditto-before, detach-before
//                                   the tool is started and dies with the app
//   ditto-torn                      the copy tool dies halfway with the app
//   attach-after, ditto-after, detach-after
//                                   the tool ended, the app had not heard
//   sync0, sync1, sync2             at the sync of the staged copy, of its
//                                   folder before the swap, of it after
//   exchange-before, exchange-after, rename1-before, rename1-after,
//   rename2-before, rename2-after   around the swap's renames
// or, as hold-STEP, where it prints "held at STEP" and waits, holding what it
// holds, until its standard input ends; then it goes on.
// The test's home comes from HOME, XDG_* and TMPDIR; the maker's public key
// (base64) from TESSAROOM_TEST_MAKER_KEY. Exits 0 after an install that
// was not killed, 1 after a failed one, 64 on bad arguments.
#include "platform/FileManager.h"
#include "platform/QtScheduler.h"
#include "platform/linux/HelperTools.h"
#include "platform/sim/Bundle.h"
#include "platform/sim/CodeSigning.h"
#include "platform/sim/SystemVersion.h"
#include "platform/sim/Volumes.h"
#include "store/Settings.h"
#include "support/LoopbackServer.h"
#include "support/MakerFeed.h"
#include "update/NetworkUrlLoader.h"
#include "update/Updates.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

QString step;

void reach(const QString& name)
{
    if (name == step)
        ::raise(SIGKILL);
    if (QStringLiteral("hold-") + name == step) {
        std::printf("held at %s\n", qPrintable(name));
        std::fflush(stdout);
        char ignored = 0;
        while (::read(STDIN_FILENO, &ignored, 1) > 0) {
        }
    }
}

// The tool at path becomes a script that dies with this process when its
// first argument is verb (any, when verb is empty): at its start, or, torn,
// after copying the tree and losing a file of it.
void killingTool(const QString& path, const QString& real, const QString& verb, bool torn,
                 platform::host::ToolAfterward afterward)
{
    const QString script = QDir(QDir::tempPath()).filePath(QStringLiteral("killing-") + QFileInfo(path).fileName());
    QFile file(script);
    file.open(QIODevice::WriteOnly);
    const QString body = torn ? QStringLiteral("'%1' \"$@\"\nrm -f \"$2/Contents/Info.plist\"\n").arg(real) : QString();
    file.write(QStringLiteral("#!/bin/sh\nif [ \"$1\" = '%1' ] || [ -z '%1' ]; then\n%2kill -9 $PPID\nexit 1\nfi\n"
                              "exec '%3' \"$@\"\n")
                   .arg(verb, body, real)
                   .toUtf8());
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    platform::host::mapTool(path, script, std::move(afterward));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() != 5)
        return 64;
    const QString target = arguments[1];
    const QString image = arguments[2];
    const bool exchange = arguments[3] == QLatin1String("exchange");
    step = arguments[4];

    platform::Scheduler::install(std::make_unique<platform::QtScheduler>());
    platform::sim::setExecutablePath(target + QStringLiteral("/Contents/MacOS/Tessaroom"));
    platform::sim::setBundleShortVersion(QStringLiteral("1.2"));
    platform::sim::setOperatingSystemVersion({14, 6, 1});
    platform::sim::pinTeamKey(QStringLiteral("4HN7QX2LPD"),
                              QByteArray::fromBase64(qgetenv("TESSAROOM_TEST_MAKER_KEY")));

    // The image tools; what the app hears of their end is a step too.
    const auto heard = [](const QString& tool) {
        return [tool](const QStringList& toolArguments, std::optional<int> exitStatus) {
            const QString verb = tool == QLatin1String("ditto") ? tool : toolArguments.value(0);
            if (exitStatus == 0 && verb == QLatin1String("attach"))
                platform::sim::mountVolume(toolArguments.value(toolArguments.indexOf(QStringLiteral("-mountpoint")) + 1),
                                           true);
            reach(verb + QStringLiteral("-after"));
        };
    };
    platform::host::mapTool(QStringLiteral("/usr/bin/hdiutil"), QStringLiteral(TESSAROOM_HDIUTIL_TOOL),
                            heard(QStringLiteral("hdiutil")));
    platform::host::mapTool(QStringLiteral("/usr/bin/ditto"), QStringLiteral(TESSAROOM_DITTO_TOOL),
                            heard(QStringLiteral("ditto")));
    if (step == QLatin1String("attach-before") || step == QLatin1String("detach-before"))
        killingTool(QStringLiteral("/usr/bin/hdiutil"), QStringLiteral(TESSAROOM_HDIUTIL_TOOL),
                    step.section(u'-', 0, 0), false, heard(QStringLiteral("hdiutil")));
    if (step == QLatin1String("ditto-before") || step == QLatin1String("ditto-torn"))
        killingTool(QStringLiteral("/usr/bin/ditto"), QStringLiteral(TESSAROOM_DITTO_TOOL), QString(),
                    step == QLatin1String("ditto-torn"), heard(QStringLiteral("ditto")));
    if (step.startsWith(QLatin1String("sync")))
        platform::FileManager::failSync({.callIndex = step.mid(4).toInt(), .errorCode = 0, .whenMet = [] {
                                             ::raise(SIGKILL);
                                         }});

    LoopbackServer server;
    QFile imageFile(image);
    if (!imageFile.open(QIODevice::ReadOnly))
        return 64;
    server.setRoute(QStringLiteral("/Tessaroom-1.3.dmg"), LoopbackServer::Route{.body = imageFile.readAll()});
    const QJsonObject feed =
        makerFeed(QStringLiteral("1.3"), imageFile.size(), Updates::sha256Hex(image).value_or(QString()), server.origin());
    server.setRoute(QStringLiteral("/update.json"), LoopbackServer::Route{.body = makerFeedBytes(feed)});
    qputenv("TESSAROOM_UPDATE_FEED", (server.origin() + QStringLiteral("/update.json")).toUtf8());

    NetworkUrlLoader loader;
    Updates updates(Settings::shared(), loader);
    const Updates::Renames system = Updates::systemRenames();
    int renames = 0;
    updates.renames.exchange = [&](const QString& first, const QString& second) {
        if (!exchange)
            return EINVAL;
        reach(QStringLiteral("exchange-before"));
        const int result = system.exchange(first, second);
        reach(QStringLiteral("exchange-after"));
        return result;
    };
    updates.renames.rename = [&](const QString& from, const QString& to) {
        const QString name = QStringLiteral("rename%1").arg(++renames);
        reach(name + QStringLiteral("-before"));
        const int result = system.rename(from, to);
        reach(name + QStringLiteral("-after"));
        return result;
    };
    updates.relaunch = [](const QString&) {};

    int status = 1;
    updates.check([&](const QString& outcome) {
        if (!updates.available()) {
            std::fprintf(stderr, "check: %s\n", qPrintable(outcome));
            app.exit(1);
            return;
        }
        updates.download([&] {
            if (updates.phase().kind != Updates::Phase::Kind::ready) {
                std::fprintf(stderr, "download: %s\n", qPrintable(updates.phase().failure));
                app.exit(1);
                return;
            }
            updates.install([&] {
                const bool installed = updates.phase().kind == Updates::Phase::Kind::installing;
                if (!installed)
                    std::fprintf(stderr, "install: %s\n", qPrintable(updates.phase().failure));
                status = installed ? 0 : 1;
                app.exit(status);
            });
        });
    });
    app.exec();
    NetworkUrlLoader::endAllTransfers();
    platform::Scheduler::current().finishBackgroundWork();
    return status;
}
