#pragma once

#include <QImage>
#include <QList>
#include <QPointF>
#include <QString>
#include <QVariant>

#include <functional>

class QWidget;

namespace platform {

// One line of a menu: a command or a separator.
struct MenuItem {
    enum class State { off, on };
    // Command is the mask a key equivalent gets unless told otherwise.
    static constexpr quint64 commandMask = 1ull << 20;

    QString title;
    QImage image;
    State state = State::off;
    // Empty: no key equivalent. Only labels the item.
    QString keyEquivalent;
    quint64 keyEquivalentModifierMask = commandMask;
    QVariant representedObject;
    bool enabled = true;
    bool isSeparator = false;
    // Runs when the user chooses the item, after the menu has closed.
    std::function<void(const MenuItem&)> action;

    static MenuItem separator()
    {
        MenuItem item;
        item.isSeparator = true;
        return item;
    }
};

// A native menu. It opens without blocking: it stays open until the user
// chooses an item or dismisses it, or the app cancels tracking; every way of
// closing runs the did-close callback once.
class Menu {
public:
    Menu();
    ~Menu();
    Menu(const Menu&) = delete;
    Menu& operator=(const Menu&) = delete;

    void addItem(const MenuItem& item);
    void removeAllItems();
    const QList<MenuItem>& items() const { return items_; }
    void setOnDidClose(std::function<void()> callback) { onDidClose_ = std::move(callback); }

    // Opens with its top-left corner at a point of the screen (screen
    // coordinates, y up).
    void popUp(QPointF screenPoint);
    // Opens at a point of a view (view coordinates, y down from its top).
    void popUp(const QWidget* view, QPointF pointInView);
    void cancelTracking();
    bool isOpen() const { return open_; }
    QPointF openedAt() const { return openedAt_; }

    // The user's side: closes the menu, then runs the enabled item's action.
    void choose(qsizetype index);
    // Dismissed without a choice.
    void dismiss();

private:
    void didClose();

    QList<MenuItem> items_;
    std::function<void()> onDidClose_;
    bool open_ = false;
    QPointF openedAt_;
    struct Presentation;
    Presentation* presentation_ = nullptr;
};

} // namespace platform
