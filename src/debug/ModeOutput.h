#pragma once

#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

// What the inspection modes share: where their lines go, how they end the
// process, how they read their arguments and how they write numbers,
// rectangles and sizes.
namespace ModeOutput {

// Receives one log entry (it may hold line breaks); the sink adds the final one.
using LineSink = std::function<void(const QString&)>;
// Ends the mode with an exit status.
using Exit = std::function<void(int)>;

// Clears the log at path (no size limit) and returns a sink appending to it
// without timestamps. A path in a missing folder gives a sink whose writes
// fail quietly.
LineSink logSink(const QString& path);
// Quits the application's event loop with status.
Exit quitApplication();
// Keeps a started mode running until the process ends, in place of one kept
// before. It is never destroyed at exit (its timers and the services it
// holds may be gone by then); a fresh shared state in tests drops it.
void keepUntilExit(std::shared_ptr<void> mode);

// The shortest decimal form that always shows a fraction: 24.0, 0.05, 1512.5.
QString number(double value);
// "(x, y, width, height)" with number().
QString tuple(const QRectF& rect);
// "[(0.0, 0.0, 1512.0, 982.0), ...]" for the attached screens.
QString screenFrames();
// "{{x, y}, {width, height}}" and "{width, height}", numbers in their shortest form.
QString rectText(const QRectF& rect);
QString sizeText(const QSizeF& size);

// The argument right after flag; none when flag is missing or last.
std::optional<QString> valueAfter(const QString& flag, const QStringList& arguments);
bool hasFlag(const QString& flag, const QStringList& arguments);

} // namespace ModeOutput
