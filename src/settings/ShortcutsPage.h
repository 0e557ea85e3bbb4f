#pragma once

#include "platform/NotificationCenter.h"
#include "settings/SettingBindings.h"
#include "settings/SettingsServices.h"
#include "store/Hotkey.h"

#include <QWidget>

#include <functional>
#include <optional>

class HotkeyRecorder;
class RowDivider;
class SettingRow;
class ShortcutGrid;
class SystemShortcutRow;

// Everything the keyboard does globally: the five global shortcuts, the
// number shortcuts with their modifiers and an overview of the first ten
// desktops' shortcuts, the switching route with the system shortcut row, and
// moving the front window. Shortcuts are stored as recorded; collisions are
// not checked. Follows the settings and the engine.
class ShortcutsPage : public QWidget {
    Q_OBJECT
public:
    explicit ShortcutsPage(const SettingsServices& services, QWidget* parent = nullptr);

    // The global rows in order: Quick Switcher, jump back, next, previous, presentation.
    const QList<SettingRow*>& globalRows() const { return globalRows_; }
    HotkeyRecorder* recorder(int index) const;
    // Null while number shortcuts are off.
    ShortcutGrid* grid() const { return grid_; }
    SystemShortcutRow* systemRow() const { return systemRow_; }

private:
    struct GlobalShortcut {
        QString title;
        std::function<std::optional<Hotkey>()> read;
        std::function<void(const std::optional<Hotkey>&)> write;
    };

    QWidget* makeGlobalCard();
    QWidget* makeJumpCard();
    void refresh();
    void refreshGrid();

    SettingsServices services_;
    SettingBindings bindings_;
    QList<GlobalShortcut> globals_;
    QList<SettingRow*> globalRows_;
    QList<HotkeyRecorder*> recorders_;
    QWidget* jumpCard_ = nullptr;
    RowDivider* gridDivider_ = nullptr;
    QWidget* gridHolder_ = nullptr;
    ShortcutGrid* grid_ = nullptr;
    SystemShortcutRow* systemRow_ = nullptr;
};
