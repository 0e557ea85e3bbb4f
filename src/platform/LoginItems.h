#pragma once

#include <QString>

#include <optional>

namespace platform {

// The session's login items: whether the app itself opens when the user logs
// in (the main app's service registration).
namespace LoginItems {

enum class Status {
    notRegistered = 0,
    enabled = 1,
    // Registered, but the user has to allow it in the system's settings.
    requiresApproval = 2,
    // The system cannot find the app to register.
    notFound = 3,
};

Status mainAppStatus();

// Each answers none on success, or the service's error message.
std::optional<QString> registerMainApp();
std::optional<QString> unregisterMainApp();

} // namespace LoginItems
} // namespace platform
