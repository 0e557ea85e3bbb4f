#pragma once

#include "engine/Desktop.h"
#include "engine/SpaceApp.h"
#include "settings/SettingsServices.h"

#include <QList>
#include <QPointer>
#include <QWidget>

class AppIconsRow;
class EditorPopover;
class IconButton;
class KeyCap;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class SpaceTileButton;


// One desktop on the Spaces page: its tile (opening the editor), the name
// field that stores the trimmed name on every change and on Return, the apps
// on it, "Current", its shortcut, its number and a button that goes there.
//
// The field keeps what the user typed; it takes the stored name only when
// the stored name changes to something other than the field's text.
class SpaceSettingsRow : public QWidget {
    Q_OBJECT
public:
    SpaceSettingsRow(const Desktop& desktop, const QList<SpaceApp>& apps, const SettingsServices& services,
                     QWidget* parent = nullptr);
    ~SpaceSettingsRow() override;

    const Desktop& desktop() const { return desktop_; }
    // Takes the engine's new value for the desktop and redraws; follows a
    // change of the stored name.
    void refresh(const Desktop& desktop, const QList<SpaceApp>& apps);

    QLineEdit* nameField() const { return name_; }
    SpaceTileButton* tileButton() const { return tile_; }
    IconButton* jumpButton() const { return jump_; }
    // Null while the column is empty.
    QWidget* currentPill() const { return currentPill_; }
    KeyCap* keyCap() const { return keyCap_; }
    AppIconsRow* appIcons() const { return apps_; }
    EditorPopover* popover() const { return popover_; }
    bool isHovering() const { return hovering_; }

    void saveName();
    void openEditor();
    // The editor popover is open.
    bool isEditing() const { return editing_; }
    void jump();

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void setHovering(bool hovering);
    void refreshColumns(const QList<SpaceApp>& apps);
    // Current pill, shortcut, number and jump button: they follow the
    // desktop and the settings.
    void refreshMarks();

    Desktop desktop_;
    SettingsServices services_;
    QString lastStoredName_;
    bool hovering_ = false;
    SpaceTileButton* tile_;
    QLineEdit* name_;
    QWidget* appsColumn_;
    AppIconsRow* apps_ = nullptr;
    QList<SpaceApp> shownApps_;
    QWidget* currentColumn_;
    QWidget* currentPill_ = nullptr;
    QWidget* shortcutColumn_;
    KeyCap* keyCap_ = nullptr;
    QLabel* number_;
    IconButton* jump_;
    QPointer<EditorPopover> popover_;
    bool editing_ = false;
};
