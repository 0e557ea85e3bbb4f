#include "store/SpaceStore.h"

#include "store/Format.h"

#include "platform/Graphemes.h"
#include "platform/Lifetime.h"
#include "platform/NotificationCenter.h"
#include "platform/PreferenceDomain.h"
#include "platform/SystemLog.h"
#include "store/BinaryPropertyList.h"
#include "store/Pref.h"
#include "store/XmlPropertyList.h"

#include <QRegularExpression>

#include <cmath>
#include <memory>

const QString SpaceStore::documentKey = QStringLiteral("Tessaroom.meta.v2");
const QString SpaceStore::migratedKey = QStringLiteral("Tessaroom.meta.v2.migrated");
const QString SpaceStore::unreadableKey = QStringLiteral("Tessaroom.meta.v2.unreadable");
const QString SpaceStore::changedNotification = QStringLiteral("Tessaroom.spaceMetaChanged");

namespace {

constexpr qsizetype longestServerName = 40;

platform::PreferenceDomain& defaults()
{
    return platform::PreferenceDomain::standard();
}

bool isUUID(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral(
        "\\A[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}\\z"));
    return pattern.match(text).hasMatch();
}

std::optional<QString> renamedName(quint64 spaceID)
{
    const std::optional<QString> name = defaults().string(QStringLiteral("Quorvelin.rename.") + QString::number(spaceID));
    if (!name || name->isEmpty())
        return std::nullopt;
    return name;
}

// The "title" of the property list kept for the space, in its binary or XML
// form.
std::optional<QString> featureTitle(quint64 spaceID)
{
    const std::optional<QByteArray> data
        = defaults().data(QStringLiteral("QuorvelinFeatureDetails.") + QString::number(spaceID));
    if (!data)
        return std::nullopt;
    std::optional<QVariant> list = BinaryPropertyList::read(*data);
    if (!list)
        list = XmlPropertyList::read(*data);
    if (!list || list->typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    const QVariant title = list->toMap().value(QStringLiteral("title"));
    if (title.typeId() != QMetaType::QString || title.toString().isEmpty())
        return std::nullopt;
    return title.toString();
}

std::optional<QString> serverName(quint64 spaceID, const SpaceStore::SpaceNameLookup& spaceName)
{
    if (!spaceName)
        return std::nullopt;
    const std::optional<QString> raw = spaceName(spaceID);
    if (!raw)
        return std::nullopt;
    const QString name = trimmedBlanks(*raw).toString();
    if (name.isEmpty() || platform::Graphemes::count(name) > longestServerName || isUUID(name))
        return std::nullopt;
    return name;
}

} // namespace

SpaceStore& SpaceStore::shared()
{
    static platform::Shared<SpaceStore> store([] { return new SpaceStore; });
    return store.get();
}

SpaceStore::SpaceStore()
{
    load();
}

SpaceStore::~SpaceStore()
{
    // A write that would run after the store is gone does nothing.
    if (pendingWrite_)
        platform::Scheduler::current().cancel(*pendingWrite_);
}

void SpaceStore::load()
{
    const QVariant stored = defaults().object(documentKey);
    if (!stored.isValid())
        return;
    if (stored.typeId() != QMetaType::QByteArray) {
        unreadable_ = stored;
        platform::SystemLog::write(
            QStringLiteral("Tessaroom: could not read space metadata: the stored value is not a data value"));
        return;
    }
    Result<SpaceMetaMap> decoded = SpaceMetaDocument::decode(stored.toByteArray());
    if (!decoded) {
        unreadable_ = stored;
        platform::SystemLog::write(QStringLiteral("Tessaroom: could not read space metadata: ") + decoded.error());
        return;
    }
    metas_ = std::move(decoded).value();
}

SpaceMeta SpaceStore::meta(qint64 id) const
{
    const auto it = metas_.find(id);
    return it == metas_.end() ? SpaceMeta::empty() : it->second;
}

void SpaceStore::change(qint64 id, const std::function<void(SpaceMeta&)>& mutate)
{
    SpaceMeta edited = meta(id);
    mutate(edited);
    if (edited == SpaceMeta::empty())
        metas_.erase(id);
    else
        metas_[id] = edited;
    scheduleSave();
}

void SpaceStore::addTime(qint64 id, double seconds)
{
    // One bad amount would otherwise make every later save fail.
    if (!std::isfinite(seconds) || seconds < 0)
        return;
    SpaceMeta entry = meta(id);
    const double total = entry.seconds + seconds;
    if (!std::isfinite(total))
        return;
    entry.seconds = total;
    metas_[id] = entry;
    timeDirty_ = true;
}

void SpaceStore::flushTime()
{
    if (!timeDirty_)
        return;
    timeDirty_ = false;
    scheduleSave();
}

void SpaceStore::resetAll()
{
    metas_.clear();
    scheduleSave();
}

void SpaceStore::resetTimes()
{
    for (auto& [id, entry] : metas_)
        entry.seconds = 0;
    scheduleSave();
}

void SpaceStore::flushNow()
{
    if (!pendingWrite_)
        return;
    platform::Scheduler::current().cancel(*pendingWrite_);
    pendingWrite_.reset();
    save();
}

void SpaceStore::reload()
{
    if (frozen_)
        return;
    if (pendingWrite_)
        platform::Scheduler::current().cancel(*pendingWrite_);
    pendingWrite_.reset();
    timeDirty_ = false;
    metas_.clear();
    unreadable_.reset();
    load();
    platform::NotificationCenter::defaultCenter().post(changedNotification);
}

void SpaceStore::save()
{
    if (frozen_)
        return;
    const Result<QByteArray> encoded = SpaceMetaDocument::encode(metas_);
    if (!encoded) {
        platform::SystemLog::write(QStringLiteral("Tessaroom: could not save space metadata: ") + encoded.error());
        return;
    }
    keepUnreadableAside();
    defaults().setData(documentKey, encoded.value());
}

void SpaceStore::keepUnreadableAside()
{
    if (!unreadable_)
        return;
    // Never overwrite an earlier kept value that differs.
    QString key = unreadableKey;
    for (int suffix = 2; defaults().object(key).isValid() && defaults().object(key) != *unreadable_; ++suffix)
        key = unreadableKey + QLatin1Char('.') + QString::number(suffix);
    if (!defaults().object(key).isValid())
        defaults().setObject(key, *unreadable_);
    platform::SystemLog::write(QStringLiteral("Tessaroom: kept the unreadable space metadata as ") + key);
    unreadable_.reset();
}

void SpaceStore::scheduleSave()
{
    platform::NotificationCenter::defaultCenter().post(changedNotification);
    auto& scheduler = platform::Scheduler::current();
    if (pendingWrite_)
        scheduler.cancel(*pendingWrite_);
    pendingWrite_ = scheduler.schedule(saveDelay, [this] {
        pendingWrite_.reset();
        save();
    });
}

void SpaceStore::replaceAll(SpaceMetaMap entries)
{
    freeze();
    metas_ = std::move(entries);
    platform::NotificationCenter::defaultCenter().post(changedNotification);
}

void SpaceStore::freeze()
{
    if (pendingWrite_)
        platform::Scheduler::current().cancel(*pendingWrite_);
    pendingWrite_.reset();
    frozen_ = true;
}

void SpaceStore::importLegacyNames(const QList<LegacySpace>& spaces, const SpaceNameLookup& spaceName)
{
    if (PrefValue<bool>::read(migratedKey, defaults()).value_or(false))
        return;
    bool named = false;
    for (const LegacySpace& space : spaces) {
        if (metas_.count(space.managedID))
            continue;
        const std::optional<QString> name = legacyName(space, spaceName);
        if (!name)
            continue;
        SpaceMeta entry;
        entry.name = *name;
        metas_[space.managedID] = entry;
        named = true;
    }
    // The names reach the disk before the flag: an import cut short (a crash
    // on some stored value) runs again at the next launch instead of losing
    // every name. The flag is set also when nothing was found.
    if (named) {
        scheduleSave();
        flushNow();
    }
    // Names that could not be written are imported again next time.
    if (!frozen_)
        defaults().setBool(migratedKey, true);
}

std::optional<QString> SpaceStore::legacyName(const LegacySpace& space, const SpaceNameLookup& spaceName) const
{
    if (auto name = renamedName(space.id))
        return name;
    if (auto name = featureTitle(space.id))
        return name;
    return serverName(space.id, spaceName);
}
