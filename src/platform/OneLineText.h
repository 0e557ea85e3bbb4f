#pragma once

#include <QFontMetricsF>
#include <QString>

namespace platform {

// Text as a one-line label shows it: a menu item, a tooltip, a window title.
// Names are stored as given, so one may hold line breaks, tabs or other
// control characters; a label would break its line there, start its key
// column at the tab, or lay out characters it measures as nothing. Each run
// of them shows as one space. Only what is shown changes, never the text.
namespace OneLineText {

QString shown(const QString& text);

// shown(text) within width (in the metrics' units), else cut between two
// graphemes and ended with "…", with no blank before it; "…" alone when no
// grapheme fits, so a cut title never goes empty. Qt's own elidedText can
// cut a flag in half after an emoji sequence.
QString elided(const QString& text, const QFontMetricsF& metrics, double width);

} // namespace OneLineText

} // namespace platform
