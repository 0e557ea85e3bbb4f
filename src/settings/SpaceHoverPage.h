#pragma once

#include "settings/SettingBindings.h"
#include "settings/SettingsServices.h"

#include <QWidget>

// The hover strip: on or off, the part of the top edge that triggers it and
// how long the pointer rests there first; "Show the strip now" shows it at
// once, also while it is off.
class SpaceHoverPage : public QWidget {
    Q_OBJECT
public:
    explicit SpaceHoverPage(const SettingsServices& services, QWidget* parent = nullptr);

private:
    SettingBindings bindings_;
};
