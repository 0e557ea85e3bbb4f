#pragma once

#include <QString>

// Why an update step failed, in words shown to the user and written to
// "updates.log".
struct UpdateFailure {
    QString text;
};
