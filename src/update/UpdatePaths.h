#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

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

} // namespace UpdatePaths
