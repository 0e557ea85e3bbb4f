#pragma once

#include "engine/Desktop.h"
#include "platform/KeyEvents.h"
#include "platform/NotificationCenter.h"
#include "surfaces/SwitcherModel.h"
#include "ui/FloatingPanel.h"

#include <QPointer>

#include <optional>

class QLabel;
class QLineEdit;
class SpaceEngine;
class SwitcherList;

// The Quick Switcher: a floating search card in the upper middle of the main
// screen. Typing filters the desktops by name, number and app names; the
// arrow keys or the pointer move the selection; Return or a click switches
// (with the app the query matched brought forward), Tab goes to the last
// desktop, the digit keys jump to desktops 1 to 10 while the field is empty,
// Escape closes. The panel and its controller in one object, made once and
// kept for the life of the process.
//
// Keys reach the panel through a local key-down monitor installed while it
// shows, so they are handled before the search field sees them. Losing key
// status (a click elsewhere) closes the panel, and so does a desktop change
// while the panel is not key.
//
// While shown, the card keeps its top edge and grows or shrinks at the bottom
// as the rows change. The list is a snapshot from the opening: a desktop gone
// since is not switched to (one line in "switches.log").
class QuickSwitcher : public FloatingPanel {
    Q_OBJECT
public:
    static constexpr double panelWidth = 460;
    static constexpr double searchRowHeight = 56;
    static constexpr double rowHeight = 46;
    static constexpr double footerHeight = 32;
    static constexpr double padding = 12;
    static constexpr double cornerRadius = 16;
    // Rows beyond this many scroll inside the panel.
    static constexpr int maximumShownRows = 9;
    // How long after opening the pointer may not move the selection.
    static constexpr double hoverGate = 0.3;
    // Keys with any of these reach the field (Shift does not count).
    static constexpr platform::EventFlags typingModifiers =
        platform::EventFlag::control | platform::EventFlag::option | platform::EventFlag::command;

    explicit QuickSwitcher(SpaceEngine& engine);
    ~QuickSwitcher() override;

    // close() when visible, else show().
    void toggle();
    // Reloads the model from the engine, empties the field and shows the
    // panel as the key window with the field taking the typing.
    void show();
    // Removes the key monitor and orders the panel out; the model and the
    // field keep their contents until the next show().
    void close();
    // Sizes and places the panel for the current number of rows.
    void layout();
    // Closes the panel and switches there ("switcher"), bringing forward the
    // app the query matched on that desktop ("switcher app").
    void activate(const Desktop& desktop);
    bool hoverAllowed() const;
    // The local key-down monitor: the event to let through, or none.
    std::optional<platform::KeyEvent> handleKeyDown(const platform::KeyEvent& event);

    SwitcherModel& model() { return model_; }
    QLineEdit* field() const { return field_; }
    SwitcherList* list() const { return list_; }
    bool hasKeyMonitor() const { return keyMonitor_.has_value(); }
    double openedAt() const { return openedAt_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void textChanged(const QString& text);
    void resignKeyWindow();
    void spaceChanged();
    void placeChildren();

    SpaceEngine& engine_;
    SwitcherModel model_;
    QLabel* searchIcon_ = nullptr;
    QLineEdit* field_ = nullptr;
    QWidget* divider_ = nullptr;
    SwitcherList* list_ = nullptr;
    std::optional<platform::KeyEvents::MonitorToken> keyMonitor_;
    double openedAt_;
    platform::NotificationCenter::Subscription spaceSubscription_;
};
