#include "ui/PictureImportError.h"

PictureImportError::PictureImportError(Kind kind, QString writeError)
    : kind_(kind)
    , writeError_(std::move(writeError))
{
}

PictureImportError PictureImportError::unwritable(QString writeError)
{
    return PictureImportError(Kind::unwritable, std::move(writeError));
}

QString PictureImportError::description() const
{
    switch (kind_) {
    case Kind::unreadable:
        return QStringLiteral("That file is not a picture macOS can open.");
    case Kind::unencodable:
        return QStringLiteral("The picture could not be converted.");
    case Kind::unwritable:
        return QStringLiteral("The picture could not be saved: ") + writeError_;
    }
    return {};
}
