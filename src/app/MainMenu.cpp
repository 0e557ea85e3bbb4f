#include "app/MainMenu.h"

#include "app/AppDelegate.h"
#include "platform/Application.h"
#include "ui/HostedWindow.h"

#include <QAction>
#include <QApplication>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QWidget>

namespace {

QPointer<QMenuBar>& menuSlot()
{
    static QPointer<QMenuBar> menu;
    return menu;
}

// The responder chain: the focused widget handles the editing action when it
// has that slot (text fields do), else nothing happens.
void sendToFocus(const char* slot)
{
    QWidget* focus = QApplication::focusWidget();
    if (focus && focus->metaObject()->indexOfMethod(QByteArray(slot) + "()") >= 0)
        QMetaObject::invokeMethod(focus, slot);
}

QAction* addItem(QMenu* menu, const QString& title, const QKeySequence& shortcut, std::function<void()> action)
{
    QAction* item = menu->addAction(title);
    item->setShortcut(shortcut);
    QObject::connect(item, &QAction::triggered, item, [action = std::move(action)] { action(); });
    return item;
}

} // namespace

QMenuBar& MainMenu::install(AppDelegate& delegate)
{
    delete menuSlot();
    auto* bar = new QMenuBar;
    bar->setObjectName(QStringLiteral("mainMenu"));
    QPointer<AppDelegate> target(&delegate);

    QMenu* app = bar->addMenu(QStringLiteral("Tessaroom"));
    addItem(app, QStringLiteral("Settings\u2026"), QKeySequence(Qt::CTRL | Qt::Key_Comma), [target] {
        if (target)
            target->showSettingsFromMenu();
    });
    app->addSeparator();
    addItem(app, QStringLiteral("Quit Tessaroom"), QKeySequence(Qt::CTRL | Qt::Key_Q),
            [] { platform::Application::terminate(); });

    QMenu* edit = bar->addMenu(QStringLiteral("Edit"));
    addItem(edit, QStringLiteral("Undo"), QKeySequence(Qt::CTRL | Qt::Key_Z), [] { sendToFocus("undo"); });
    addItem(edit, QStringLiteral("Redo"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), [] { sendToFocus("redo"); });
    edit->addSeparator();
    addItem(edit, QStringLiteral("Cut"), QKeySequence(Qt::CTRL | Qt::Key_X), [] { sendToFocus("cut"); });
    addItem(edit, QStringLiteral("Copy"), QKeySequence(Qt::CTRL | Qt::Key_C), [] { sendToFocus("copy"); });
    addItem(edit, QStringLiteral("Paste"), QKeySequence(Qt::CTRL | Qt::Key_V), [] { sendToFocus("paste"); });
    addItem(edit, QStringLiteral("Select All"), QKeySequence(Qt::CTRL | Qt::Key_A), [] { sendToFocus("selectAll"); });

    QMenu* window = bar->addMenu(QStringLiteral("Window"));
    addItem(window, QStringLiteral("Close"), QKeySequence(Qt::CTRL | Qt::Key_W), [] {
        if (QWidget* active = HostedWindow::menuKeyWindow())
            active->close();
    });
    addItem(window, QStringLiteral("Minimize"), QKeySequence(Qt::CTRL | Qt::Key_M), [] {
        QWidget* active = HostedWindow::menuKeyWindow();
        if (active && active->windowFlags().testFlag(Qt::WindowMinimizeButtonHint))
            active->showMinimized();
    });

    // No window carries this bar on Linux: the app's windows take its keys.
    QList<QAction*> items;
    for (QAction* menu : bar->actions())
        items += menu->menu()->actions();
    HostedWindow::setMenuActions(items);
    menuSlot() = bar;
    return *bar;
}

QMenuBar* MainMenu::installed()
{
    return menuSlot();
}
