#include "debug/DebugTools.h"

#include "debug/AxDump.h"
#include "debug/McWatch.h"
#include "debug/ModeOutput.h"
#include "debug/SampleData.h"
#include "debug/SelfTest.h"
#include "debug/SpaceWatch.h"
#include "debug/StatusProbe.h"
#include "engine/SpaceEngine.h"
#include "platform/Accessibility.h"
#include "platform/Screens.h"
#include "settings/NotchScreens.h"
#include "store/LogFile.h"
#include "store/SettingEnums.h"
#include "store/Settings.h"
#include "store/SpaceStore.h"
#include "store/Timers.h"
#include "switching/Accessibility.h"
#include "switching/SystemShortcuts.h"
#include "ui/AppCommands.h"

#include <QCoreApplication>
#include <QFile>
#include <QLocale>
#include <QTextStream>
#include <QThread>
#include <QXmlStreamReader>


namespace {

QString boolText(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

QString caseName(PillPlacement value)
{
    return value == PillPlacement::belowPreview ? QStringLiteral("belowPreview") : QStringLiteral("insidePreview");
}

QString caseName(MenuBarStyle value)
{
    switch (value) {
    case MenuBarStyle::iconAndName: return QStringLiteral("iconAndName");
    case MenuBarStyle::nameOnly: return QStringLiteral("nameOnly");
    case MenuBarStyle::iconOnly: return QStringLiteral("iconOnly");
    case MenuBarStyle::numberAndName: return QStringLiteral("numberAndName");
    }
    return {};
}

QString caseName(HoverZone value)
{
    return value == HoverZone::center ? QStringLiteral("center") : QStringLiteral("wholeEdge");
}

QString caseName(NotchSide value)
{
    return value == NotchSide::left ? QStringLiteral("left") : QStringLiteral("right");
}

QString caseName(NotchContent value)
{
    switch (value) {
    case NotchContent::iconAndName: return QStringLiteral("iconAndName");
    case NotchContent::nameOnly: return QStringLiteral("nameOnly");
    case NotchContent::iconOnly: return QStringLiteral("iconOnly");
    }
    return {};
}

QString comboText(SystemShortcuts::Direction direction)
{
    const auto combo = SystemShortcuts::combo(direction);
    return combo ? combo->display : QStringLiteral("off");
}

QString desktopName(const std::optional<Desktop>& desktop)
{
    return desktop ? desktop->displayName() : QStringLiteral("-");
}

// "CFBundleShortVersionString" of a bundle on disk now; "?" when the file is
// no dictionary or the value is missing or no text.
QString bundleVersionOnDisk(const QString& bundlePath)
{
    QFile file(bundlePath + QStringLiteral("/Contents/Info.plist"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    QXmlStreamReader xml(&file);
    int depth = 0;
    bool sawDictionary = false;
    bool wantValue = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            ++depth;
            const auto name = xml.name();
            if (depth == 2 && name == QLatin1String("dict"))
                sawDictionary = true;
            else if (depth == 3 && sawDictionary && name == QLatin1String("key")) {
                wantValue = xml.readElementText() == QLatin1String("CFBundleShortVersionString");
                --depth;
            } else if (depth == 3 && wantValue)
                return name == QLatin1String("string") ? xml.readElementText() : QStringLiteral("?");
        } else if (xml.isEndElement()) {
            --depth;
        }
    }
    return QStringLiteral("?");
}

bool isGoodOutcome(const QString& outcome)
{
    return outcome == QStringLiteral("up to date") || outcome.endsWith(QStringLiteral(" is available"))
        || outcome.endsWith(QStringLiteral(" skipped"));
}

void printLine(QTextStream& out, const QString& line)
{
    out << line << '\n';
    out.flush();
}

} // namespace

// --- arguments ---------------------------------------------------------------------------

bool DebugTools::hasFlag(const QString& flag, const QStringList& arguments)
{
    return ModeOutput::hasFlag(flag, arguments);
}

std::optional<QString> DebugTools::value(const QString& flag, const QStringList& arguments)
{
    return ModeOutput::valueAfter(flag, arguments);
}

std::optional<qsizetype> DebugTools::index(const QString& flag, const QStringList& arguments)
{
    const qsizetype at = arguments.indexOf(flag);
    return at < 0 ? std::nullopt : std::optional<qsizetype>(at);
}

// --- dispatch ------------------------------------------------------------------------------

bool DebugTools::selectsMode(const QStringList& arguments)
{
    for (const char* flag : {"--diagnose", "--check-update", "--enable-shortcuts", "--sample", "--selftest"}) {
        if (hasFlag(QLatin1String(flag), arguments))
            return true;
    }
    for (const char* flag :
         {"--mc-watch", "--space-watch", "--ax-dump", "--status-probe", "--switch", "--capture", "--render"}) {
        if (value(QLatin1String(flag), arguments))
            return true;
    }
    return false;
}

bool DebugTools::runEarlyCommand(const QStringList& arguments, Environment& environment)
{
    if (hasFlag(QStringLiteral("--diagnose"), arguments)) {
        environment.out << diagnosticsText(environment);
        environment.out << '\n';
        environment.out.flush();
        environment.exit(0);
        return true;
    }
    if (hasFlag(QStringLiteral("--check-update"), arguments)) {
        runUpdateCommand(arguments, environment);
        return true;
    }
    if (hasFlag(QStringLiteral("--enable-shortcuts"), arguments)) {
        const bool wrote = SystemShortcuts::enableDesktopShortcuts(SystemShortcuts::desktopLimit);
        printLine(environment.out, QStringLiteral("wrote=%1 enabled=%2")
                                       .arg(boolText(wrote), QString::number(SystemShortcuts::enabledDesktopCount())));
        environment.exit(wrote ? 0 : 1);
        return true;
    }
    if (const auto logPath = value(QStringLiteral("--mc-watch"), arguments)) {
        runMissionControlWatch(*logPath, environment.accessibility ? *environment.accessibility : Accessibility::shared(),
                               environment.exit);
        return true;
    }
    if (const auto logPath = value(QStringLiteral("--space-watch"), arguments)) {
        runSpaceWatch(*logPath, environment.exit);
        return true;
    }
    if (const auto logPath = value(QStringLiteral("--ax-dump"), arguments)) {
        runAccessibilityDump(*logPath, AxDump::optionsFrom(arguments), arguments, environment.exit);
        return true;
    }
    if (const auto logPath = value(QStringLiteral("--status-probe"), arguments)) {
        static InertCommands inert;
        runStatusProbe(*logPath, environment.commands ? *environment.commands : inert, environment.exit);
        return true;
    }
    if (const auto target = value(QStringLiteral("--switch"), arguments)) {
        const QUrl link = environment.switchLink(*target);
        const LinkHandOver handed = environment.handOverLink ? environment.handOverLink(link) : LinkHandOver{.noCopy = true, .pid = 0, .problem = std::nullopt};
        // Nothing listens and no copy holds the lock: the switch is left to
        // this process. A copy that runs, starts or quits never has its
        // switch done here, where it would pass for the copy's.
        if (!handed.noCopy) {
            const QString url = QString::fromUtf8(link.toEncoded());
            const QString copy = handed.pid ? QStringLiteral("Tessaroom (pid %1)").arg(handed.pid) : QStringLiteral("Tessaroom");
            if (handed.problem) {
                for (const QString& reason : handed.problem->split(QLatin1Char('\n')))
                    printLine(environment.out, QStringLiteral("could not deliver the link: ") + reason);
                printLine(environment.out, copy + QStringLiteral(" did not take ") + url);
            } else {
                printLine(environment.out, QStringLiteral("asked %1 to open %2").arg(copy, url));
            }
            environment.exit(handed.problem ? 1 : 0);
            return true;
        }
    }
    return false;
}

namespace {

// How long "--switch" keeps the process alive for the switch and its checks.
constexpr double switchExitDelay = 2.5;

// A whole decimal number: an optional sign, then ASCII digits only, within
// the signed 64-bit range.
std::optional<qint64> wholeNumber(const QString& text)
{
    qsizetype position = 0;
    if (text.startsWith(QLatin1Char('+')) || text.startsWith(QLatin1Char('-')))
        position = 1;
    if (position == text.size())
        return std::nullopt;
    for (qsizetype i = position; i < text.size(); ++i) {
        if (text[i] < QLatin1Char('0') || text[i] > QLatin1Char('9'))
            return std::nullopt;
    }
    bool ok = false;
    const qint64 number = text.toLongLong(&ok, 10);
    return ok ? std::optional<qint64>(number) : std::nullopt;
}

// "--switch ARG" inside this process: by number first, else by name.
void switchInProcess(const QString& argument, LateModeContext& context)
{
    SpaceEngine& engine = context.engine;
    std::optional<Desktop> target;
    if (const auto number = wholeNumber(argument))
        target = engine.desktopWithNumber(*number);
    if (!target)
        target = engine.bestDesktopMatching(argument);
    if (target) {
        engine.switchTo(*target, QStringLiteral("cli"), [switched = context.switched](bool) {
            if (switched)
                switched();
        });
        printLine(context.out,
                  QStringLiteral("switching to Desktop %1 '%2'").arg(QString::number(target->number), target->displayName()));
    } else {
        printLine(context.out, QStringLiteral("no desktop matches '%1'").arg(argument));
        if (context.switched)
            context.switched();
    }
    // The process does not wait for the switch to land; a request that
    // matched nothing is a failure.
    runAfter(switchExitDelay, [exit = context.exit, status = target ? 0 : 1] { exit(status); });
}

} // namespace

bool DebugTools::runLateCommand(const QStringList& arguments, LateModeContext& context)
{
    const bool sample = hasFlag(QStringLiteral("--sample"), arguments);
    if (const auto directory = value(QStringLiteral("--capture"), arguments)) {
        if (sample)
            SampleData::load(context.engine, SpaceStore::shared());
        capture(*directory, context);
        return true;
    }
    if (sample) {
        SampleData::load(context.engine, SpaceStore::shared());
        LogFile::switches().write(QStringLiteral("running on sample data for this session"));
    }
    if (const auto directory = value(QStringLiteral("--render"), arguments)) {
        Q_ASSERT(QThread::currentThread() == QCoreApplication::instance()->thread());
        renderAll(*directory, context);
        return true;
    }
    if (const auto target = value(QStringLiteral("--switch"), arguments)) {
        switchInProcess(*target, context);
        return true;
    }
    if (const auto position = index(QStringLiteral("--selftest"), arguments)) {
        std::optional<LogFile> transcript;
        if (*position + 1 < arguments.size() && !arguments[*position + 1].startsWith(QStringLiteral("--")))
            transcript.emplace(arguments[*position + 1], 0);
        SelfTest::run(context, std::move(transcript));
        return true;
    }
    return false;
}

// --- the update command ------------------------------------------------------------------

void DebugTools::runUpdateCommand(const QStringList& arguments, Environment& environment)
{
    Updates& updates = environment.updates;
    const bool download = hasFlag(QStringLiteral("--download"), arguments);
    const bool install = download && hasFlag(QStringLiteral("--install"), arguments);
    QTextStream& out = environment.out;
    const auto step = environment.commandStep ? environment.commandStep : [](const std::optional<QString>&) {};
    const auto exit = [step, end = environment.exit](int status) {
        step(std::nullopt);
        end(status);
    };
    const QString bundle = environment.bundlePath;
    step(QStringLiteral("check"));
    updates.check([&updates, &out, step, exit, download, install, bundle](const QString& outcome) {
        printLine(out, QStringLiteral("check: ") + outcome);
        const int checkStatus = isGoodOutcome(outcome) ? 0 : 1;
        if (!download || !updates.available()) {
            exit(checkStatus);
            return;
        }
        step(QStringLiteral("download"));
        updates.download([&updates, &out, step, exit, install, bundle, checkStatus] {
            printLine(out, QStringLiteral("download: ") + phaseText(updates.phase()));
            const bool downloadFailed = updates.phase().kind == Updates::Phase::Kind::failed;
            if (!install) {
                exit(downloadFailed ? 1 : checkStatus);
                return;
            }
            step(QStringLiteral("install"));
            updates.install([&updates, &out, exit, bundle, checkStatus] {
                // Outside a bundle the phase says why nothing was installed.
                printLine(out, bundle.isEmpty() ? QStringLiteral("install: ") + phaseText(updates.phase())
                                                : QStringLiteral("install: %1; the bundle at %2 is now %3")
                                                      .arg(phaseText(updates.phase()), bundle, bundleVersionOnDisk(bundle)));
                exit(updates.phase().kind == Updates::Phase::Kind::failed ? 1 : checkStatus);
            });
        });
    });
}

QString DebugTools::phaseText(const Updates::Phase& phase)
{
    switch (phase.kind) {
    case Updates::Phase::Kind::idle: return QStringLiteral("idle");
    case Updates::Phase::Kind::downloading: return QStringLiteral("downloading(%1)").arg(ModeOutput::number(phase.fraction));
    case Updates::Phase::Kind::ready:
        return QStringLiteral("ready(%1)").arg(QUrl::fromLocalFile(phase.imagePath).toString());
    case Updates::Phase::Kind::installing: return QStringLiteral("installing");
    case Updates::Phase::Kind::failed: return QStringLiteral("failed(\"%1\")").arg(phase.failure);
    }
    return {};
}

// --- the other copy ------------------------------------------------------------------------

// --- diagnostics ---------------------------------------------------------------------------

QString DebugTools::frameText(double x, double y, double width, double height)
{
    return ModeOutput::tuple(QRectF(x, y, width, height));
}

QString DebugTools::quotedList(const QStringList& items)
{
    QStringList quoted;
    for (const QString& item : items)
        quoted << QLatin1Char('"') + item + QLatin1Char('"');
    return QLatin1Char('[') + quoted.join(QStringLiteral(", ")) + QLatin1Char(']');
}

QString DebugTools::diagnosticsText(const Environment& environment)
{
    const SpaceEngine& engine = environment.engine;
    const Settings& settings = environment.settings;
    QString text;
    const auto line = [&text](const QString& content) { text += content + QLatin1Char('\n'); };

    line(QStringLiteral("Tessaroom diagnostics"));
    line(QStringLiteral("accessibility: %1  system desktop shortcuts: %2  move a space: %3 %4")
             .arg(boolText(environment.accessibilityTrusted ? environment.accessibilityTrusted() : false),
                  QString::number(SystemShortcuts::enabledDesktopCount()),
                  comboText(SystemShortcuts::Direction::left), comboText(SystemShortcuts::Direction::right)));
    const QList<platform::Screen> screens = platform::Screens::screens();
    QStringList frames;
    QStringList notches;
    for (const platform::Screen& screen : screens) {
        const QRectF& frame = screen.frame;
        frames << frameText(frame.x(), frame.y(), frame.width(), frame.height());
        if (const auto notch = NotchScreens::notchRect(screen))
            notches << screen.localizedName + QLatin1Char(' ') + ModeOutput::rectText(*notch);
    }
    line(QStringLiteral("screens: ") + quotedList(frames));
    line(QStringLiteral("notch: ") + quotedList(notches));
    if (environment.tileLine) {
        if (const auto tile = environment.tileLine())
            line(QStringLiteral("menu bar tile: ") + *tile);
    }
    qsizetype position = 0;
    for (const SkyLight::Display& display : engine.displays()) {
        line(QStringLiteral("display %1 %2 current=%3")
                 .arg(QString::number(position++), display.uuid, QString::number(display.currentSpaceID)));
        for (const SkyLight::Space& space : display.spaces) {
            QString desktopPart;
            if (const auto desktop = engine.desktopWithID(space.id)) {
                desktopPart = QStringLiteral("→ Desktop %1 '%2' icon=%3 color=%4")
                                  .arg(QString::number(desktop->number), desktop->displayName(),
                                       desktop->icon().stringValue(), QString::number(desktop->meta().color.intValue()));
            }
            line(QStringLiteral("  space id=%1 msid=%2 type=%3 %4")
                     .arg(QString::number(space.id), QString::number(space.managedID), QString::number(space.type),
                          desktopPart));
        }
    }
    line(QStringLiteral("focused: %1  last: %2").arg(desktopName(engine.activeDesktop()), desktopName(engine.lastDesktop())));
    line(QStringLiteral("mission control open: ")
         + boolText(environment.missionControlOpen ? environment.missionControlOpen() : false));
    line(QStringLiteral("settings: hud=%1 hover=%2 track=%3 hudNumber=%4 mcLabels=%5 mcUnnamed=%6 mcNumber=%7")
             .arg(boolText(settings.hudEnabled()), boolText(settings.hoverEnabled()), boolText(settings.trackTime()),
                  boolText(settings.hudShowNumber()), boolText(settings.mcLabelsEnabled()),
                  boolText(settings.mcShowUnnamed()), boolText(settings.mcShowNumber()))
         + QStringLiteral(" mcPlacement=%1 style=%2 hoverZone=%3 notch=%4 notchSide=%5 notchContent=%6")
               .arg(caseName(settings.mcPlacement()), caseName(settings.menuBarStyle()), caseName(settings.hoverZone()),
                    boolText(settings.notchEnabled()), caseName(settings.notchSide()),
                    caseName(settings.notchContent())));
    return text;
}
