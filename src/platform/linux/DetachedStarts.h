#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// Control of programs started to outlive the app. By default the simulated
// machine records each start and runs nothing, so a test never leaves a
// program behind; the app's start-up turns real starts on.
namespace platform::host {

struct DetachedStart {
    QString executable;
    QStringList arguments;
};

void setDetachedStartsReal(bool real);

// Makes the next starts fail with this description (none: they work).
void failDetachedStarts(std::optional<QString> description);

// Every start that went through, in order.
std::vector<DetachedStart> detachedStarts();

} // namespace platform::host
