#pragma once

#include "engine/Desktop.h"
#include "engine/SpaceApp.h"
#include "platform/Workspace.h"

#include <QList>
#include <QString>
#include <QWidget>

#include <optional>

class AppIconsRow;
class IconButton;
class KeyCap;
class PopoverModel;
class QHBoxLayout;
class QLabel;

// One desktop in the popover's list: its tile, its name, its apps (or
// "Desktop N"), and at the end its shortcut and a dot for the current
// desktop, or, while the pointer is over the row, buttons that send the
// front app's window here and edit the desktop. A click switches there, or
// closes the popover when it is the current desktop.
class PopoverSpaceRow : public QWidget {
    Q_OBJECT
public:
    static constexpr double tileSide = 26;
    static constexpr double minimumHeight = 40;
    static constexpr int appLimit = 7;
    static constexpr double appIconSize = 14;
    static constexpr double trailingButtonSize = 24;

    PopoverSpaceRow(const Desktop& desktop, const QList<SpaceApp>& apps,
                    const std::optional<platform::RunningApplication>& frontApp, PopoverModel& model,
                    QWidget* parent = nullptr);

    // Rebuilds the content only when something it shows changed.
    void update(const Desktop& desktop, const QList<SpaceApp>& apps,
                const std::optional<platform::RunningApplication>& frontApp);
    const Desktop& desktop() const { return desktop_; }
    bool isHovering() const { return hovering_; }
    void setHovering(bool hovering);
    // The click on the row itself.
    void click();
    // The send-window button is offered for this state.
    bool offersSend() const;
    int buildCount() const { return builds_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QString signature() const;
    void build();
    void showTrailing();
    void sendWindow();
    void edit();

    Desktop desktop_;
    QList<SpaceApp> apps_;
    std::optional<platform::RunningApplication> frontApp_;
    PopoverModel& model_;
    bool hovering_ = false;
    QString built_;
    int builds_ = 0;

    QHBoxLayout* layout_ = nullptr;
    QWidget* content_ = nullptr;
    KeyCap* keyCap_ = nullptr;
    QWidget* currentDot_ = nullptr;
    IconButton* sendButton_ = nullptr;
    IconButton* editButton_ = nullptr;
};
