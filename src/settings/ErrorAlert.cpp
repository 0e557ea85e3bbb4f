#include "settings/ErrorAlert.h"

#include "platform/Dialogs.h"

namespace ErrorAlert {

void show(const QString& title, const QString& errorDescription)
{
    platform::Alert alert;
    alert.messageText = title;
    alert.informativeText = errorDescription;
    alert.runModal();
}

} // namespace ErrorAlert
