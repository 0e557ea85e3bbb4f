#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class SpaceEngine;
class SpaceStore;

// The demonstration desktops that captures and renders show on any machine:
// fixed names, icons, tracked times and apps. Loading them freezes the names
// store for the rest of the process, so the user's own names are never
// overwritten and come back at the next launch.
class SampleData {
public:
    SampleData() = delete;

    struct Row {
        // Empty: the desktop stays unnamed.
        QString name;
        // A symbol name; empty for no icon.
        QString symbol;
        double hours = 0;
        // The apps shown, in this order.
        QStringList bundleIdentifiers;
    };

    // The table in its fixed order, the empty name first.
    static const QList<Row>& rows();
    // The name the current desktop takes.
    static QString currentName();
    // The Dock badge a sample app shows; none for most.
    static std::optional<QString> badge(const QString& bundleIdentifier);
    // Process ids of sample apps: base + 10 × desktop index + app index.
    static constexpr qint32 pidBase = 100000;

    // Replaces the metadata of every desktop the engine lists now and the
    // apps shown on each; apps not installed here are left out.
    static void load(SpaceEngine& engine, SpaceStore& store);
};
