#pragma once

#include "platform/Scheduler.h"
#include "store/SpaceMeta.h"
#include "store/SpaceMetaDocument.h"

#include <QList>
#include <QString>
#include <QVariant>

#include <functional>
#include <optional>

// A space as the window server lists it: its 64-bit id and the managed id
// that desktop metadata is keyed by.
struct LegacySpace {
    quint64 id = 0;
    qint64 managedID = 0;
};

// The metadata of every desktop, keyed by managed space id, kept in the user
// defaults as "Tessaroom.meta.v2". Every edit is announced at once with
// "Tessaroom.spaceMetaChanged"; the write follows 0.3 s after the last edit of
// a burst.
class SpaceStore {
public:
    // The window server's own name of a space, by space id.
    using SpaceNameLookup = std::function<std::optional<QString>(quint64)>;

    static constexpr double saveDelay = 0.3;

    static SpaceStore& shared();
    ~SpaceStore();
    SpaceStore(const SpaceStore&) = delete;
    SpaceStore& operator=(const SpaceStore&) = delete;

    // The stored entry, or SpaceMeta::empty().
    SpaceMeta meta(qint64 id) const;
    const SpaceMetaMap& metas() const { return metas_; }

    // Applies the edit; an entry left equal to the empty value (tracked time
    // included) is removed. Always announces and schedules a write.
    void change(qint64 id, const std::function<void(SpaceMeta&)>& mutate);

    // Adds tracked time in memory only. Amounts that are negative or not
    // finite are ignored.
    void addTime(qint64 id, double seconds);
    // Schedules a write when time was added since the last call.
    void flushTime();

    void resetAll();
    // Zeroes every entry's time; entries that become empty stay until their
    // next change.
    void resetTimes();

    // Performs a pending write at once; nothing when none is pending.
    void flushNow();
    // Reads the stored document again in place of what this process holds
    // (another copy wrote it since), dropping a write still pending, and
    // announces the change. Nothing while frozen.
    void reload();
    // Writes the document now, unless frozen.
    void save();
    // Announces the change and (re)schedules the write.
    void scheduleSave();

    // Replaces every entry and freezes the store: from then on nothing is
    // written for the rest of the process (sample data for the debug tools).
    void replaceAll(SpaceMetaMap entries);
    // From now on nothing is written for the rest of the process: edits and
    // tracked time stay in memory and are still announced, a pending write is
    // dropped. A developer mode's process never writes the user's names or
    // time, so a copy running beside it keeps what it saved.
    void freeze();
    bool isFrozen() const { return frozen_; }
    bool hasPendingWrite() const { return pendingWrite_.has_value(); }

    // Once per user account: names desktops that have no entry from the
    // earlier product's keys or, failing those, from the window server. The
    // names found are written at once, then the flag that the import ran; an
    // unreadable earlier value only leaves its desktop unnamed. A frozen store
    // imports into memory only and leaves the flag unset, so the next normal
    // launch imports for good.
    void importLegacyNames(const QList<LegacySpace>& spaces, const SpaceNameLookup& spaceName = {});
    std::optional<QString> legacyName(const LegacySpace& space, const SpaceNameLookup& spaceName = {}) const;

    static const QString documentKey;
    static const QString migratedKey;
    // Where an unreadable stored document is kept before it is replaced.
    static const QString unreadableKey;
    static const QString changedNotification;

private:
    SpaceStore();

    void load();
    void keepUnreadableAside();

    SpaceMetaMap metas_;
    bool frozen_ = false;
    bool timeDirty_ = false;
    std::optional<platform::TimerToken> pendingWrite_;
    // The stored value that could not be read, until a write replaces it.
    std::optional<QVariant> unreadable_;
};
