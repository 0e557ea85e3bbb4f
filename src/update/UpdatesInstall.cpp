#include "update/Updates.h"

#include "platform/ChildProcess.h"
#include "platform/FileIO.h"
#include "platform/FileManager.h"
#include "platform/Scheduler.h"
#include "store/LogFile.h"
#include "store/Settings.h"
#include "update/InstallLock.h"
#include "update/TemporaryWork.h"
#include "update/UpdatePaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString hdiutil = QStringLiteral("/usr/bin/hdiutil");
const QString ditto = QStringLiteral("/usr/bin/ditto");
const QString appName = QStringLiteral("Tessaroom.app");

using UpdatePaths::parentFolder;
using UpdatePaths::somethingAt;

// Removes an install's own work. What cannot be removed is one line of
// "updates.log" (on the main thread) naming what is left.
void removeTree(const QString& path, const QString& what)
{
    if (const auto failure = platform::FileManager::removeItem(path))
        LogFile::updates().write(QStringLiteral("could not remove %1, %2: %3").arg(path, what, *failure));
}

const QString stagedCopy = QStringLiteral("the copy this install staged");

// Why what is at target is not the copy an install put there, or none.
std::optional<UpdateFailure> notInPlace(const QString& target, const std::optional<UpdatePaths::Entry>& placed)
{
    if (placed && UpdatePaths::entryAt(target) == placed)
        return std::nullopt;
    return UpdateFailure{QStringLiteral("the new copy at %1 was replaced by another before the install ended").arg(target)};
}

// Takes the install lock of target's folder for an install; none when
// another has it.
std::shared_ptr<InstallLock> takeInstallLock(const QString& target, std::optional<UpdateFailure>& refused)
{
    auto lock = std::make_shared<InstallLock>(parentFolder(target), InstallLock::Holder::install);
    if (!lock->setAside().isEmpty())
        LogFile::updates().write(lock->setAside());
    if (lock->state() == InstallLock::State::busy)
        refused = UpdateFailure{Updates::anotherInstall};
    else if (lock->state() == InstallLock::State::unknown)
        refused = UpdateFailure{QStringLiteral("the install lock could not be taken: ") + lock->why()};
    else
        return lock;
    return nullptr;
}

} // namespace

const QString Updates::anotherInstall = QStringLiteral("another install is under way");

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
    const std::optional<QString> bundle = runningBundle();
    if (!bundle) {
        failInstall(entry, notAnAppBundle);
        finish();
        return;
    }
    const QString running = *bundle;
    const auto target = installTarget(running, applicationsFolders(), defaultCanReplace);
    if (!target) {
        failInstall(entry, QStringLiteral("Tessaroom cannot be replaced where it is (%1) and Applications is not "
                                          "writable. Drag it into Applications by hand, open it from there, and "
                                          "try again.")
                               .arg(running));
        finish();
        return;
    }
    // One install into target's folder at a time, in this process or
    // another, whatever its state folder or user: the lock is held from the
    // tidy before staging until the install reports.
    std::optional<UpdateFailure> refused;
    const std::shared_ptr<InstallLock> lock = takeInstallLock(*target, refused);
    if (!lock) {
        failInstall(entry, refused->text);
        finish();
        return;
    }
    setPhase(Phase::installing());
    placed_.reset();
    QPointer<Updates> self(this);
    const auto installed = [self, entry, running, target = *target, finish,
                            lock](std::optional<UpdateFailure> failure) {
        // Said only of what is in place as it is said, under the lock.
        if (!failure && self)
            failure = notInPlace(target, self->placed_);
        lock->release();
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
    const auto abandoned = [installed] { installed(UpdateFailure{QStringLiteral("the installation was abandoned")}); };
    // What an earlier install left at the target goes first.
    recoverLeftovers(*target, [self, image, entry, target = *target, installed, abandoned] {
        if (!self) {
            abandoned();
            return;
        }
        // The stored image may have been swapped since its download was
        // checked: a private copy is checked again and attached, never the
        // stored file. Reading it whole takes a while: off the main thread.
        platform::Scheduler::current().runInBackground("update.recheck", [self, image, entry, target, installed, abandoned] {
            const auto copy = copyStoredImage(image, entry);
            platform::Scheduler::current().schedule(0, [self, copy, target, installed, abandoned] {
                if (!copy.ok()) {
                    installed(UpdateFailure{copy.error()});
                    return;
                }
                // The copy stays locked as this process's work until it is removed.
                const std::shared_ptr<TemporaryWork> file = copy.value();
                const QString what = QStringLiteral("the image copy this install attached");
                if (!self) {
                    removeTree(file->path(), what);
                    abandoned();
                    return;
                }
                self->installFromImage(file->path(), target, [file, what, installed](const std::optional<UpdateFailure>& failure) {
                    removeTree(file->path(), what);
                    installed(failure);
                });
            });
        });
    });
}

void Updates::installFromImage(const QString& imagePath, const QString& target, StepDone done)
{
    // Made and locked here, so no other process's tidy takes it for a
    // leftover while the image is attached at it.
    const QString temporary = QDir::tempPath();
    const auto made = TemporaryWork::make(TemporaryWork::Kind::folder, [temporary] {
        return temporary.isEmpty() ? QString() : QDir(temporary).filePath(QStringLiteral("Tessaroom-mount-") + workTag());
    });
    if (!made.ok()) {
        done(UpdateFailure{QStringLiteral("the image did not mount: ") + made.error()});
        return;
    }
    const std::shared_ptr<TemporaryWork> mount = made.value();
    const QString mountPoint = mount->path();
    const QStringList attach{QStringLiteral("attach"), QStringLiteral("-nobrowse"),   QStringLiteral("-readonly"),
                             QStringLiteral("-noautoopen"), QStringLiteral("-mountpoint"), mountPoint, imagePath};
    QPointer<Updates> self(this);
    runTool(hdiutil, attach, QStringLiteral("the image did not mount"),
            [self, mount, mountPoint, target, done](const std::optional<UpdateFailure>& mounted) {
                if (mounted || !self) {
                    // The tool removes what it unpacked; the folder is this install's.
                    removeTree(mountPoint, QStringLiteral("the folder this install attached the image at"));
                    done(mounted ? mounted : UpdateFailure{QStringLiteral("the installation was abandoned")});
                    return;
                }
                // From here on the image is detached whatever happens.
                const auto finish = [self, mount, mountPoint, done](const std::optional<UpdateFailure>& result) {
                    if (!self) {
                        done(result);
                        return;
                    }
                    self->detach(mountPoint, [mount, done, result] { done(result); });
                };
                const QString app = QDir(mountPoint).filePath(appName);
                const QFileInfo info(app);
                if (!info.isDir() || info.isSymLink()) {
                    finish(UpdateFailure{QStringLiteral("the image holds no Tessaroom")});
                    return;
                }
                verifyOffMainThread(app, QStringLiteral("the app in the image"),
                                    [self, app, target, finish](const std::optional<UpdateFailure>& failure) {
                                        if (failure || !self) {
                                            finish(failure ? failure
                                                           : UpdateFailure{QStringLiteral("the installation was abandoned")});
                                            return;
                                        }
                                        self->stageAndSwap(app, target, StagedCopy::verified, finish);
                                    });
            });
}

QString Updates::workTag()
{
    return QStringLiteral("%1-%2-%3")
        .arg(::geteuid())
        .arg(::getpid())
        .arg(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
}

void Updates::installCopy(const QString& source, const QString& target, StepDone done)
{
    std::optional<UpdateFailure> refused;
    const std::shared_ptr<InstallLock> lock = takeInstallLock(target, refused);
    if (!lock) {
        done(refused);
        return;
    }
    stageAndSwap(source, target, StagedCopy::asIs, [lock, done](const std::optional<UpdateFailure>& failure) {
        lock->release();
        done(failure);
    });
}

std::optional<UpdateFailure> Updates::refusedTarget(const QString& target)
{
    // Whatever the caller took for the app, nothing goes over a program
    // file or anything else that is not a bundle folder.
    if (!QFileInfo(QDir::cleanPath(target)).fileName().endsWith(QLatin1String(".app"))
        || (somethingAt(target) && !isAppBundle(target)))
        return UpdateFailure{QStringLiteral("%1 is not an app bundle; nothing was put in its place").arg(target)};
    return std::nullopt;
}

void Updates::stageAndSwap(const QString& source, const QString& target, StagedCopy check, StepDone done)
{
    const QString folder = parentFolder(target);
    if (const auto refused = refusedTarget(target)) {
        done(refused);
        return;
    }
    if (!canReplace(target)) {
        done(UpdateFailure{QStringLiteral("no permission to change ") + folder});
        return;
    }
    const QString newCopy = QDir(folder).filePath(QStringLiteral(".Tessaroom-new-%1.app").arg(workTag()));
    placed_.reset();
    QPointer<Updates> self(this);
    const auto swapIn = [self, newCopy, target, done] {
        if (!self) {
            removeTree(newCopy, stagedCopy);
            done(UpdateFailure{QStringLiteral("the installation was abandoned")});
            return;
        }
        // A rename keeps the entry: this is what target holds after the swap.
        const std::optional<UpdatePaths::Entry> placed = UpdatePaths::entryAt(newCopy);
        const Swap swap = Updates::swapIn(newCopy, target, self->renames);
        if (!swap.failure)
            self->placed_ = placed;
        if (swap.failure || swap.oldCopy.isEmpty()) {
            done(swap.failure ? swap.failure : notInPlace(target, placed));
            return;
        }
        // A big old copy takes long to remove: off the main thread, on the
        // leftovers' queue so no tidy crosses it. A quit cuts it short and
        // the next launch's tidy takes the rest.
        platform::Scheduler::current().runInBackground("update.leftovers", [target, placed, oldCopy = swap.oldCopy, done] {
            const auto failure = platform::FileManager::removeItem(oldCopy);
            platform::Scheduler::current().schedule(0, [target, placed, oldCopy, failure, done] {
                if (failure)
                    LogFile::updates().write(QStringLiteral("could not remove %1, the copy this install replaced: %2")
                                                 .arg(oldCopy, *failure));
                done(notInPlace(target, placed));
            });
        });
    };
    // The new copy's bytes and names reach the disk before it goes in place:
    // the copy tool leaves them to the system's write-back, and a power cut
    // after the swap must not leave an app of empty files.
    const auto swap = [newCopy, swapIn, done] {
        platform::Scheduler::current().runInBackground("update.sync", [newCopy, swapIn, done] {
            std::optional<QString> failure = platform::FileManager::syncItem(newCopy);
            if (!failure)
                failure = platform::FileManager::syncFolder(parentFolder(newCopy));
            platform::Scheduler::current().schedule(0, [newCopy, swapIn, done, failure] {
                if (!failure) {
                    swapIn();
                    return;
                }
                removeTree(newCopy, stagedCopy);
                done(UpdateFailure{QStringLiteral("the new copy could not be written to the disk: ") + *failure});
            });
        });
    };
    runTool(ditto, {source, newCopy}, QStringLiteral("the copy did not go through"),
            [self, newCopy, check, swap, done](const std::optional<UpdateFailure>& copied) {
                if (copied || !self) {
                    // A partly written copy is not left behind.
                    removeTree(newCopy, stagedCopy);
                    done(copied ? copied : UpdateFailure{QStringLiteral("the installation was abandoned")});
                    return;
                }
                if (check == StagedCopy::asIs) {
                    swap();
                    return;
                }
                // What goes in place is checked, not only what it was copied
                // from.
                verifyOffMainThread(newCopy, QStringLiteral("the copied app"),
                                    [newCopy, swap, done](const std::optional<UpdateFailure>& failure) {
                                        if (!failure) {
                                            swap();
                                            return;
                                        }
                                        removeTree(newCopy, stagedCopy);
                                        done(failure);
                                    });
            });
}

Updates::Renames Updates::systemRenames()
{
    const auto result = [](int status) { return status == 0 ? 0 : errno; };
    return Renames{
        .exchange =
            [result](const QString& first, const QString& second) {
                return result(::renameat2(AT_FDCWD, QFile::encodeName(first).constData(), AT_FDCWD,
                                          QFile::encodeName(second).constData(), RENAME_EXCHANGE));
            },
        .rename =
            [result](const QString& from, const QString& to) {
                return result(std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()));
            },
        .renameNoReplace =
            [result](const QString& from, const QString& to) {
                return result(::renameat2(AT_FDCWD, QFile::encodeName(from).constData(), AT_FDCWD,
                                          QFile::encodeName(to).constData(), RENAME_NOREPLACE));
            },
    };
}

Updates::Swap Updates::swapIn(const QString& newCopy, const QString& target, const Renames& renames)
{
    if (auto refused = refusedTarget(target)) {
        removeTree(newCopy, stagedCopy);
        return {std::move(refused), {}};
    }
    const QString folder = parentFolder(target);
    const auto notDurable = [](const QString& why) {
        return QStringLiteral("the new copy could not be written to the disk: ") + why;
    };
    if (!somethingAt(target)) {
        if (const int error = renames.rename(newCopy, target)) {
            removeTree(newCopy, stagedCopy);
            return {UpdateFailure{QStringLiteral("the new copy could not be put in place: ") + platform::FileIO::describe(error)}, {}};
        }
        if (const auto failure = platform::FileManager::syncFolder(folder)) {
            if (renames.rename(target, newCopy) == 0)
                removeTree(newCopy, stagedCopy);
            return {UpdateFailure{notDurable(*failure)}, {}};
        }
        return {};
    }
    // One step: there is never a moment without an app at target. The old
    // copy ends up under the new copy's hidden name.
    const int exchanged = renames.exchange(newCopy, target);
    if (exchanged == 0) {
        // The old copy goes only once the exchange is on the disk; until
        // then it is the copy a power cut may bring back.
        if (const auto failure = platform::FileManager::syncFolder(folder)) {
            QString text = notDurable(*failure);
            if (renames.exchange(newCopy, target) == 0)
                removeTree(newCopy, stagedCopy);
            else
                text += QStringLiteral("; the old copy is at ") + newCopy;
            return {UpdateFailure{text}, {}};
        }
        return {std::nullopt, newCopy};
    }
    if (exchanged != EINVAL && exchanged != ENOSYS) {
        removeTree(newCopy, stagedCopy);
        return {UpdateFailure{QStringLiteral("the new copy could not be put in place: ") + platform::FileIO::describe(exchanged)}, {}};
    }
    // The file system cannot exchange: two steps. Should the process end
    // between them, the next launch or install puts a copy back.
    const QString oldCopy = QDir(folder).filePath(QStringLiteral(".Tessaroom-old-%1.app").arg(workTag()));
    if (const int error = renames.rename(target, oldCopy)) {
        removeTree(newCopy, stagedCopy);
        return {UpdateFailure{QStringLiteral("the old copy could not be moved aside: ") + platform::FileIO::describe(error)}, {}};
    }
    QString text;
    if (const int error = renames.rename(newCopy, target))
        text = QStringLiteral("the new copy could not be put in place: ") + platform::FileIO::describe(error);
    else if (const auto failure = platform::FileManager::syncFolder(folder))
        text = notDurable(*failure);
    else
        return {std::nullopt, oldCopy};
    // The new copy leaves the place it may have taken, and the old one goes
    // back.
    if (somethingAt(newCopy) || renames.rename(target, newCopy) == 0) {
        const int movedBack = renames.rename(oldCopy, target);
        removeTree(newCopy, stagedCopy);
        // The old copy may be the only one left: it stays where it is.
        if (movedBack != 0)
            text += QStringLiteral("; the old copy could not be moved back and is at ") + oldCopy;
    } else {
        text += QStringLiteral("; the old copy is at ") + oldCopy;
    }
    return {UpdateFailure{text}, {}};
}

void Updates::moveApp(const QString& source, const QString& target, StepDone done)
{
    if (!isAppBundle(source)) {
        done(UpdateFailure{notAnAppBundle});
        return;
    }
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
