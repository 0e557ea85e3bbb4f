#pragma once

#include "store/Timers.h"

#include <QObject>
#include <QString>

#include <memory>
#include <optional>

// Follows the user's Accessibility permission for this app, which synthesized
// desktop shortcuts, bringing apps forward and the Mission Control labels
// need. Polls while the permission is missing, and once per app version asks
// the system to forget a grant that an update has left stale.
class Accessibility final : public QObject {
    Q_OBJECT

public:
    static constexpr double pollInterval = 2.0;
    static constexpr double pollTolerance = 1.0;

    static Accessibility& shared();

    // Whether the process had the permission when last read.
    bool trusted() const { return trusted_; }
    // True after a successful repair in this run of the process.
    bool askedAgainAfterUpdate() const { return askedAgainAfterUpdate_; }
    bool isPolling() const { return poll_ != nullptr; }

    // The repair check; once at launch, before the first refresh.
    void start();
    // Re-reads the permission (prompt: the system asks the user when it is
    // missing), publishes a change, and polls while it is missing.
    void refresh(bool prompt);
    void openSystemSettings();

    // Not trusted, an existing user, and no repair tried for this version.
    static bool needsRepair(bool trusted, bool onboarded, const QString& repairedFor, const QString& version);
    static bool isProcessTrusted();
    // Registers the bundle again and resets the system's Accessibility entry
    // for identifier; none on success, else what went wrong.
    static std::optional<QString> resetGrant(const QString& identifier);

signals:
    void trustedChanged(bool trusted);
    void askedAgainAfterUpdateChanged(bool asked);

private:
    Accessibility();

    bool trusted_ = false;
    bool askedAgainAfterUpdate_ = false;
    std::unique_ptr<RepeatingTimer> poll_;
};
