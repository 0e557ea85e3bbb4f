// The offscreen renders land in their own file; until then the mode says so
// and ends with a failure status.
#include "debug/DebugTools.h"

void DebugTools::renderAll(const QString& directory, LateModeContext& context)
{
    context.out << "render is not built yet: " << directory << Qt::endl;
    context.exit(1);
}
