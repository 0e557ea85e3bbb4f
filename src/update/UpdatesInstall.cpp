#include "update/Updates.h"

#include "platform/Bundle.h"
#include "platform/ChildProcess.h"
#include "platform/Scheduler.h"
#include "store/LogFile.h"
#include "store/Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {

const QString hdiutil = QStringLiteral("/usr/bin/hdiutil");
const QString ditto = QStringLiteral("/usr/bin/ditto");
const QString appName = QStringLiteral("Tessaroom.app");

QString freshUuid()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

QString parentFolder(const QString& path)
{
    return QFileInfo(QDir::cleanPath(path)).path();
}

// Whether anything, even a dangling link, is at path.
bool somethingAt(const QString& path)
{
    std::error_code error;
    return std::filesystem::exists(std::filesystem::symlink_status(QFile::encodeName(path).toStdString(), error));
}

// Removes a tree, making folders writable on the way so that read-only
// copies go too; errors are ignored.
void removeTree(const QString& path)
{
    namespace fs = std::filesystem;
    const fs::path root(QFile::encodeName(path).toStdString());
    std::error_code error;
    if (fs::is_directory(fs::symlink_status(root, error))) {
        fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, error);
        for (fs::recursive_directory_iterator it(root, error), end; !error && it != end; it.increment(error)) {
            std::error_code ignored;
            if (it->is_directory(ignored) && !it->is_symlink(ignored))
                fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        }
    }
    fs::remove_all(root, error);
}

std::optional<QString> renameItem(const QString& from, const QString& to)
{
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return std::nullopt;
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

void Updates::failInstall(const UpdateFeed& entry, const QString& text)
{
    setPhase(Phase::failed(text));
    LogFile::updates().write(QStringLiteral("install of %1 failed: %2").arg(entry.version, text));
}

void Updates::install(std::function<void()> done)
{
    const auto finish = [done] {
        if (done)
            done();
    };
    if (phase_.kind != Phase::Kind::ready || !available_ || !phase_.entry) {
        finish();
        return;
    }
    // Everything below works on the release the image holds.
    const UpdateFeed entry = *phase_.entry;
    const QString image = phase_.imagePath;
    if (entry != *available_) {
        failInstall(entry, QStringLiteral("the downloaded version is no longer on offer"));
        finish();
        return;
    }
    const QString running = QDir::cleanPath(platform::Bundle::bundlePath());
    const auto target = installTarget(running, applicationsFolders(), defaultCanReplace);
    if (!target) {
        failInstall(entry, QStringLiteral("Tessaroom cannot be replaced where it is (%1) and Applications is not "
                                          "writable. Drag it into Applications by hand, open it from there, and "
                                          "try again.")
                               .arg(running));
        finish();
        return;
    }
    setPhase(Phase::installing());
    QPointer<Updates> self(this);
    const auto installed = [self, entry, running, target = *target, finish](const auto& failure) {
        if (!self) {
            finish();
            return;
        }
        if (failure) {
            self->failInstall(entry, failure->text);
            finish();
            return;
        }
        self->settings_.setUpdateInstalling(entry.version);
        LogFile::updates().write(
            target == running
                ? QStringLiteral("installed %1 at %2, relaunching").arg(entry.version, target)
                : QStringLiteral("running from %1, which cannot be changed; installed %2 at %3, relaunching from there")
                      .arg(running, entry.version, target));
        if (self->relaunch)
            self->relaunch(target); // the phase stays installing while the process ends
        else
            self->setPhase(Phase::idle());
        finish();
    };
    // The stored image may have been swapped since its download was checked:
    // its size and digest are checked again right before it is attached.
    // Reading it whole takes a while: off the main thread.
    platform::Scheduler::current().runInBackground("update.recheck", [self, image, entry, target = *target, installed] {
        const auto failure = storedImageFailure(image, entry);
        platform::Scheduler::current().schedule(0, [self, image, target, installed, failure] {
            if (!self || failure) {
                installed(failure ? failure : UpdateFailure{QStringLiteral("the installation was abandoned")});
                return;
            }
            self->installFromImage(image, target, installed);
        });
    });
}

std::optional<UpdateFailure> Updates::storedImageFailure(const QString& path, const UpdateFeed& entry)
{
    const QFileInfo info(path);
    const qint64 actual = info.exists() && info.isFile() && !info.isSymLink() ? info.size() : -1;
    if (actual != entry.size)
        return UpdateFailure{QStringLiteral("the stored image is %1 bytes, not %2").arg(actual).arg(entry.size)};
    const auto digest = sha256Hex(path);
    if (!digest || *digest != entry.sha256)
        return UpdateFailure{QStringLiteral("the stored image's hash is not the announced one")};
    return std::nullopt;
}

void Updates::installFromImage(const QString& imagePath, const QString& target, StepDone done)
{
    const QString mountPoint = QDir(QDir::tempPath()).filePath(QStringLiteral("Tessaroom-mount-") + freshUuid());
    const QStringList attach{QStringLiteral("attach"), QStringLiteral("-nobrowse"),   QStringLiteral("-readonly"),
                             QStringLiteral("-noautoopen"), QStringLiteral("-mountpoint"), mountPoint, imagePath};
    QPointer<Updates> self(this);
    runTool(hdiutil, attach, QStringLiteral("the image did not mount"),
            [self, mountPoint, target, done](const std::optional<UpdateFailure>& mounted) {
                if (mounted || !self) {
                    done(mounted ? mounted : UpdateFailure{QStringLiteral("the installation was abandoned")});
                    return;
                }
                // From here on the image is detached whatever happens.
                const auto finish = [self, mountPoint, done](const std::optional<UpdateFailure>& result) {
                    if (!self) {
                        done(result);
                        return;
                    }
                    self->detach(mountPoint, [done, result] { done(result); });
                };
                const QString app = QDir(mountPoint).filePath(appName);
                const QFileInfo info(app);
                if (!info.isDir() || info.isSymLink()) {
                    finish(UpdateFailure{QStringLiteral("the image holds no Tessaroom")});
                    return;
                }
                // Reading every file of the bundle takes a while: off the main thread.
                platform::Scheduler::current().runInBackground("update.verify", [self, app, target, finish] {
                    const auto failure = verifySignature(app);
                    platform::Scheduler::current().schedule(0, [self, app, target, finish, failure] {
                        if (!self) {
                            finish(UpdateFailure{QStringLiteral("the installation was abandoned")});
                            return;
                        }
                        if (failure) {
                            QString text = *failure;
                            finish(UpdateFailure{text.replace(QStringLiteral("the download"),
                                                              QStringLiteral("the app in the image"))});
                            return;
                        }
                        self->installCopy(app, target, finish);
                    });
                });
            });
}

void Updates::installCopy(const QString& source, const QString& target, StepDone done)
{
    const QString folder = parentFolder(target);
    if (!canReplace(target)) {
        done(UpdateFailure{QStringLiteral("no permission to change ") + folder});
        return;
    }
    const QString newCopy = QDir(folder).filePath(QStringLiteral(".Tessaroom-new-%1.app").arg(freshUuid()));
    QPointer<Updates> self(this);
    runTool(ditto, {source, newCopy}, QStringLiteral("the copy did not go through"),
            [self, newCopy, target, done](const std::optional<UpdateFailure>& copied) {
                if (copied || !self) {
                    // A partly written copy is not left behind.
                    removeTree(newCopy);
                    done(copied ? copied : UpdateFailure{QStringLiteral("the installation was abandoned")});
                    return;
                }
                self->swapIn(newCopy, target, done);
            });
}

void Updates::swapIn(const QString& newCopy, const QString& target, const StepDone& done)
{
    const auto move = moveItem ? moveItem : renameItem;
    const QString oldCopy = QDir(parentFolder(target)).filePath(QStringLiteral(".Tessaroom-old-%1.app").arg(freshUuid()));
    const bool hadTarget = somethingAt(target);
    if (hadTarget) {
        if (const auto error = move(target, oldCopy)) {
            removeTree(newCopy);
            done(UpdateFailure{QStringLiteral("the old copy could not be moved aside: ") + *error});
            return;
        }
    }
    if (const auto error = move(newCopy, target)) {
        const std::optional<QString> movedBack = hadTarget ? move(oldCopy, target) : std::nullopt;
        removeTree(newCopy);
        QString text = QStringLiteral("the new copy could not be put in place: ") + *error;
        // The old copy may be the only one left: it stays where it is.
        if (movedBack)
            text += QStringLiteral("; the old copy could not be moved back and is at ") + oldCopy;
        done(UpdateFailure{text});
        return;
    }
    if (hadTarget)
        removeTree(oldCopy);
    done(std::nullopt);
}

void Updates::moveApp(const QString& source, const QString& target, StepDone done)
{
    installCopy(source, target, std::move(done));
}

void Updates::detach(const QString& mountPoint, std::function<void()> done)
{
    runTool(hdiutil, {QStringLiteral("detach"), mountPoint, QStringLiteral("-force")}, QString(),
            [done](const std::optional<UpdateFailure>&) {
                if (done)
                    done();
            });
}

void Updates::runTool(const QString& path, const QStringList& arguments, const QString& failure, StepDone done)
{
    const quint64 id = ++toolRun_;
    auto run = std::make_unique<ToolRun>();
    ToolRun& tool = *run;
    tools_[id] = std::move(run);
    QPointer<Updates> self(this);
    tool.running = platform::ChildProcess::start(
        path, arguments, [self, id, failure, done](const platform::ChildProcess::Result& result) {
            bool timedOut = false;
            if (self) {
                if (auto it = self->tools_.find(id); it != self->tools_.end()) {
                    timedOut = it->second->timedOut;
                    platform::Scheduler::current().cancel(it->second->limit);
                    self->tools_.erase(it);
                }
            }
            if (result.launchError) {
                done(UpdateFailure{failure + QStringLiteral(": ") + *result.launchError});
                return;
            }
            if (timedOut) {
                done(UpdateFailure{failure + QStringLiteral(": the tool did not end within %1 seconds")
                                                 .arg(toolTimeLimit)});
                return;
            }
            if (result.exitStatus == 0) {
                done(std::nullopt);
                return;
            }
            const QString standardError = QString::fromUtf8(result.standardError).trimmed();
            done(UpdateFailure{standardError.isEmpty() ? failure
                                                       : failure + QStringLiteral(" (") + standardError
                                                             + QLatin1Char(')')});
        });
    // The tool may have reported already (never inside start, but be sure).
    if (auto it = tools_.find(id); it != tools_.end()) {
        it->second->limit = platform::Scheduler::current().schedule(toolTimeLimit, [self, id] {
            if (!self)
                return;
            if (auto found = self->tools_.find(id); found != self->tools_.end()) {
                found->second->timedOut = true;
                found->second->running->stop();
            }
        });
    }
}
