#pragma once

#include <QString>

// Why a picture could not be imported, with the text the user is shown.
class PictureImportError {
public:
    enum class Kind { unreadable, unencodable, unwritable };

    static PictureImportError unreadable() { return PictureImportError(Kind::unreadable, {}); }
    static PictureImportError unencodable() { return PictureImportError(Kind::unencodable, {}); }
    // Carries the system's description of the write error.
    static PictureImportError unwritable(QString writeError);

    Kind kind() const { return kind_; }
    QString description() const;

private:
    PictureImportError(Kind kind, QString writeError);

    Kind kind_;
    QString writeError_;
};
