#pragma once

#include <QWidget>

class AccentButton;
class SettingRow;
class SpaceEngine;

// "macOS desktop shortcuts": how many of the system's desktop shortcuts are
// on against the desktops that need one (at most ten), with a check mark
// once they are all on, else "Turn On". The count is read when the row is
// made, each time it is shown, and by "Turn On" at once and 1.5 s later.
class SystemShortcutRow : public QWidget {
    Q_OBJECT
public:
    static constexpr double rereadDelay = 1.5;

    explicit SystemShortcutRow(SpaceEngine& engine, QWidget* parent = nullptr);

    int enabled() const { return enabled_; }
    // The desktops that need a shortcut: the engine's, at most ten.
    int needed() const;
    bool allOn() const;
    QString caption() const;
    // Null while all are on.
    AccentButton* turnOnButton() const { return button_; }

    void turnOn();
    void reread();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void redraw();

    SpaceEngine& engine_;
    int enabled_ = 0;
    SettingRow* row_ = nullptr;
    AccentButton* button_ = nullptr;
};
