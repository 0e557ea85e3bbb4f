#include "debug/SampleData.h"

#include "engine/SpaceEngine.h"
#include "platform/Workspace.h"
#include "store/SpaceStore.h"

#include <QFileInfo>

namespace {

constexpr double secondsPerHour = 3600;

const SampleData::Row* rowNamed(const QString& name)
{
    for (const SampleData::Row& row : SampleData::rows()) {
        if (row.name == name)
            return &row;
    }
    return nullptr;
}

} // namespace

const QList<SampleData::Row>& SampleData::rows()
{
    static const QList<Row> table = {
        {QString(), QString(), 0, {QStringLiteral("com.apple.finder")}},
        {QStringLiteral("Code"), QStringLiteral("chevron.left.forwardslash.chevron.right"), 2.4,
         {QStringLiteral("com.apple.Terminal"), QStringLiteral("com.apple.Safari")}},
        {QStringLiteral("Design"), QStringLiteral("paintbrush.pointed.fill"), 0.8,
         {QStringLiteral("com.apple.Preview"), QStringLiteral("com.apple.Photos")}},
        {QStringLiteral("Mail"), QStringLiteral("envelope.fill"), 0.5,
         {QStringLiteral("com.apple.mail"), QStringLiteral("com.apple.iCal")}},
        {QStringLiteral("Research"), QStringLiteral("books.vertical.fill"), 1.1,
         {QStringLiteral("com.apple.Safari"), QStringLiteral("com.apple.Notes")}},
        {QStringLiteral("Music"), QStringLiteral("music.note"), 0.2, {QStringLiteral("com.apple.Music")}},
        {QStringLiteral("Deep Work"), QStringLiteral("bolt.fill"), 4.37,
         {QStringLiteral("com.apple.Notes"), QStringLiteral("com.apple.reminders")}},
        {QStringLiteral("Chat"), QStringLiteral("bubble.left.and.bubble.right.fill"), 0.3,
         {QStringLiteral("com.apple.MobileSMS"), QStringLiteral("com.apple.FaceTime")}},
    };
    return table;
}

QString SampleData::currentName()
{
    return QStringLiteral("Deep Work");
}

std::optional<QString> SampleData::badge(const QString& bundleIdentifier)
{
    if (bundleIdentifier == QLatin1String("com.apple.mail"))
        return QStringLiteral("3");
    if (bundleIdentifier == QLatin1String("com.apple.MobileSMS"))
        return QStringLiteral("1");
    return std::nullopt;
}

void SampleData::load(SpaceEngine& engine, SpaceStore& store)
{
    const QList<Desktop> desktops = engine.desktops();
    qsizetype current = 0;
    for (qsizetype i = 0; i < desktops.size(); ++i) {
        if (desktops[i].isCurrent) {
            current = i;
            break;
        }
    }
    QStringList otherNames;
    for (const Row& row : rows()) {
        if (row.name != currentName())
            otherNames << row.name;
    }

    SpaceMetaMap metas;
    SpaceEngine::AppsMap apps;
    qsizetype nextName = 0;
    for (qsizetype i = 0; i < desktops.size(); ++i) {
        const Desktop& desktop = desktops[i];
        QString name;
        if (i == current)
            name = currentName();
        else if (nextName < otherNames.size())
            name = otherNames[nextName++];
        const Row* row = rowNamed(name);
        SpaceMeta meta = SpaceMeta::empty();
        meta.name = name;
        if (row && !row->symbol.isEmpty())
            meta.icon = SpaceIcon::symbol(row->symbol);
        meta.seconds = row ? row->hours * secondsPerHour : 0;
        metas[desktop.managedID()] = meta;

        const Row* appsRow = row ? row : rowNamed(QString());
        QList<SpaceApp> shown;
        for (qsizetype j = 0; j < appsRow->bundleIdentifiers.size(); ++j) {
            const QString& identifier = appsRow->bundleIdentifiers[j];
            const auto url = platform::Workspace::urlForApplication(identifier);
            if (!url)
                continue;
            const QString path = url->toLocalFile();
            SpaceApp app;
            app.pid = pidBase + static_cast<qint32>(10 * i + j);
            app.name = QFileInfo(path).completeBaseName();
            app.icon = platform::Workspace::icon(path);
            app.badge = badge(identifier);
            shown << app;
        }
        apps.insert(desktop.id(), shown);
    }
    store.replaceAll(std::move(metas));
    engine.setSampleApps(std::move(apps));
}
