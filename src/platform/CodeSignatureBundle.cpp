#include "platform/CodeSignatureBundle.h"

#include "platform/CodeSignature.h"
#include "platform/FileIO.h"

#include <QFile>
#include <QJsonDocument>
#include <QStringList>

#include <cerrno>
#include <cstring>
#include <dirent.h>
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

QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// The literal text of the link at path; none when it is not a link or its
// text is not UTF-8.
std::optional<QString> linkText(const QString& path)
{
    QByteArray text(4096, Qt::Uninitialized);
    const ssize_t length = ::readlink(native(path).constData(), text.data(), std::size_t(text.size()));
    if (length < 0 || length >= text.size())
        return std::nullopt;
    text.truncate(length);
    const QString decoded = QString::fromUtf8(text);
    if (decoded.toUtf8() != text)
        return std::nullopt;
    return decoded;
}

// Whether following target from the folder at (relative components, kept
// up to date) stays inside root. Links met on the way are followed as the
// system would, each one taken from linksLeft; a component that does not
// exist is taken as a name.
bool leadsInside(const QString& root, QStringList& at, const QString& target, int& linksLeft)
{
    if (target.startsWith(QLatin1Char('/')))
        return false;
    for (const QString& part : target.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (part == QLatin1String("."))
            continue;
        if (part == QLatin1String("..")) {
            if (at.isEmpty())
                return false;
            at.removeLast();
            continue;
        }
        at.append(part);
        const QString path = root + QLatin1Char('/') + at.join(QLatin1Char('/'));
        struct stat info {};
        if (::lstat(native(path).constData(), &info) == 0 && S_ISLNK(info.st_mode)) {
            const auto next = linkText(path);
            at.removeLast();
            if (!next || --linksLeft < 0 || !leadsInside(root, at, *next, linksLeft))
                return false;
        }
    }
    return true;
}

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
                QStringList at = relative.split(QLatin1Char('/'));
                at.removeLast();
                // The link itself is the first of the path's links.
                int linksLeft = linksPerPath - 1;
                if (rules == Rules::verifiable && !leadsInside(root, at, entry.target, linksLeft))
                    return refuse(relative + (linksLeft < 0 ? QStringLiteral(" goes through more than 40 links")
                                                            : QStringLiteral(" leads outside the bundle")));
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
