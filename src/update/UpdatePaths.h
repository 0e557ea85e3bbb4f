#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <optional>
#include <sys/stat.h>

// Path facts the install, placement and leftover code all ask, kept in one
// place so they answer alike.
namespace UpdatePaths {

// The folder that holds path (a bundle, a hidden copy).
inline QString parentFolder(const QString& path)
{
    return QFileInfo(QDir::cleanPath(path)).path();
}

// Whether anything, even a dangling link, is at path.
inline bool somethingAt(const QString& path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

// Which entry is at path, a link not followed: its device and inode, which
// a rename keeps. Tells the copy an install put in place from one put there
// since.
struct Entry {
    dev_t device = 0;
    ino_t inode = 0;
    friend bool operator==(const Entry&, const Entry&) = default;
};

inline std::optional<Entry> entryAt(const QString& path)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return Entry{info.st_dev, info.st_ino};
}

} // namespace UpdatePaths
