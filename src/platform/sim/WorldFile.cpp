#include "platform/sim/WorldState.h"

#include <QColor>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>

#include <cmath>

namespace platform::sim {

namespace {

// Thrown inside the reader only; parse() turns it into the error text.
struct FileError {
    QString message;
};

[[noreturn]] void fail(const QString& message)
{
    throw FileError{message};
}

// Largest integer a JSON number holds exactly.
constexpr double exactIntegerLimit = 9007199254740992.0;

qint64 integer(const QJsonValue& value, const QString& what, double low, double high)
{
    if (!value.isDouble())
        fail(what + QStringLiteral(" must be a number"));
    const double number = value.toDouble();
    if (!std::isfinite(number) || std::trunc(number) != number)
        fail(what + QStringLiteral(" must be a whole number"));
    if (number < low || number > high || std::fabs(number) > exactIntegerLimit)
        fail(what + QStringLiteral(" is out of range"));
    return static_cast<qint64>(number);
}

qint64 optionalInteger(const QJsonObject& object, const QString& key, const QString& what, double low, double high,
                       qint64 fallback)
{
    return object.contains(key) ? integer(object.value(key), what, low, high) : fallback;
}

QString text(const QJsonValue& value, const QString& what)
{
    if (!value.isString())
        fail(what + QStringLiteral(" must be a text"));
    return value.toString();
}

std::optional<QString> optionalText(const QJsonObject& object, const QString& key, const QString& what)
{
    if (!object.contains(key))
        return std::nullopt;
    return text(object.value(key), what);
}

std::optional<bool> optionalBool(const QJsonObject& object, const QString& key, const QString& what)
{
    if (!object.contains(key))
        return std::nullopt;
    if (!object.value(key).isBool())
        fail(what + QStringLiteral(" must be true or false"));
    return object.value(key).toBool();
}

QRectF rect(const QJsonValue& value, const QString& what)
{
    const QJsonArray array = value.toArray();
    if (!value.isArray() || array.size() != 4)
        fail(what + QStringLiteral(" must be a list of four numbers"));
    double parts[4];
    for (int i = 0; i < 4; ++i) {
        if (!array[i].isDouble() || !std::isfinite(array[i].toDouble()))
            fail(what + QStringLiteral(" must be a list of four numbers"));
        parts[i] = array[i].toDouble();
    }
    if (parts[2] < 0 || parts[3] < 0)
        fail(what + QStringLiteral(" has a negative size"));
    return QRectF(parts[0], parts[1], parts[2], parts[3]);
}

QJsonArray array(const QJsonObject& object, const QString& key)
{
    if (!object.contains(key))
        return {};
    if (!object.value(key).isArray())
        fail(QStringLiteral("\"") + key + QStringLiteral("\" must be a list"));
    return object.value(key).toArray();
}

QJsonObject member(const QJsonValue& value, const QString& what)
{
    if (!value.isObject())
        fail(what + QStringLiteral(" must be an object"));
    return value.toObject();
}

SpaceSpec readSpace(const QJsonValue& value, const QString& where)
{
    const QJsonObject object = member(value, where);
    SpaceSpec space;
    if (!object.contains(QStringLiteral("id")))
        fail(where + QStringLiteral(" has no \"id\""));
    space.id = static_cast<quint64>(integer(object.value(QStringLiteral("id")), where + QStringLiteral(" id"), 1, exactIntegerLimit));
    space.managedID = optionalInteger(object, QStringLiteral("managedID"), where + QStringLiteral(" managedID"),
                                      -exactIntegerLimit, exactIntegerLimit, static_cast<qint64>(space.id));
    space.type = optionalInteger(object, QStringLiteral("type"), where + QStringLiteral(" type"), -exactIntegerLimit,
                                 exactIntegerLimit, 0);
    space.name = optionalText(object, QStringLiteral("name"), where + QStringLiteral(" name"));
    return space;
}

DisplaySpec readDisplay(const QJsonValue& value, int index)
{
    const QString where = QStringLiteral("display ") + QString::number(index + 1);
    const QJsonObject object = member(value, where);
    DisplaySpec display;
    if (!object.contains(QStringLiteral("uuid")))
        fail(where + QStringLiteral(" has no \"uuid\""));
    display.uuid = text(object.value(QStringLiteral("uuid")), where + QStringLiteral(" uuid"));
    display.displayID = static_cast<quint32>(optionalInteger(object, QStringLiteral("displayID"),
                                                             where + QStringLiteral(" displayID"), 1, 4294967295.0,
                                                             index + 1));
    display.name = optionalText(object, QStringLiteral("name"), where + QStringLiteral(" name")).value_or(QString());
    if (object.contains(QStringLiteral("frame")))
        display.frame = rect(object.value(QStringLiteral("frame")), where + QStringLiteral(" frame"));
    if (object.contains(QStringLiteral("visibleFrame")))
        display.visibleFrame = rect(object.value(QStringLiteral("visibleFrame")), where + QStringLiteral(" visibleFrame"));
    if (object.contains(QStringLiteral("notch"))) {
        const QJsonObject notch = member(object.value(QStringLiteral("notch")), where + QStringLiteral(" notch"));
        display.notchLeft = rect(notch.value(QStringLiteral("left")), where + QStringLiteral(" notch left"));
        display.notchRight = rect(notch.value(QStringLiteral("right")), where + QStringLiteral(" notch right"));
    }
    if (object.contains(QStringLiteral("scale"))) {
        const QJsonValue scale = object.value(QStringLiteral("scale"));
        if (!scale.isDouble() || !(scale.toDouble() > 0) || !std::isfinite(scale.toDouble()))
            fail(where + QStringLiteral(" scale must be a positive number"));
        display.scale = scale.toDouble();
    }
    const QJsonArray spaces = array(object, QStringLiteral("spaces"));
    for (int i = 0; i < spaces.size(); ++i)
        display.spaces.append(readSpace(spaces[i], where + QStringLiteral(" space ") + QString::number(i + 1)));
    display.currentSpaceID = static_cast<quint64>(optionalInteger(object, QStringLiteral("current"),
                                                                  where + QStringLiteral(" current"), 0,
                                                                  exactIntegerLimit, 0));
    return display;
}

ActivationPolicy policy(const QString& name, const QString& where)
{
    if (name == QLatin1String("regular"))
        return ActivationPolicy::regular;
    if (name == QLatin1String("accessory"))
        return ActivationPolicy::accessory;
    if (name == QLatin1String("prohibited"))
        return ActivationPolicy::prohibited;
    fail(where + QStringLiteral(" policy must be regular, accessory or prohibited"));
}

AppSpec readApp(const QJsonValue& value, int index, std::optional<qint32>* frontmost)
{
    const QString where = QStringLiteral("app ") + QString::number(index + 1);
    const QJsonObject object = member(value, where);
    AppSpec app;
    if (!object.contains(QStringLiteral("pid")))
        fail(where + QStringLiteral(" has no \"pid\""));
    app.pid = static_cast<qint32>(integer(object.value(QStringLiteral("pid")), where + QStringLiteral(" pid"), 1, 2147483647.0));
    app.bundleID = optionalText(object, QStringLiteral("bundleID"), where + QStringLiteral(" bundleID")).value_or(QString());
    app.name = optionalText(object, QStringLiteral("name"), where + QStringLiteral(" name"));
    app.bundlePath = optionalText(object, QStringLiteral("bundlePath"), where + QStringLiteral(" bundlePath"));
    if (auto name = optionalText(object, QStringLiteral("policy"), where + QStringLiteral(" policy")))
        app.policy = policy(*name, where);
    QColor color = QColor::fromHsv(static_cast<int>(qHash(app.bundleID) % 360), 160, 220);
    if (auto colorText = optionalText(object, QStringLiteral("iconColor"), where + QStringLiteral(" iconColor"))) {
        color = QColor::fromString(*colorText);
        if (!color.isValid())
            fail(where + QStringLiteral(" iconColor is not a colour"));
    }
    app.icon = WorldFile::makeIcon(color);
    app.refusesActivation = optionalBool(object, QStringLiteral("refusesActivation"),
                                         where + QStringLiteral(" refusesActivation")).value_or(false);
    if (optionalBool(object, QStringLiteral("frontmost"), where + QStringLiteral(" frontmost")).value_or(false))
        *frontmost = app.pid;
    return app;
}

WindowSpec readWindow(const QJsonValue& value, int index)
{
    const QString where = QStringLiteral("window ") + QString::number(index + 1);
    const QJsonObject object = member(value, where);
    WindowSpec window;
    if (!object.contains(QStringLiteral("number")) || !object.contains(QStringLiteral("pid")))
        fail(where + QStringLiteral(" needs \"number\" and \"pid\""));
    window.number = integer(object.value(QStringLiteral("number")), where + QStringLiteral(" number"), 1, exactIntegerLimit);
    window.ownerPID = static_cast<qint32>(integer(object.value(QStringLiteral("pid")), where + QStringLiteral(" pid"), 0, 2147483647.0));
    window.layer = static_cast<qint32>(optionalInteger(object, QStringLiteral("layer"), where + QStringLiteral(" layer"),
                                                       -2147483648.0, 2147483647.0, 0));
    if (object.contains(QStringLiteral("bounds")))
        window.bounds = rect(object.value(QStringLiteral("bounds")), where + QStringLiteral(" bounds"));
    const QJsonArray spaces = array(object, QStringLiteral("spaces"));
    for (const auto& space : spaces)
        window.spaces.append(static_cast<quint64>(integer(space, where + QStringLiteral(" space"), 1, exactIntegerLimit)));
    return window;
}

DockItemSpec readDockItem(const QJsonValue& value, int index)
{
    const QString where = QStringLiteral("dock item ") + QString::number(index + 1);
    const QJsonObject object = member(value, where);
    DockItemSpec item;
    item.title = optionalText(object, QStringLiteral("title"), where + QStringLiteral(" title"));
    item.statusLabel = optionalText(object, QStringLiteral("badge"), where + QStringLiteral(" badge"));
    if (auto url = optionalText(object, QStringLiteral("url"), where + QStringLiteral(" url")))
        item.url = QUrl(*url);
    if (const auto running = optionalBool(object, QStringLiteral("running"), where + QStringLiteral(" running")))
        item.running = *running;
    return item;
}

void checkConsistency(const WorldContents& contents)
{
    QSet<QString> uuids;
    QSet<quint64> spaces;
    for (const auto& display : contents.displays) {
        if (uuids.contains(display.uuid))
            fail(QStringLiteral("display uuid ") + display.uuid + QStringLiteral(" appears twice"));
        uuids.insert(display.uuid);
        for (const auto& space : display.spaces) {
            if (spaces.contains(space.id))
                fail(QStringLiteral("space id ") + QString::number(space.id) + QStringLiteral(" appears twice"));
            spaces.insert(space.id);
        }
        if (display.currentSpaceID != 0 && !std::any_of(display.spaces.cbegin(), display.spaces.cend(), [&](const SpaceSpec& s) {
                return s.id == display.currentSpaceID;
            }))
            fail(QStringLiteral("display ") + display.uuid + QStringLiteral(" has no space ") +
                 QString::number(display.currentSpaceID));
    }
    if (contents.activeMenuBarDisplay && !uuids.contains(*contents.activeMenuBarDisplay))
        fail(QStringLiteral("activeMenuBarDisplay names no display: ") + *contents.activeMenuBarDisplay);
}

WorldContents read(const QJsonObject& root)
{
    WorldContents contents;
    const QJsonArray displays = array(root, QStringLiteral("displays"));
    for (int i = 0; i < displays.size(); ++i)
        contents.displays.append(readDisplay(displays[i], i));
    contents.activeMenuBarDisplay = optionalText(root, QStringLiteral("activeMenuBarDisplay"), QStringLiteral("activeMenuBarDisplay"));
    const QJsonArray apps = array(root, QStringLiteral("apps"));
    for (int i = 0; i < apps.size(); ++i)
        contents.apps.append(readApp(apps[i], i, &contents.frontmostApp));
    const QJsonArray windows = array(root, QStringLiteral("windows"));
    for (int i = 0; i < windows.size(); ++i)
        contents.windows.append(readWindow(windows[i], i));
    const QJsonArray dock = array(root, QStringLiteral("dock"));
    for (int i = 0; i < dock.size(); ++i)
        contents.dockItems.append(readDockItem(dock[i], i));
    if (root.contains(QStringLiteral("ownPID")))
        contents.ownPID = static_cast<qint32>(integer(root.value(QStringLiteral("ownPID")), QStringLiteral("ownPID"), 1, 2147483647.0));
    contents.trusted = optionalBool(root, QStringLiteral("trusted"), QStringLiteral("trusted")).value_or(true);
    checkConsistency(contents);
    return contents;
}

} // namespace

std::optional<WorldContents> WorldFile::parse(const QByteArray& json, QString* error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    try {
        if (document.isNull())
            fail(QStringLiteral("not JSON: ") + parseError.errorString() + QStringLiteral(" at offset ") +
                 QString::number(parseError.offset));
        if (!document.isObject())
            fail(QStringLiteral("the top level must be an object"));
        return read(document.object());
    } catch (const FileError& failure) {
        if (error)
            *error = failure.message;
        return std::nullopt;
    }
}

QImage WorldFile::makeIcon(const QColor& color)
{
    QImage image(64, 64, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawRoundedRect(QRectF(4, 4, 56, 56), 12, 12);
    return image;
}

namespace {

AppSpec app(qint32 pid, const QString& bundleID, const QString& name, const QString& path, const QColor& color,
            ActivationPolicy policy = ActivationPolicy::regular)
{
    AppSpec made;
    made.pid = pid;
    made.bundleID = bundleID;
    made.name = name;
    made.bundlePath = path;
    made.icon = WorldFile::makeIcon(color);
    made.policy = policy;
    return made;
}

WindowSpec window(qint64 number, qint32 pid, quint64 space, const QRectF& bounds, qint32 layer = 0)
{
    WindowSpec made;
    made.number = number;
    made.ownerPID = pid;
    made.layer = layer;
    made.bounds = bounds;
    made.spaces = {space};
    return made;
}

} // namespace

WorldContents WorldFile::defaultContents()
{
    WorldContents contents;
    DisplaySpec display;
    display.uuid = QStringLiteral("37D8832A-2D66-02CA-B9F7-8F30A301B230");
    display.displayID = 1;
    display.name = QStringLiteral("Built-in Retina Display");
    display.frame = QRectF(0, 0, 1512, 982);
    display.visibleFrame = QRectF(0, 0, 1512, 944);
    display.notchLeft = QRectF(0, 944, 662, 38);
    display.notchRight = QRectF(850, 944, 662, 38);
    display.scale = 2.0;
    display.spaces = {{1, 1, 0, {}}, {3, 3, 0, {}}, {4, 4, 0, {}}, {5, 5, 0, {}}};
    display.currentSpaceID = 1;
    contents.displays = {display};
    contents.activeMenuBarDisplay = display.uuid;

    contents.ownPID = 4242;
    contents.apps = {
        app(95, QStringLiteral("com.apple.dock"), QStringLiteral("Dock"), QStringLiteral("/System/Library/CoreServices/Dock.app"),
            QColor(80, 80, 80), ActivationPolicy::accessory),
        app(301, QStringLiteral("com.apple.finder"), QStringLiteral("Finder"), QStringLiteral("/System/Library/CoreServices/Finder.app"),
            QColor(52, 120, 246)),
        app(302, QStringLiteral("com.apple.Safari"), QStringLiteral("Safari"), QStringLiteral("/Applications/Safari.app"),
            QColor(30, 144, 255)),
        app(303, QStringLiteral("com.apple.mail"), QStringLiteral("Mail"), QStringLiteral("/System/Applications/Mail.app"),
            QColor(64, 156, 255)),
        app(304, QStringLiteral("com.apple.MobileSMS"), QStringLiteral("Messages"), QStringLiteral("/System/Applications/Messages.app"),
            QColor(52, 199, 89)),
        app(305, QStringLiteral("com.apple.Terminal"), QStringLiteral("Terminal"),
            QStringLiteral("/System/Applications/Utilities/Terminal.app"), QColor(40, 40, 40)),
        app(306, QStringLiteral("com.apple.Notes"), QStringLiteral("Notes"), QStringLiteral("/System/Applications/Notes.app"),
            QColor(255, 204, 0)),
        app(4242, QStringLiteral("app.tessaroom"), QStringLiteral("Tessaroom"), QStringLiteral("/Applications/Tessaroom.app"),
            QColor(120, 90, 230), ActivationPolicy::accessory),
    };
    contents.frontmostApp = 302;
    contents.windows = {
        window(2001, 302, 1, QRectF(120, 60, 1100, 760)),
        window(2002, 301, 1, QRectF(300, 200, 700, 450)),
        window(2003, 303, 3, QRectF(80, 50, 1200, 800)),
        window(2004, 304, 3, QRectF(600, 120, 640, 560)),
        window(2005, 305, 4, QRectF(200, 160, 740, 480)),
        window(2006, 305, 4, QRectF(260, 220, 740, 480)),
        window(2007, 306, 5, QRectF(160, 90, 900, 620)),
        window(2008, 302, 5, QRectF(100, 70, 1000, 720)),
        window(2009, 301, 5, QRectF(10, 10, 60, 40)),
        window(2010, 4242, 1, QRectF(640, 0, 200, 30), 25),
    };
    contents.dockItems = {
        {QStringLiteral("Finder"), std::nullopt, QUrl(QStringLiteral("file:///System/Library/CoreServices/Finder.app/")), true},
        {QStringLiteral("Safari"), std::nullopt, QUrl(QStringLiteral("file:///Applications/Safari.app/")), true},
        {QStringLiteral("Mail"), QStringLiteral("3"), QUrl(QStringLiteral("file:///System/Applications/Mail.app/")), true},
        {QStringLiteral("Messages"), QStringLiteral("12"), QUrl(QStringLiteral("file:///System/Applications/Messages.app/")), true},
        {QStringLiteral("Terminal"), std::nullopt, QUrl(QStringLiteral("file:///System/Applications/Utilities/Terminal.app/")), true},
        {QStringLiteral("Notes"), std::nullopt, QUrl(QStringLiteral("file:///System/Applications/Notes.app/")), true},
        {QStringLiteral("Music"), std::nullopt, QUrl(QStringLiteral("file:///System/Applications/Music.app/")), false},
    };
    contents.trusted = true;
    return contents;
}

} // namespace platform::sim
