#pragma once

#include "platform/Accessibility.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <limits>
#include <optional>

namespace platform {
template <typename T>
class Shared;
}

// The Dock's unread badges, read from its accessibility tree off the main
// thread and mapped to the process ids of running regular apps.
class DockBadges final {
public:
    // Posted on the default centre when the badges change.
    static inline const QString badgesDidChange = QStringLiteral("Tessaroom.badgesDidChange");

    static DockBadges& shared();

    // The badge of each app that has one: a decimal integer or "•".
    const QHash<qint32, QString>& badges() const { return badges_; }
    qint64 lastReadMilliseconds() const { return lastReadMilliseconds_; }
    double lastRead() const { return lastRead_; }
    bool reading() const { return reading_; }

    // Starts a read on the badges queue unless one is under way or the
    // process lacks the Accessibility permission.
    void refresh();
    // One synchronous read of the Dock; safe off the main thread.
    static QHash<qint32, QString> readDock();
    // The badge a Dock status label stands for, or none.
    static std::optional<QString> normalize(const QString& label);
    // One badge standing for several, or none for an empty list.
    static std::optional<QString> summary(const QStringList& texts);
    // The "AXChildren" of an element, or an empty list.
    static QList<platform::AX::Element> children(const platform::AX::Element& element);

private:
    DockBadges() = default;
    // The shared instance's holder, which also hands out weak handles.
    static platform::Shared<DockBadges>& instance();
    void apply(const QHash<qint32, QString>& result, qint64 milliseconds);

    QHash<qint32, QString> badges_;
    qint64 lastReadMilliseconds_ = 0;
    double lastRead_ = -std::numeric_limits<double>::infinity();
    bool reading_ = false;
};
