// The capture script lands in its own file; until then the mode says so and
// ends with a failure status.
#include "debug/DebugTools.h"

void DebugTools::capture(const QString& directory, LateModeContext& context)
{
    context.out << "capture is not built yet: " << directory << Qt::endl;
    context.exit(1);
}
