#include "platform/CodeSignatureBundle.h"

#include "platform/CodeSignature.h"
#include "platform/FileIO.h"

#include <QFile>
#include <QJsonDocument>
#include <QStringList>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform::CodeSignature::Bundle {

namespace {

constexpr qint64 largestSignatureBytes = qint64(64) << 20;
// How many links one path may go through in all before it counts as a loop,
// as the kernel counts: a chain that doubles at every link is refused after
// 40 lookups, not 2^n.
constexpr int linksPerPath = 40;
// How many parts (names, "." and "..") the texts of one path's links may
// hold in all: two link texts of the longest kind (4,095 bytes name at most
// 2,048 parts), far more than a real bundle's links take. So each link costs
// a bounded number of lookups, and a bundle's walk grows with the bundle
// however its links are chained.
constexpr int partsPerPath = 4096;

QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// The literal text of the link name in folder (a descriptor, or AT_FDCWD
// for a path); none when it is not a link or its text is not UTF-8.
std::optional<QByteArray> linkBytes(int folder, const char* name)
{
    QByteArray text(4096, Qt::Uninitialized);
    const ssize_t length = ::readlinkat(folder, name, text.data(), std::size_t(text.size()));
    if (length < 0 || length >= text.size())
        return std::nullopt;
    text.truncate(length);
    if (QString::fromUtf8(text).toUtf8() != text)
        return std::nullopt;
    return text;
}

std::optional<QString> linkText(const QString& path)
{
    const auto text = linkBytes(AT_FDCWD, native(path).constData());
    return text ? std::optional<QString>(QString::fromUtf8(*text)) : std::nullopt;
}

enum class Lead { inside, outside, tooManyLinks, tooManyParts };

// Follows a link's target from the folder that holds the link, part by part
// as the system would: each part is looked up in the open folder reached so
// far, so no path is rebuilt and a part costs the same however deep it lies.
// Links met on the way are followed, each one counted against linksPerPath
// and every part of every text against partsPerPath; a part that names
// nothing, or something that is not a folder, is taken as a name (only ".."
// leads back from it).
class LinkFollower {
public:
    // folder: the link's own, depth folders below the root.
    LinkFollower(int folder, int depth)
        : folder_(folder)
        , depth_(depth)
    {
    }
    ~LinkFollower()
    {
        if (folder_ >= 0)
            ::close(folder_);
    }
    LinkFollower(const LinkFollower&) = delete;
    LinkFollower& operator=(const LinkFollower&) = delete;

    Lead follow(const QByteArray& target)
    {
        if (folder_ < 0 || target.startsWith('/'))
            return Lead::outside;
        for (qsizetype start = 0; start < target.size();) {
            qsizetype end = target.indexOf('/', start);
            if (end < 0)
                end = target.size();
            const QByteArray part = target.sliced(start, end - start);
            start = end + 1;
            if (part.isEmpty())
                continue;
            if (--partsLeft_ < 0)
                return Lead::tooManyParts;
            if (const Lead lead = step(part); lead != Lead::inside)
                return lead;
        }
        return Lead::inside;
    }

private:
    Lead step(const QByteArray& part)
    {
        if (part == ".")
            return Lead::inside;
        if (part == "..") {
            if (depth_ == 0)
                return Lead::outside;
            --depth_;
            if (namesPast_ > 0) {
                --namesPast_;
                return Lead::inside;
            }
            // Folders are entered only by their own names, never through a
            // link, so the one above is the one the path came from.
            return enter(::openat(folder_, "..", O_PATH | O_DIRECTORY | O_CLOEXEC)) ? Lead::inside : Lead::outside;
        }
        ++depth_;
        if (namesPast_ > 0) {
            ++namesPast_;
            return Lead::inside;
        }
        // Looked at by name, never opened: files are not read before the
        // signer is known.
        struct stat info {};
        if (::fstatat(folder_, part.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0
            || !(S_ISDIR(info.st_mode) || S_ISLNK(info.st_mode))) {
            ++namesPast_;
            return Lead::inside;
        }
        if (S_ISDIR(info.st_mode))
            return enter(::openat(folder_, part.constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC))
                ? Lead::inside
                : Lead::outside;
        --depth_;
        const auto text = linkBytes(folder_, part.constData());
        if (!text)
            return Lead::outside;
        if (--linksLeft_ < 0)
            return Lead::tooManyLinks;
        return follow(*text);
    }

    bool enter(int folder)
    {
        if (folder < 0)
            return false;
        ::close(folder_);
        folder_ = folder;
        return true;
    }

    int folder_;        // open for lookups only (O_PATH); -1 when it could not be opened
    int depth_;         // folders below the root, named ones included
    int namesPast_ = 0; // parts since the path left the folders that exist
    // The link itself is the first of the path's links.
    int linksLeft_ = linksPerPath - 1;
    int partsLeft_ = partsPerPath;
};

} // namespace

const char* typeName(Entry::Type type)
{
    switch (type) {
    case Entry::Type::file: return "file";
    case Entry::Type::folder: return "folder";
    case Entry::Type::link: return "link";
    }
    return "";
}

Walked walk(const QString& root, Rules rules)
{
    Walked result;
    const auto refuse = [&](const QString& reason) {
        result.refusal = reason;
        return result;
    };
    constexpr mode_t specialBits = S_ISUID | S_ISGID | S_ISVTX;
    struct stat top {};
    if (::lstat(native(root).constData(), &top) != 0 || !S_ISDIR(top.st_mode))
        return refuse(QStringLiteral("the bundle is not a folder"));
    if (rules == Rules::verifiable && (top.st_mode & specialBits))
        return refuse(QStringLiteral("the bundle has a setuid, setgid or sticky bit"));
    std::vector<QString> folders{QString()};
    while (!folders.empty()) {
        const QString folder = folders.back();
        folders.pop_back();
        DIR* listing = ::opendir(native(folder.isEmpty() ? root : root + QLatin1Char('/') + folder).constData());
        if (!listing)
            return refuse((folder.isEmpty() ? QStringLiteral(".") : folder) + QStringLiteral(": ") + systemError());
        std::vector<QByteArray> names;
        while (const dirent* item = ::readdir(listing)) {
            const QByteArray name(item->d_name);
            if (name != "." && name != "..")
                names.push_back(name);
        }
        ::closedir(listing);
        for (const QByteArray& name : names) {
            const QString decoded = QString::fromUtf8(name);
            if (decoded.toUtf8() != name)
                return refuse(QStringLiteral("a name in %1 is not UTF-8").arg(folder.isEmpty() ? QStringLiteral(".") : folder));
            const QString relative = folder.isEmpty() ? decoded : folder + QLatin1Char('/') + decoded;
            const QString path = root + QLatin1Char('/') + relative;
            struct stat info {};
            if (::lstat(native(path).constData(), &info) != 0)
                return refuse(relative + QStringLiteral(": ") + systemError());
            if (rules == Rules::verifiable && (info.st_mode & specialBits))
                return refuse(relative + QStringLiteral(" has a setuid, setgid or sticky bit"));
            Entry entry;
            if (S_ISREG(info.st_mode)) {
                entry.executable = (info.st_mode & 0111) != 0;
            } else if (S_ISDIR(info.st_mode)) {
                entry.type = Entry::Type::folder;
                folders.push_back(relative);
            } else if (S_ISLNK(info.st_mode)) {
                entry.type = Entry::Type::link;
                const auto target = linkText(path);
                if (!target)
                    return refuse(relative + QStringLiteral(": the link's text is not UTF-8"));
                entry.target = *target;
                if (rules == Rules::verifiable) {
                    const QString holder = folder.isEmpty() ? root : root + QLatin1Char('/') + folder;
                    LinkFollower follower(::open(native(holder).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC),
                                          int(relative.count(QLatin1Char('/'))));
                    switch (follower.follow(entry.target.toUtf8())) {
                    case Lead::inside: break;
                    case Lead::outside: return refuse(relative + QStringLiteral(" leads outside the bundle"));
                    case Lead::tooManyLinks:
                        return refuse(relative + QStringLiteral(" goes through more than %1 links").arg(linksPerPath));
                    case Lead::tooManyParts:
                        return refuse(relative + QStringLiteral(" goes through more than %1 path parts").arg(partsPerPath));
                    }
                }
            } else {
                return refuse(relative + QStringLiteral(" is a pipe, socket or device"));
            }
            if (relative != signatureFolderPath && relative != signatureFilePath)
                result.entries.emplace(relative, entry);
        }
    }
    return result;
}

QJsonObject record(const Entries& entries)
{
    QJsonObject record;
    for (const auto& [path, entry] : entries) {
        QJsonObject fields{{QStringLiteral("type"), QLatin1String(typeName(entry.type))}};
        if (entry.type == Entry::Type::file) {
            fields.insert(QStringLiteral("sha256"), QString::fromLatin1(entry.digest));
            fields.insert(QStringLiteral("executable"), entry.executable);
        } else if (entry.type == Entry::Type::link) {
            fields.insert(QStringLiteral("target"), entry.target);
        }
        record.insert(path, fields);
    }
    return record;
}

std::optional<Entries> entries(const QJsonValue& value)
{
    if (!value.isObject())
        return std::nullopt;
    Entries entries;
    const QJsonObject record = value.toObject();
    for (auto it = record.begin(); it != record.end(); ++it) {
        const QJsonObject fields = it.value().toObject();
        const QString type = fields.value(QLatin1String("type")).toString();
        Entry entry;
        if (type == QLatin1String("file")) {
            const QJsonValue digest = fields.value(QLatin1String("sha256"));
            const QJsonValue executable = fields.value(QLatin1String("executable"));
            if (!digest.isString() || digest.toString().size() != 64 || !executable.isBool())
                return std::nullopt;
            entry.digest = digest.toString().toLatin1();
            entry.executable = executable.toBool();
        } else if (type == QLatin1String("folder")) {
            entry.type = Entry::Type::folder;
        } else if (type == QLatin1String("link")) {
            const QJsonValue target = fields.value(QLatin1String("target"));
            if (!target.isString())
                return std::nullopt;
            entry.type = Entry::Type::link;
            entry.target = target.toString();
        } else {
            return std::nullopt;
        }
        entries.emplace(it.key(), entry);
    }
    return entries;
}

ReadSignature readSignature(const QString& root)
{
    QString path = root;
    for (const QString& part : signatureFilePath.split(QLatin1Char('/'))) {
        path += QLatin1Char('/') + part;
        struct stat info {};
        if (::lstat(native(path).constData(), &info) != 0)
            return {Status::unsigned_, {}};
        const bool last = path.endsWith(QLatin1String("/CodeResources"));
        if (last ? !S_ISREG(info.st_mode) : !S_ISDIR(info.st_mode))
            return {Status::signatureFailed, {}};
        if (last && info.st_size > largestSignatureBytes)
            return {Status::signatureFailed, {}};
    }
    const FileIO::RegularFile file(path, FileIO::Links::refused);
    if (!file.isOpen())
        return {Status::signatureFailed, {}};
    QByteArray bytes;
    if (FileIO::readAll(file.fd(), bytes, largestSignatureBytes) != 0)
        return {Status::signatureFailed, {}};
    const QJsonObject wrapper = QJsonDocument::fromJson(bytes).object();
    ReadSignature result;
    result.body.record = QByteArray::fromBase64(wrapper.value(QLatin1String("record")).toString().toLatin1());
    result.body.signature = QByteArray::fromBase64(wrapper.value(QLatin1String("signature")).toString().toLatin1());
    return result;
}

} // namespace platform::CodeSignature::Bundle
