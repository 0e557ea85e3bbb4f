#pragma once

#include "store/Hotkey.h"
#include "store/Result.h"
#include "store/SpaceIcon.h"
#include "store/TileColor.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <optional>

// Everything a user sets for one desktop, and its tracked time.
struct SpaceMeta {
    QString name;   // "" means unnamed
    SpaceIcon icon;
    TileColor color;
    double seconds = 0;
    std::optional<Hotkey> hotkey;

    // No name, no icon, automatic colour, no time, no shortcut: what a desktop
    // without an entry has.
    static SpaceMeta empty() { return {}; }
    // Whether the user customized nothing; tracked time is not looked at.
    bool isEmpty() const;

    // The stored object: "name", "icon", "color", "seconds", and "hotkey" only
    // when one is set. Does not check that seconds is finite.
    QJsonObject toJson() const;
    // Fails with a description when a required member is missing or any
    // member has the wrong type; unknown members are ignored.
    static Result<SpaceMeta> fromJson(const QJsonValue& value);

    friend bool operator==(const SpaceMeta&, const SpaceMeta&) = default;
};
