#pragma once

#include "settings/SettingBindings.h"
#include "settings/SettingsServices.h"

#include <QWidget>

// The switch tag: on or off, its position, size, time on screen and whether
// a named desktop's number shows under its name; "Preview Tag" shows it now,
// also while it is off.
class SwitchTagPage : public QWidget {
    Q_OBJECT
public:
    explicit SwitchTagPage(const SettingsServices& services, QWidget* parent = nullptr);

private:
    SettingBindings bindings_;
};
