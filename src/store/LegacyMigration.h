#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

namespace platform {
class PreferenceDomain;
}

// Copies the earlier product's preferences and custom desktop pictures over,
// once per user account, before anything else reads the user defaults. Values
// this product already has are never overwritten, and nothing of the earlier
// product is changed.
namespace LegacyMigration {

inline constexpr auto guardKey = "Tessaroom.importedFromQuorvelin";
inline constexpr auto legacyDomainName = "local.vornick.quorvelin";

struct IconFolders {
    QString source;
    QString destination;
};

// The earlier product's icons folder and ours, under Application Support.
IconFolders defaultIconFolders();

// Runs the import unless it already ran; answers the number of values written.
// Without icon folders no pictures are copied.
qint64 run(platform::PreferenceDomain& defaults, const QString& legacyDomain = QLatin1String(legacyDomainName),
    const std::optional<IconFolders>& icons = defaultIconFolders());
// The same on the standard user defaults with the default arguments.
qint64 run();

// The key with the earlier product's prefix replaced by ours; other keys
// unchanged.
QString renamedKey(const QString& key);

// Copies every entry of source that destination lacks; existing entries are
// never replaced.
void copyIcons(const QString& source, const QString& destination);

} // namespace LegacyMigration
