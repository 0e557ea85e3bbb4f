#pragma once

#include <QString>

// A desktop's icon: an SF Symbol name, one or two emoji, a picture file in the
// icons folder, or none (the tile shows the desktop's number).
class SpaceIcon {
public:
    enum class Kind { symbol, emoji, picture, none };

    SpaceIcon() = default;
    static SpaceIcon symbol(QString name);
    static SpaceIcon emoji(QString text);
    static SpaceIcon picture(QString fileName);
    static SpaceIcon none() { return {}; }

    // Reads the stored text; never fails. "sf:" and "img:" prefixes are exact
    // and case-sensitive; any other text keeps its first two emoji, or is none.
    static SpaceIcon fromString(const QString& text);
    // "sf:<name>", the emoji themselves, "img:<file>", or "" for none.
    QString stringValue() const;

    Kind kind() const { return kind_; }
    // The symbol name, emoji text or file name; empty for none.
    const QString& payload() const { return payload_; }
    bool isNone() const { return kind_ == Kind::none; }

    friend bool operator==(const SpaceIcon&, const SpaceIcon&) = default;

private:
    SpaceIcon(Kind kind, QString payload);

    Kind kind_ = Kind::none;
    QString payload_;
};
