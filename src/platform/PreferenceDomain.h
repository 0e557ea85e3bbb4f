#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QVariant>

#include <optional>

namespace platform {

// One preference domain (the user defaults of an app, or a system domain such
// as the symbolic hotkeys), kept as a file under Folders::preferences().
//
// Values keep their types apart: bool, qint64, double, QString, QByteArray
// (data), QVariantList and QVariantMap (nested values of the same kinds).
// Every change is written to disk at once, atomically, on top of what the file
// holds then: other programs share some domains, and a file that changed on
// disk (size, modification time or inode) is read again before a lookup or a
// write, so a key another program set is kept.
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

    void setBool(const QString& key, bool value);
    void setInteger(const QString& key, qint64 value);
    void setDouble(const QString& key, double value);
    void setString(const QString& key, const QString& value);
    void setData(const QString& key, const QByteArray& value);
    // Stores any supported value unchanged; an unsupported one is ignored.
    void setObject(const QString& key, const QVariant& value);
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
    static void synchronizePending();

    // The file this domain lives in.
    QString filePath() const;

    static bool isSupported(const QVariant& value);

    explicit PreferenceDomain(QString name);

private:
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

    DiskState diskState() const;
    // Reads the file when it changed since it was last read or written.
    void load() const;
    QVariantMap readFile() const;
    bool save();
    void store(const QString& key, const QVariant& value);

    QString name_;
    mutable bool loaded_ = false;
    mutable DiskState readState_;
    // The file's values with the changes not yet on disk applied.
    mutable QVariantMap values_;
    // Set or removed (none) keys that are not on disk yet.
    QMap<QString, std::optional<QVariant>> unsaved_;
    // The file exists but could not be read or kept aside.
    mutable bool blocked_ = false;
    // Why the last write failed, logged once; empty after a write that worked.
    QString writeFailure_;
};

} // namespace platform
