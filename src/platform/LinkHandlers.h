#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace platform {

// Registration of the app as the opener of its link schemes, so that the
// system hands "tessaroom://…" links to it.
namespace LinkHandlers {

// None on success, or what went wrong.
std::optional<QString> registerSchemes(const QStringList& schemes);

} // namespace LinkHandlers
} // namespace platform
