#include "platform/PreferenceDomain.h"

#include "platform/AtomicFile.h"
#include "platform/FileIO.h"
#include "platform/Folders.h"
#include "platform/Lifetime.h"
#include "platform/Scheduler.h"
#include "platform/SystemLog.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

using Domains = std::map<QString, std::unique_ptr<PreferenceDomain>>;

Domains& sharedDomains()
{
    static Shared<Domains> domains([] { return new Domains; });
    return domains.get();
}

PreferenceDomain& domainNamed(const QString& name)
{
    auto& slot = sharedDomains()[name];
    if (!slot)
        slot = std::make_unique<PreferenceDomain>(name);
    return *slot;
}

bool isInteger(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
        return true;
    case QMetaType::ULongLong:
        return value.toULongLong() <= quint64(std::numeric_limits<qint64>::max());
    default:
        return false;
    }
}

QJsonValue encode(const QVariant& value)
{
    if (value.typeId() == QMetaType::Bool)
        return QJsonObject{{QStringLiteral("bool"), value.toBool()}};
    if (isInteger(value))
        return QJsonObject{{QStringLiteral("int"), QString::number(value.toLongLong())}};
    if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float)
        return QJsonObject{{QStringLiteral("double"), QString::number(value.toDouble(), 'g', 17)}};
    if (value.typeId() == QMetaType::QString)
        return QJsonObject{{QStringLiteral("string"), value.toString()}};
    if (value.typeId() == QMetaType::QByteArray)
        return QJsonObject{{QStringLiteral("data"), QString::fromLatin1(value.toByteArray().toBase64())}};
    if (value.typeId() == QMetaType::QVariantList || value.typeId() == QMetaType::QStringList) {
        QJsonArray array;
        for (const QVariant& item : value.toList())
            array.append(encode(item));
        return QJsonObject{{QStringLiteral("array"), array}};
    }
    QJsonObject dict;
    const QVariantMap map = value.toMap();
    for (auto it = map.begin(); it != map.end(); ++it)
        dict.insert(it.key(), encode(it.value()));
    return QJsonObject{{QStringLiteral("dict"), dict}};
}

std::optional<QVariant> decode(const QJsonValue& json)
{
    const QJsonObject object = json.toObject();
    if (object.size() != 1)
        return std::nullopt;
    const QString kind = object.begin().key();
    const QJsonValue inner = object.begin().value();
    if (kind == QLatin1String("bool") && inner.isBool())
        return QVariant(inner.toBool());
    if (kind == QLatin1String("int") && inner.isString()) {
        bool ok = false;
        const qint64 number = inner.toString().toLongLong(&ok);
        return ok ? std::optional<QVariant>(QVariant(number)) : std::nullopt;
    }
    if (kind == QLatin1String("double") && inner.isString()) {
        bool ok = false;
        const double number = inner.toString().toDouble(&ok);
        return ok ? std::optional<QVariant>(QVariant(number)) : std::nullopt;
    }
    if (kind == QLatin1String("string") && inner.isString())
        return QVariant(inner.toString());
    if (kind == QLatin1String("data") && inner.isString())
        return QVariant(QByteArray::fromBase64(inner.toString().toLatin1()));
    if (kind == QLatin1String("array") && inner.isArray()) {
        QVariantList list;
        for (const QJsonValue& item : inner.toArray()) {
            auto decoded = decode(item);
            if (!decoded)
                return std::nullopt;
            list.append(*decoded);
        }
        return QVariant(list);
    }
    if (kind == QLatin1String("dict") && inner.isObject()) {
        QVariantMap map;
        const QJsonObject dict = inner.toObject();
        for (auto it = dict.begin(); it != dict.end(); ++it) {
            auto decoded = decode(it.value());
            if (!decoded)
                return std::nullopt;
            map.insert(it.key(), *decoded);
        }
        return QVariant(map);
    }
    return std::nullopt;
}

QVariant normalized(const QVariant& value)
{
    if (isInteger(value) && value.typeId() != QMetaType::Bool)
        return QVariant(value.toLongLong());
    if (value.typeId() == QMetaType::Float)
        return QVariant(value.toDouble());
    if (value.typeId() == QMetaType::QStringList || value.typeId() == QMetaType::QVariantList) {
        QVariantList list;
        for (const QVariant& item : value.toList())
            list.append(normalized(item));
        return list;
    }
    if (value.typeId() == QMetaType::QVariantMap) {
        QVariantMap map = value.toMap();
        for (auto it = map.begin(); it != map.end(); ++it)
            it.value() = normalized(it.value());
        return map;
    }
    return value;
}

// A name no earlier kept-aside file has: a clash would make the rename fail
// and the next write replace the unreadable file in place.
QString asideName(const QString& path)
{
    QString aside = path + QStringLiteral(".corrupt");
    for (int copy = 2; QFileInfo::exists(aside) || QFileInfo(aside).isSymLink(); ++copy)
        aside = path + QLatin1Char('.') + QString::number(copy) + QStringLiteral(".corrupt");
    return aside;
}

} // namespace

struct PreferenceDomain::Writer {
    // One write of the file at a time, from any thread.
    std::mutex turn;
    // The newest write in place, by number (guarded by turn).
    quint64 newestOnDisk = 0;
    // Numbers handed out to writes; main thread.
    quint64 numbered = 0;
    // Main thread; none once the domain is gone.
    PreferenceDomain* domain = nullptr;
};

struct PreferenceDomain::Written {
    quint64 number = 0;
    QByteArray bytes = {};
    // A newer write was in place already: this one was not needed.
    bool superseded = false;
    // Another program changed the file since it was read: nothing was
    // written, the changes go on top of what it holds now.
    bool stale = false;
    AtomicFile::Outcome outcome = {};
    DiskState state = {};
};

namespace {

// Tries at a write the file keeps changing under.
constexpr int staleTries = 3;

// The preferences folder's lock, held from reading a file to its rename, so
// two processes never both write a domain based on the same contents.
class FolderLock {
public:
    // Waits FileIO::lockWait, or until the deadline when there is one.
    FolderLock(const QString& folder, const std::optional<QDeadlineTimer>& deadline)
        : fd_(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
    {
        // Without locks (a file system that has none) the check below still
        // narrows the gap to the write itself.
        if (fd_ >= 0)
            taken_ = (deadline ? FileIO::lock(fd_, *deadline) : FileIO::lock(fd_)) != FileIO::Lock::busy;
    }
    ~FolderLock()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // False when another process kept it for all of the wait.
    bool taken() const { return taken_; }

private:
    int fd_;
    bool taken_ = true;
};

// What the file holds: none when it does not exist. An unreadable one reads
// as empty, which no file read or written as preferences is (an empty file
// does not parse, so it is kept aside).
std::optional<QByteArray> contentOf(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QFileInfo::exists(path) || QFileInfo(path).isSymLink() ? std::optional(QByteArray()) : std::nullopt;
    return file.readAll();
}

} // namespace

PreferenceDomain::PreferenceDomain(QString name)
    : name_(std::move(name))
    , writer_(std::make_shared<Writer>())
{
    writer_->domain = this;
}

PreferenceDomain::~PreferenceDomain()
{
    // A write under way finishes on its own, and a scheduled one does
    // nothing: neither finds the domain.
    writer_->domain = nullptr;
}

PreferenceDomain::Written PreferenceDomain::writeInTurn(Writer& writer, const QString& path, const QByteArray& bytes,
                                                        const std::optional<QByteArray>& base, quint64 number,
                                                        const LockDeadline& lockBy)
{
    // A newer write in place already makes this one needless, so an older
    // value never lands after a newer one, whichever thread runs first.
    const std::lock_guard lock(writer.turn);
    if (number <= writer.newestOnDisk)
        return {.number = number, .superseded = true};
    const FolderLock folder(QFileInfo(path).path(), lockBy);
    // Only the quit waits long for another process: otherwise the changes
    // stay in memory and go with the next change or sweep.
    if (!folder.taken())
        return {.number = number,
                .outcome = {.failure = QStringLiteral("another program holds the preferences folder's lock")}};
    if (contentOf(path) != base)
        return {.number = number, .stale = true};
    Written written{.number = number, .bytes = bytes, .outcome = AtomicFile::writeFile(path, bytes)};
    if (!written.outcome.failure) {
        writer.newestOnDisk = number;
        written.state = diskStateOf(path);
    }
    return written;
}

QByteArray PreferenceDomain::encoded() const
{
    const QJsonObject root = encode(QVariant(values_)).toObject().value(QStringLiteral("dict")).toObject();
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

QString PreferenceDomain::standardName()
{
    return QStringLiteral("app.tessaroom");
}

QString PreferenceDomain::globalName()
{
    return QStringLiteral(".GlobalPreferences");
}

PreferenceDomain& PreferenceDomain::standard()
{
    return domainNamed(standardName());
}

PreferenceDomain& PreferenceDomain::named(const QString& domain)
{
    return domainNamed(domain);
}

QString PreferenceDomain::filePath() const
{
    return Folders::preferences() + QLatin1Char('/') + name_ + QStringLiteral(".json");
}

bool PreferenceDomain::isSupported(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::QString:
    case QMetaType::QByteArray:
        return true;
    case QMetaType::QStringList:
        return true;
    case QMetaType::QVariantList:
        for (const QVariant& item : value.toList()) {
            if (!isSupported(item))
                return false;
        }
        return true;
    case QMetaType::QVariantMap: {
        const QVariantMap map = value.toMap();
        for (const QVariant& item : map) {
            if (!isSupported(item))
                return false;
        }
        return true;
    }
    default:
        return isInteger(value);
    }
}

PreferenceDomain::DiskState PreferenceDomain::diskState() const
{
    return diskStateOf(filePath());
}

PreferenceDomain::DiskState PreferenceDomain::diskStateOf(const QString& path)
{
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return {};
    return {
        .exists = true,
        .device = quint64(status.st_dev),
        .inode = quint64(status.st_ino),
        .size = qint64(status.st_size),
        .modified = qint64(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec,
        .changed = qint64(status.st_ctim.tv_sec) * 1000000000 + status.st_ctim.tv_nsec,
    };
}

void PreferenceDomain::load() const
{
    const DiskState now = diskState();
    if (loaded_ && now == readState_)
        return;
    loaded_ = true;
    readState_ = now;
    blocked_ = false;
    base_.reset();
    values_ = now.exists ? readFile() : QVariantMap();
    // Changes not yet on disk stay on top of what another program wrote.
    for (auto it = unsaved_.cbegin(); it != unsaved_.cend(); ++it) {
        if (it->value)
            values_.insert(it.key(), *it->value);
        else
            values_.remove(it.key());
    }
}

QVariantMap PreferenceDomain::readFile() const
{
    const QString path = filePath();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        blocked_ = true;
        SystemLog::write(QStringLiteral("preferences: could not open %1: %2; it is not written until it can be read")
                             .arg(path, file.errorString()));
        return {};
    }
    QJsonParseError error{};
    const QByteArray bytes = file.readAll();
    file.close();
    base_ = bytes;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    std::optional<QVariant> decoded;
    if (error.error == QJsonParseError::NoError && document.isObject())
        decoded = decode(QJsonObject{{QStringLiteral("dict"), document.object()}});
    if (decoded)
        return decoded->toMap();
    const QString aside = asideName(path);
    QFile moved(path);
    if (!moved.rename(aside)) {
        blocked_ = true;
        SystemLog::write(QStringLiteral("preferences: could not read %1 and could not keep it aside as %2: %3; it is "
                                        "not written until it can be read")
                             .arg(path, aside, moved.errorString()));
        return {};
    }
    SystemLog::write(QStringLiteral("preferences: could not read %1; kept it aside as %2").arg(path, aside));
    base_.reset();
    readState_ = diskState();
    return {};
}

void PreferenceDomain::report(const QString& line)
{
    // Retried on every change and sweep: one line per problem, not per try.
    if (line != problem_)
        SystemLog::write(line);
    problem_ = line;
}

std::optional<PreferenceDomain::NextWrite> PreferenceDomain::nextWrite()
{
    const QString path = filePath();
    if (blocked_) {
        report(QStringLiteral("preferences: not writing %1: it exists but could not be read").arg(path));
        return std::nullopt;
    }
    (void)Folders::make(QFileInfo(path).path());
    return NextWrite{.bytes = encoded(), .upToChange = changes_, .number = ++writer_->numbered};
}

bool PreferenceDomain::save(const LockDeadline& lockBy)
{
    if (scheduledWrite_)
        Scheduler::current().cancel(*std::exchange(scheduledWrite_, std::nullopt));
    for (int attempt = 1;; ++attempt) {
        const std::optional<NextWrite> next = nextWrite();
        if (!next)
            return false;
        // Waits for a write under way: this one is newer.
        const Written written = writeInTurn(*writer_, filePath(), next->bytes, base_, next->number, lockBy);
        if (!written.stale || attempt == staleTries)
            return finish(written, next->upToChange);
        reload();
    }
}

void PreferenceDomain::reload() const
{
    loaded_ = false;
    load();
}

bool PreferenceDomain::finish(const Written& written, quint64 upToChange)
{
    const QString path = filePath();
    if (written.superseded)
        return true;
    if (written.stale) {
        report(QStringLiteral("preferences: could not write %1: other programs kept changing it").arg(path));
        return false;
    }
    if (const auto& failure = written.outcome.failure) {
        report(QStringLiteral("preferences: could not write %1: %2").arg(path, *failure));
        return false;
    }
    for (auto it = unsaved_.begin(); it != unsaved_.end();)
        it = it->change <= upToChange ? unsaved_.erase(it) : std::next(it);
    {
        const std::lock_guard lock(writer_->turn);
        if (writer_->newestOnDisk == written.number) {
            readState_ = written.state;
            base_ = written.bytes;
        }
    }
    if (const auto& notDurable = written.outcome.notDurable)
        report(QStringLiteral("preferences: %1 written, not yet durable: %2").arg(path, *notDurable));
    else
        problem_.clear();
    return true;
}

void PreferenceDomain::scheduleWrite()
{
    // A write under way schedules the next one when it is done.
    if (scheduledWrite_ || writing_)
        return;
    // Clamped: a wall clock set back must not hold the write for as long as
    // the jump.
    const double delay = std::clamp(lastWriteStart_ + writeInterval - now(), 0.0, writeInterval);
    scheduledWrite_ = Scheduler::current().schedule(delay, [writer = writer_] {
        if (PreferenceDomain* domain = writer->domain) {
            domain->scheduledWrite_.reset();
            domain->writeInBackground();
        }
    });
}

void PreferenceDomain::writeInBackground()
{
    load();
    if (unsaved_.isEmpty())
        return;
    const std::optional<NextWrite> next = nextWrite();
    if (!next)
        return;
    writing_ = true;
    lastWriteStart_ = now();
    Scheduler& scheduler = Scheduler::current();
    scheduler.runInBackground("preferences", [&scheduler, writer = writer_, path = filePath(), next = *next,
                                              base = base_] {
        const Written written = writeInTurn(*writer, path, next.bytes, base, next.number, std::nullopt);
        scheduler.schedule(0, [writer, written, upTo = next.upToChange] {
            PreferenceDomain* domain = writer->domain;
            if (!domain)
                return;
            domain->writing_ = false;
            if (written.stale) {
                // Another program wrote meanwhile: ours go on top of that.
                domain->reload();
                domain->scheduleWrite();
                return;
            }
            domain->finish(written, upTo);
            // Changes made while it was under way get their own write.
            const bool newer = std::any_of(domain->unsaved_.cbegin(), domain->unsaved_.cend(),
                                           [upTo](const Unsaved& change) { return change.change > upTo; });
            if (newer)
                domain->scheduleWrite();
        });
    });
}

void PreferenceDomain::store(const QString& key, const QVariant& value, Save when)
{
    load();
    const QVariant stored = normalized(value);
    unsaved_.insert(key, {stored, ++changes_});
    values_.insert(key, stored);
    if (when == Save::now)
        save();
    else
        scheduleWrite();
}

QVariant PreferenceDomain::object(const QString& key) const
{
    load();
    auto it = values_.constFind(key);
    if (it != values_.constEnd())
        return it.value();
    if (name_ == standardName())
        return named(globalName()).object(key);
    return {};
}

std::optional<QString> PreferenceDomain::string(const QString& key) const
{
    const QVariant value = object(key);
    if (value.typeId() == QMetaType::QString)
        return value.toString();
    if (value.typeId() == QMetaType::LongLong)
        return QString::number(value.toLongLong());
    if (value.typeId() == QMetaType::Double)
        return QString::number(value.toDouble(), 'g', 17);
    if (value.typeId() == QMetaType::Bool)
        return QString::number(value.toBool() ? 1 : 0);
    return std::nullopt;
}

std::optional<QByteArray> PreferenceDomain::data(const QString& key) const
{
    const QVariant value = object(key);
    if (value.typeId() == QMetaType::QByteArray)
        return value.toByteArray();
    return std::nullopt;
}

void PreferenceDomain::setBool(const QString& key, bool value, Save when) { store(key, QVariant(value), when); }
void PreferenceDomain::setInteger(const QString& key, qint64 value, Save when) { store(key, QVariant(value), when); }
void PreferenceDomain::setDouble(const QString& key, double value, Save when) { store(key, QVariant(value), when); }
void PreferenceDomain::setString(const QString& key, const QString& value, Save when)
{
    store(key, QVariant(value), when);
}
void PreferenceDomain::setData(const QString& key, const QByteArray& value, Save when)
{
    store(key, QVariant(value), when);
}

void PreferenceDomain::setObject(const QString& key, const QVariant& value, Save when)
{
    if (!isSupported(value)) {
        SystemLog::write(QStringLiteral("preferences: value of unsupported type for %1 in %2 ignored").arg(key, name_));
        return;
    }
    store(key, value, when);
}

void PreferenceDomain::remove(const QString& key)
{
    load();
    if (values_.remove(key) == 0)
        return;
    unsaved_.insert(key, {std::nullopt, ++changes_});
    save();
}

QVariantMap PreferenceDomain::persistentDomain() const
{
    load();
    return values_;
}

bool PreferenceDomain::exists() const
{
    load();
    return QFileInfo::exists(filePath()) || !values_.isEmpty();
}

bool PreferenceDomain::synchronize()
{
    reload();
    return unsaved_.isEmpty() || save();
}

void PreferenceDomain::synchronizePending()
{
    sweep(Sweep::pending, std::nullopt);
}

void PreferenceDomain::synchronizeAll()
{
    // One deadline for every domain, so the quit's bound holds however many
    // wait.
    sweep(Sweep::all, QDeadlineTimer(qint64(quitLockWait * 1000)));
    // The process ends next: what is still in memory is lost, whatever was
    // logged when its write first failed.
    for (const auto& [name, domain] : sharedDomains()) {
        if (!domain->unsaved_.isEmpty())
            SystemLog::write(QStringLiteral("preferences: %1 changed keys of %2 could not be saved: %3")
                                 .arg(domain->unsaved_.size())
                                 .arg(domain->filePath(), domain->unsaved_.keys().join(QStringLiteral(", "))));
    }
}

void PreferenceDomain::sweep(Sweep which, const LockDeadline& lockBy)
{
    for (auto& [name, domain] : sharedDomains()) {
        if (domain->unsaved_.isEmpty())
            continue;
        if (which == Sweep::pending && (domain->scheduledWrite_ || domain->writing_))
            continue;
        domain->load();
        // A file that could not be read was logged when it was met; a pending
        // sweep tries it again once it changes.
        if (which == Sweep::all || !domain->blocked_)
            domain->save(lockBy);
    }
}

} // namespace platform
