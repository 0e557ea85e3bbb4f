#pragma once

#include "settings/SettingBindings.h"
#include "settings/SettingsServices.h"

#include <QWidget>

class AccentButton;
class Card;

// The name pills in Mission Control: a warning card while Accessibility is
// off (it goes by itself once the permission arrives), the six pill
// settings, "Open Mission Control" and the diagnostics copy button.
class MissionControlPage : public QWidget {
    Q_OBJECT
public:
    explicit MissionControlPage(const SettingsServices& services, QWidget* parent = nullptr);

    // Null while the permission is granted.
    Card* accessCard() const { return accessCard_; }

private:
    void refreshAccess();
    QWidget* makeAccessCard();

    SettingsServices services_;
    SettingBindings bindings_;
    Card* accessCard_ = nullptr;
};
