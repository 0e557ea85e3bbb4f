#pragma once

#include "platform/sim/World.h"

#include <QHash>
#include <QStringList>

#include <map>
#include <optional>

namespace platform::sim {

// One accessibility element of the simulated trees.
struct ElementNode {
    qint32 pid = 0;
    quint64 parent = 0;
    QList<quint64> children;
    QVariantMap attributes;
    QHash<QString, std::function<AX::Error()>> actions;
    AX::Error error = AX::Error::success;
    float messagingTimeout = 0;
};

// Everything a world file or the default world sets up at once.
struct WorldContents {
    QList<DisplaySpec> displays;
    std::optional<QString> activeMenuBarDisplay;
    QList<AppSpec> apps;
    std::optional<qint32> frontmostApp;
    QList<WindowSpec> windows; // front to back
    QList<DockItemSpec> dockItems;
    std::optional<qint32> ownPID;
    bool trusted = true;
};

// The world's state; guarded by World::mutex().
struct World::Internals {
    QList<DisplaySpec> displays;
    std::optional<QString> activeMenuBarDisplay;
    QList<WindowSpec> windows; // front to back
    QList<AppSpec> apps;       // launch order
    QHash<qint32, qsizetype> appIndex;
    std::optional<qint32> frontmostApp;
    QList<qint32> activationRequests;
    QList<QUrl> openedURLs;
    qint32 ownPID = 4242;

    bool trusted = true;
    int trustPrompts = 0;
    std::map<quint64, ElementNode> elements;
    QHash<qint32, quint64> applicationElements;
    quint64 nextElement = 1;
    quint64 dockList = 0;
    QStringList attributeWrites;

    double bootTime = 0;
    std::map<quint32, double> lastEvent;
    World::SessionIdleClock sessionIdle;

    bool fromFile = false;
    QPoint windowSystemOrigin;

    QHash<QString, QVariant> overrides;
    mutable QHash<QString, int> calls;

    // Answers built once per state; dropped on every change they depend on.
    std::optional<QVariant> displaySpacesAnswer;
    QHash<quint32, QVariant> windowListAnswers;
    QHash<quint64, QVariant> windowsBySpaceAnswers;

    void countCall(const QString& call) const { ++calls[call]; }
    void dropDisplayAnswers();
    void dropWindowAnswers();
    void reindexApps();
    DisplaySpec* findDisplay(const QString& uuid);
    const AppSpec* findApp(qint32 pid) const;
    quint64 applicationElement(qint32 pid);
    const ElementNode* node(quint64 handle) const;
    ElementNode* node(quint64 handle);
    void removeElementTree(quint64 handle);
};

// The world file's reader and the built-in default world.
namespace WorldFile {
std::optional<WorldContents> parse(const QByteArray& json, QString* error);
WorldContents defaultContents();
// A plain app icon: a rounded square of the given colour.
QImage makeIcon(const QColor& color);
} // namespace WorldFile

} // namespace platform::sim
