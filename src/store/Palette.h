#pragma once

#include <QColor>
#include <QList>
#include <QStringList>

// The ten named tile colours a desktop can be given.
namespace Palette {

// sRGB, fully opaque, in palette order.
const QList<QColor>& colors();
const QStringList& names();
// The dark grey that stands for a transparent tile in colour swatches.
const QColor& neutral();

// Any index maps into the palette: 10 is the first colour again and -1 the
// last.
const QColor& color(qint64 index);
// The palette position of an index, always 0...9.
qsizetype position(qint64 index);

} // namespace Palette
