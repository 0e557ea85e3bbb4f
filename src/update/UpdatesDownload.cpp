#include "update/Updates.h"

#include "platform/AtomicFile.h"
#include "platform/BackgroundStop.h"
#include "platform/CodeSignature.h"
#include "platform/FileIO.h"
#include "platform/FileManager.h"
#include "platform/Folders.h"
#include "platform/Scheduler.h"
#include "platform/Sha256.h"
#include "store/LogFile.h"
#include "update/TemporaryWork.h"
#include "update/UrlLoader.h"

#include <QDir>
#include <QFile>
#include <QPointer>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <memory>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace {

// A new file only this user can read, in the shared temporary folder, named
// prefix-<tag>.dmg and locked as this process's work.
Result<std::shared_ptr<TemporaryWork>> makeTemporaryFile(const QString& prefix, const std::function<QString()>& tag)
{
    // Qt answers an empty path for a temporary folder that does not exist;
    // never fall back to the working folder.
    const QString folder = QDir::tempPath();
    if (folder.isEmpty())
        return Result<std::shared_ptr<TemporaryWork>>::failure(platform::FileIO::describe(ENOENT));
    return TemporaryWork::make(TemporaryWork::Kind::file, [folder, prefix, tag] {
        return QDir(folder).filePath(QStringLiteral("%1-%2.dmg").arg(prefix, tag()));
    });
}

// "the download's", "its": the subject's possessive, also for a pronoun.
QString possessive(const QString& subject)
{
    return subject == QLatin1String("it") ? QStringLiteral("its") : subject + QStringLiteral("'s");
}

// Why a check answering status fails, said of subject ("the download").
std::optional<QString> signatureFailure(platform::OSStatus status, const QString& subject)
{
    using namespace platform::CodeSignature;
    if (status == platform::Status::noErr)
        return std::nullopt;
    if (status == Status::staticCodeNotFound || status == Status::unsigned_)
        return subject + QStringLiteral(" is not signed");
    if (status == Status::requirementFailed)
        return subject + QStringLiteral(" is signed by someone else");
    if (status == Status::cancelled)
        return QStringLiteral("the check of %1 was cut short: Tessaroom is quitting").arg(subject);
    return possessive(subject) + QStringLiteral(" signature is broken");
}

} // namespace

bool Updates::canStartDownload() const
{
    return phase_.kind != Phase::Kind::downloading && phase_.kind != Phase::Kind::installing;
}

void Updates::download(std::function<void()> done)
{
    if (!available_ || !canStartDownload()) {
        if (done)
            done();
        return;
    }
    // Everything below works on this entry, whatever later checks offer.
    const UpdateFeed entry = *available_;
    const quint64 run = ++downloadRun_;
    setPhase(Phase::downloading(0));
    fetchImage(entry, run, [this, entry, done = std::move(done)](const Fetched& fetched) {
        downloadFetched(entry, fetched, done);
    });
}

void Updates::downloadFetched(const UpdateFeed& entry, const Fetched& fetched, std::function<void()> done)
{
    QPointer<Updates> self(this);
    const auto settle = [self, entry, done](const Result<QString>& stored) {
        if (self) {
            if (stored.ok()) {
                self->setPhase(Phase::ready(stored.value(), entry));
                LogFile::updates().write(QStringLiteral("downloaded and verified ") + QFileInfo(stored.value()).fileName());
            } else {
                self->setPhase(Phase::failed(stored.error()));
                LogFile::updates().write(QStringLiteral("download of %1 failed: %2").arg(entry.version, stored.error()));
            }
        }
        if (done)
            done();
    };
    if (!fetched.ok()) {
        settle(Result<QString>::failure(fetched.error()));
        return;
    }
    // Hashing the whole image, and copying it across file systems, take a
    // while: off the main thread, which only learns the outcome. The file
    // stays locked as this process's work until it is stored.
    platform::Scheduler::current().runInBackground("update.download", [file = fetched.value(), entry, settle] {
        const QString temporary = file->path();
        const auto failure = verifyDownload(temporary, entry);
        const Result<QString> stored = failure
            ? Result<QString>::failure(failure->text)
            : storeImage(temporary, QStringLiteral("Tessaroom-%1.dmg").arg(entry.version));
        if (!stored.ok())
            removeFile(temporary);
        platform::Scheduler::current().schedule(0, [settle, stored] { settle(stored); });
    });
}

// --- streaming ---

void Updates::fetchImage(const UpdateFeed& entry, quint64 run, std::function<void(const Fetched&)> done)
{
    fetch_ = std::make_unique<Fetch>();
    fetch_->entry = entry;
    fetch_->run = run;
    fetch_->done = std::move(done);
    fetch_->buffer.reserve(downloadChunkBytes);
    UrlTransferHandlers handlers;
    handlers.response = [this](int status) { fetchResponse(status); };
    handlers.data = [this](QByteArrayView bytes) { fetchData(bytes); };
    handlers.finished = [this](std::optional<QString> error) { endFetch(std::move(error)); };
    const UrlRequest request{.url = entry.dmg, .accept = {}, .idleTimeoutSeconds = requestIdleTimeout};
    fetch_->transfer = loader_.start(request, std::move(handlers));
}

void Updates::fetchResponse(int status)
{
    if (status != 200) {
        endFetch(QStringLiteral("the download answered %1").arg(status));
        return;
    }
    // Tagged, so the next launch removes what a killed download left.
    const auto made = makeTemporaryFile(QStringLiteral("Tessaroom-download"), &Updates::workTag);
    if (!made.ok()) {
        endFetch(QStringLiteral("no room for the download"));
        return;
    }
    fetch_->file = made.value();
}

void Updates::fetchData(QByteArrayView bytes)
{
    Fetch& fetch = *fetch_;
    while (!bytes.isEmpty()) {
        if (fetch.received >= fetch.entry.size) {
            endFetch(QStringLiteral("the download is larger than announced"));
            return;
        }
        const qint64 room = std::min(downloadChunkBytes - qint64(fetch.buffer.size()),
                                     fetch.entry.size - fetch.received);
        const qint64 taken = std::min(room, qint64(bytes.size()));
        fetch.buffer.append(bytes.first(taken));
        fetch.received += taken;
        bytes = bytes.sliced(taken);
        if (fetch.buffer.size() < downloadChunkBytes)
            continue;
        flushFetchBuffer();
        if (!fetch_)
            return;
        const double fraction = double(fetch.received) / double(fetch.entry.size);
        if (fraction - fetch.lastFraction >= progressStep) {
            // Only the run under way may move the phase.
            if (fetch.run == downloadRun_ && phase_.kind == Phase::Kind::downloading)
                setPhase(Phase::downloading(fraction));
            fetch.lastFraction = fraction;
        }
    }
}

void Updates::flushFetchBuffer()
{
    Fetch& fetch = *fetch_;
    if (fetch.buffer.isEmpty())
        return;
    const int error = !fetch.file ? EBADF
                                  : platform::FileIO::writeAll(fetch.file->fd(), fetch.buffer.constData(), fetch.buffer.size());
    fetch.buffer.clear();
    if (error != 0)
        endFetch(QStringLiteral("the download could not be written: ") + platform::FileIO::describe(error));
}

void Updates::endFetch(std::optional<QString> failure)
{
    if (!fetch_)
        return;
    if (!failure && !fetch_->file)
        failure = QStringLiteral("the download answered 0");
    if (!failure) {
        flushFetchBuffer();
        if (!fetch_)
            return; // the write failed and ended the fetch
    }
    std::unique_ptr<Fetch> fetch = std::move(fetch_);
    // A partial file is never left behind in the shared temporary folder.
    if (failure && fetch->file)
        removeFile(fetch->file->path());
    const Fetched result = failure ? Fetched::failure(*failure) : Fetched::success(fetch->file);
    fetch->file.reset();
    if (fetch->done)
        fetch->done(result);
}

// --- verification and storing ---

std::optional<UpdateFailure> Updates::verifyDownload(const QString& path, const UpdateFeed& entry)
{
    const QFileInfo info(path);
    const qint64 actual = info.exists() && info.isFile() ? info.size() : -1;
    if (actual != entry.size)
        return UpdateFailure{QStringLiteral("the download is %1 bytes, not %2").arg(actual).arg(entry.size)};
    const auto requirement = platform::CodeSignature::parseRequirement(signingRequirement);
    if (!requirement) {
        const auto digest = sha256Hex(path);
        if (!digest || *digest != entry.sha256)
            return UpdateFailure{QStringLiteral("the download's hash is not the announced one")};
        return UpdateFailure{QStringLiteral("the signing rule did not load")};
    }
    // The digest and the signature come from one read of the image.
    QByteArray digest;
    const platform::OSStatus status = platform::CodeSignature::checkImage(path, *requirement, digest);
    // Given up before the whole image was read: neither its hash nor its
    // signature says anything.
    if (status == platform::CodeSignature::Status::cancelled)
        return UpdateFailure{*signatureFailure(status, QStringLiteral("the download"))};
    if (digest.isEmpty() || QString::fromLatin1(digest) != entry.sha256)
        return UpdateFailure{QStringLiteral("the download's hash is not the announced one")};
    if (const auto failure = signatureFailure(status, QStringLiteral("the download")))
        return UpdateFailure{*failure};
    return std::nullopt;
}

std::optional<QString> Updates::sha256Hex(const QString& path)
{
    const auto digest = platform::Sha256::ofFile(path, platform::FileIO::Links::followed);
    return digest ? std::optional(QString::fromLatin1(*digest)) : std::nullopt;
}

Result<std::shared_ptr<TemporaryWork>> Updates::copyStoredImage(const QString& path, const UpdateFeed& entry)
{
    using Copied = Result<std::shared_ptr<TemporaryWork>>;
    const platform::FileIO::RegularFile image(path, platform::FileIO::Links::refused);
    struct stat info {};
    if (!image.isOpen() || ::fstat(image.fd(), &info) != 0 || info.st_size != entry.size)
        return Copied::failure(QStringLiteral("the stored image is %1 bytes, not %2")
                                   .arg(image.isOpen() ? qint64(info.st_size) : -1)
                                   .arg(entry.size));
    const Copied made = makeTemporaryFile(QStringLiteral("Tessaroom-image"), &Updates::workTag);
    if (!made.ok())
        return Copied::failure(QStringLiteral("the image could not be copied for mounting: ") + made.error());
    const int out = made.value()->fd();
    const QString copy = made.value()->path();
    platform::Sha256 sha;
    int writeError = 0;
    bool stopped = false;
    // One byte past the size is enough to tell a file that grows since its
    // size was read; it never fills the disk.
    const platform::FileIO::Read read =
        platform::FileIO::readChunks(image.fd(), digestChunkBytes, entry.size + 1, [&](const char* data, qint64 length) {
            // A quit waits for this queue.
            if (platform::BackgroundStop::requested()) {
                stopped = true;
                return false;
            }
            sha.add(data, length);
            writeError = platform::FileIO::writeAll(out, data, length);
            return writeError == 0;
        });
    // The copy stays open as the lock; a close of another descriptor of it
    // still reports what a network file system could not write.
    const int duplicate = ::fcntl(out, F_DUPFD_CLOEXEC, 0);
    const int closed = duplicate < 0 ? errno : ::close(duplicate) == 0 ? 0 : errno;
    const auto fail = [&](const QString& text) {
        removeFile(copy);
        return Copied::failure(text);
    };
    if (stopped)
        return fail(QStringLiteral("the check of the stored image was cut short: Tessaroom is quitting"));
    if (const int error = read.error != 0 ? read.error : writeError != 0 ? writeError : closed)
        return fail(QStringLiteral("the image could not be copied for mounting: ") + platform::FileIO::describe(error));
    if (read.bytes != entry.size)
        return fail(QStringLiteral("the stored image changed size while it was copied"));
    if (QString::fromLatin1(sha.hex()) != entry.sha256)
        return fail(QStringLiteral("the stored image's hash is not the announced one"));
    return made;
}

std::optional<QString> Updates::verifySignature(const QString& path, const QString& subject)
{
    using namespace platform::CodeSignature;
    const auto requirement = parseRequirement(signingRequirement);
    if (!requirement) {
        if (const auto failure = signatureFailure(checkValidity(path), subject))
            return failure;
        return QStringLiteral("the signing rule did not load");
    }
    // One pass: the signer is checked before any content is hashed.
    return signatureFailure(checkValidity(path, *requirement), subject);
}

void Updates::verifyOffMainThread(const QString& path, const QString& subject, StepDone done)
{
    // Reading every file of a bundle takes a while.
    platform::Scheduler::current().runInBackground("update.verify", [path, subject, done] {
        const auto failure = verifySignature(path, subject);
        platform::Scheduler::current().schedule(0, [failure, done] {
            done(failure ? std::optional(UpdateFailure{*failure}) : std::nullopt);
        });
    });
}

QString Updates::updatesFolder()
{
    return platform::Folders::applicationSupport() + QStringLiteral("/Tessaroom/Updates");
}

Result<QString> Updates::storeImage(const QString& temporaryPath, const QString& name)
{
    namespace fs = std::filesystem;
    const fs::path folder(QFile::encodeName(updatesFolder()).toStdString());
    if (!platform::Folders::make(updatesFolder()))
        return Result<QString>::failure(QStringLiteral("the folder %1 could not be made").arg(updatesFolder()));
    std::error_code error;
    // Never recursing: whatever an earlier version left here, however deep.
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        platform::FileManager::removeItem(QFile::decodeName(it->path().c_str()));
    const QString target = QDir(updatesFolder()).filePath(name);
    const auto renamed = [](const QString& from, const QString& to) {
        return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0 ? 0 : errno;
    };
    int moved = renamed(temporaryPath, target);
    std::optional<QString> why = moved != 0 ? std::optional(platform::FileIO::describe(moved)) : std::nullopt;
    if (moved == EXDEV) {
        // The temporary folder may be on another file system: the image is
        // written in place whole, or not at all.
        const platform::AtomicFile::Outcome copied =
            platform::AtomicFile::copyFile(temporaryPath, target, {.followOwnLink = false});
        moved = copied.error;
        why = copied.failure;
        if (!why)
            QFile::remove(temporaryPath);
    }
    // A full disk is said as such, with the folder: the user has to make
    // room there, not on the disk of the temporary folder.
    if (moved == ENOSPC || moved == EDQUOT)
        return Result<QString>::failure(QStringLiteral("the disk is full: the image does not fit in ") + updatesFolder());
    if (why)
        return Result<QString>::failure(*why);
    return Result<QString>::success(target);
}

void Updates::removeFile(const QString& path)
{
    QFile::remove(path);
}
