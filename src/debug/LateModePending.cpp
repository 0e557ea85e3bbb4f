// The capture script and the offscreen renders land in their own files; until
// then the modes say so and end with a failure status.
#include "debug/DebugTools.h"

void DebugTools::capture(const QString& directory, LateModeContext& context)
{
    context.out << "capture is not built yet: " << directory << Qt::endl;
    context.exit(1);
}

void DebugTools::renderAll(const QString& directory, LateModeContext& context)
{
    context.out << "render is not built yet: " << directory << Qt::endl;
    context.exit(1);
}
