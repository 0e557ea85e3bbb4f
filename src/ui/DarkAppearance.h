#pragma once

#include <QPalette>
#include <QString>

class QWidget;

// The dark appearance that every panel and window is drawn in, whatever the
// desktop's own appearance: a Qt palette of the theme's colours, so standard
// widgets inside (text fields, scroll bars) draw light on dark.
namespace DarkAppearance {

// The name the appearance is recorded under.
QString name();
QPalette palette();
void apply(QWidget* window);

} // namespace DarkAppearance
