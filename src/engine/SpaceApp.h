#pragma once

#include <QImage>
#include <QString>

#include <optional>

// An app with at least one window on a desktop.
struct SpaceApp {
    qint32 pid = 0;
    // The app's localized name; empty when it has none.
    QString name;
    // Null when the app has no icon.
    QImage icon;
    // The Dock's badge text, when badges are on.
    std::optional<QString> badge;

    // Two values for one process are equal when their badges are; name and
    // icon do not take part.
    bool operator==(const SpaceApp& other) const { return pid == other.pid && badge == other.badge; }
};
