#pragma once

#include <QString>

// The modal alert with which a settings page reports a failed operation: the
// page's title as the message, the error's description as the detail, and
// the single OK button. Returns when the user dismisses it; changes nothing.
namespace ErrorAlert {

void show(const QString& title, const QString& errorDescription);

} // namespace ErrorAlert
