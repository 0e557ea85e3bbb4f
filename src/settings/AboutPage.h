#pragma once

#include "settings/SettingsServices.h"

#include <QWidget>

class AccentButton;
class DarkToggle;
class QLabel;
class UpdateRow;

// The last settings page: the app's icon, name, version line and tagline;
// the update settings with the live update row; the support tools (copy the
// diagnostics, reveal the log folder, show the welcome window again); and
// four notes on how the app works. It holds no state: the toggle follows
// the settings, the row follows the updater.
class AboutPage : public QWidget {
    Q_OBJECT
public:
    explicit AboutPage(const SettingsServices& services, QWidget* parent = nullptr);

    QLabel* versionLabel() const { return version_; }
    DarkToggle* checkToggle() const { return checkToggle_; }
    UpdateRow* updateRow() const { return updateRow_; }

    // "Reveal": the file viewer with the Mission Control log selected, also
    // before the log exists. Without a file manager an alert says where the
    // logs are.
    void revealLogFolder();

private:
    QWidget* makeIdentityCard();
    QWidget* makeUpdatesCard();
    QWidget* makeSupportCard();
    QWidget* makeNotesCard();

    SettingsServices services_;
    QLabel* version_ = nullptr;
    DarkToggle* checkToggle_ = nullptr;
    UpdateRow* updateRow_ = nullptr;
};
