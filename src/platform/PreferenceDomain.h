#pragma once

#include "platform/Scheduler.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QMap>
#include <QString>
#include <QVariant>

#include <memory>
#include <optional>

namespace platform {

// One preference domain (the user defaults of an app, or a system domain such
// as the symbolic hotkeys), kept as a file under Folders::preferences().
//
// Values keep their types apart: bool, qint64, double, QString, QByteArray
// (data), QVariantList and QVariantMap (nested values of the same kinds).
// A change is seen by lookups at once. It is written to disk atomically, on
// top of what the file holds then, either at once (Save::now) or soon after
// (Save::soon): other programs share some domains, and a file that changed
// on disk (size, modification time or inode) is read again before a lookup
// or a write, so a key another program set is kept.
//
// Changes saved soon are written off the main thread, at most once per
// writeInterval, so a slider dragged across its track writes a few times,
// not once per step; Application::terminate() writes what is left
// (synchronizeAll). A write never lands after a newer one of the same domain,
// and never over what another process wrote since the domain read the file:
// writes hold the preferences folder's lock, and one that finds the file
// changed reads it again and goes on top. A write whose lock another process
// keeps for longer than FileIO::lockWait fails like any other (below), so no
// process can hold the app up while it runs. Only the last save at quit waits
// longer (quitLockWait): another copy in the middle of a write lets go within
// moments, and the process is ending anyway.
// A file that cannot be parsed is renamed aside with a ".corrupt" suffix and a
// system-log line. A file that exists but cannot be opened, or cannot be moved
// aside, is never overwritten: writes to the domain are refused with a log
// line (and kept in memory) until the file changes and can be read.
// Files are written through AtomicFile, so a failed write (a full disk, an
// unwritable folder) leaves the file as it was. Its changes stay in memory,
// the failure is logged once per reason, and they are written with the
// domain's next change or by synchronizePending().
class PreferenceDomain {
public:
    // When a change reaches the file.
    enum class Save {
        now,  // before the setter returns, on the calling thread
        soon, // off the main thread within writeInterval, and at quit
    };
    // Changes saved soon are written at most once per this many seconds.
    static constexpr double writeInterval = 0.25;
    // How long synchronizeAll() waits in all, in seconds, for another process
    // to let go of the preferences folder's lock: far longer than any write
    // takes, short enough that a quit still ends within 5 s.
    static constexpr double quitLockWait = 3.5;

    // The app's own domain. Its lookups also see the global domain.
    static PreferenceDomain& standard();
    // Any other domain by name (an earlier product's, a system domain).
    static PreferenceDomain& named(const QString& domain);
    // The app's own domain name.
    static QString standardName();
    static QString globalName();

    QString name() const { return name_; }

    // The stored object, or an invalid QVariant when the key is absent.
    QVariant object(const QString& key) const;
    // A text value, or a stored number given as its text; other values are absent.
    std::optional<QString> string(const QString& key) const;
    // A data value; any other kind is absent.
    std::optional<QByteArray> data(const QString& key) const;

    void setBool(const QString& key, bool value, Save when = Save::now);
    void setInteger(const QString& key, qint64 value, Save when = Save::now);
    void setDouble(const QString& key, double value, Save when = Save::now);
    void setString(const QString& key, const QString& value, Save when = Save::now);
    void setData(const QString& key, const QByteArray& value, Save when = Save::now);
    // Stores any supported value unchanged; an unsupported one is ignored.
    void setObject(const QString& key, const QVariant& value, Save when = Save::now);
    void remove(const QString& key);

    // The values stored in this domain alone (no global values), or an empty
    // map when the domain does not exist.
    QVariantMap persistentDomain() const;
    bool exists() const;
    // Re-reads the file, writes changes that could not be written before,
    // and reports whether the domain's state is on disk.
    bool synchronize();
    // Writes the changes of every domain (standard() and named()) that could
    // not be written before; rereads only files that changed. The engine
    // calls it on its sweep, so kept changes reach the disk once it lets them.
    // Changes waiting for their soon write are left to it.
    static void synchronizePending();
    // Writes every domain's changes now, those waiting to be saved soon too,
    // after any write under way: what the process holds is on disk when it
    // ends. Blocks for up to quitLockWait while another process holds the
    // folder's lock. Changes that still cannot be written get a system-log
    // line naming their keys. Application::terminate() calls it.
    static void synchronizeAll();

    // The file this domain lives in.
    QString filePath() const;

    static bool isSupported(const QVariant& value);

    explicit PreferenceDomain(QString name);
    ~PreferenceDomain();
    PreferenceDomain(const PreferenceDomain&) = delete;
    PreferenceDomain& operator=(const PreferenceDomain&) = delete;

private:
    // Writes of the file, shared with the ones under way off the main thread.
    struct Writer;
    struct Written;
    // What identifies one version of the file.
    struct DiskState {
        bool exists = false;
        quint64 device = 0;
        quint64 inode = 0;
        qint64 size = 0;
        // Nanoseconds since 1970.
        qint64 modified = 0;
        qint64 changed = 0;
        friend bool operator==(const DiskState&, const DiskState&) = default;
    };

    // A key set (a value) or removed (none) that is not on disk yet, and the
    // number of the change that made it so.
    struct Unsaved {
        std::optional<QVariant> value;
        quint64 change = 0;
    };

    // How long a write waits for the preferences folder's lock: none is
    // FileIO::lockWait from when it tries; else until the deadline.
    using LockDeadline = std::optional<QDeadlineTimer>;

    static DiskState diskStateOf(const QString& path);
    // Any thread.
    static Written writeInTurn(Writer& writer, const QString& path, const QByteArray& bytes,
                               const std::optional<QByteArray>& base, quint64 number, const LockDeadline& lockBy);
    QByteArray encoded() const;
    DiskState diskState() const;
    // Reads the file when it changed since it was last read or written.
    void load() const;
    // Reads the file whatever its state says.
    void reload() const;
    QVariantMap readFile() const;
    // What one write puts in the file: the bytes, the newest change they
    // hold, and the write's number.
    struct NextWrite {
        QByteArray bytes;
        quint64 upToChange = 0;
        quint64 number = 0;
    };
    // The next write, or none (logged) while the file may not be written.
    std::optional<NextWrite> nextWrite();
    // Writes now, on this thread.
    bool save(const LockDeadline& lockBy = std::nullopt);
    // The soon write: when its time comes, its bytes go to a background queue.
    void scheduleWrite();
    void writeInBackground();
    // What a write did, on the main thread: the changes it holds are saved.
    bool finish(const Written& written, quint64 upToChange);
    void store(const QString& key, const QVariant& value, Save when);
    // Logs a problem once, until a clean write.
    void report(const QString& line);
    // Which domains a sweep writes: all with changes, or only those whose
    // changes wait for no soon write and whose file could be read.
    enum class Sweep { pending, all };
    static void sweep(Sweep which, const LockDeadline& lockBy);

    QString name_;
    mutable bool loaded_ = false;
    mutable DiskState readState_;
    // The file's values with the changes not yet on disk applied.
    mutable QVariantMap values_;
    // What the file held when it was last read or written (none: no file);
    // a write goes ahead only while it still holds that.
    mutable std::optional<QByteArray> base_;
    QMap<QString, Unsaved> unsaved_;
    quint64 changes_ = 0;
    // The file exists but could not be read or kept aside.
    mutable bool blocked_ = false;
    // The last problem logged; empty after a write that worked.
    QString problem_;
    std::shared_ptr<Writer> writer_;
    // The soon write waiting for its time, and whether one is under way.
    std::optional<TimerToken> scheduledWrite_;
    bool writing_ = false;
    // When the last soon write started (scheduler seconds; 0: never).
    double lastWriteStart_ = 0;
};

} // namespace platform
