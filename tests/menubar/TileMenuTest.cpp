#include "MenuBarTest.h"

#include "menubar/StatusBarController.h"
#include "platform/Graphemes.h"
#include "store/SpaceStore.h"
#include "support/Literals.h"

#include <QAction>
#include <QCoreApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QMap>
#include <QMenu>
#include <QPixmap>
#include <QWidget>
#include <QWindow>
#include <QtTest/qtestspontaneevent.h>

#include <memory>
#include <utility>
#include <vector>

namespace {

using platform::EventFlag::control;
using platform::EventType;
using platform::MenuItem;

class TileMenuTest : public MenuBarTest {
protected:
    TileMenuTest()
    {
        addDisplay(QStringLiteral("D1"), {11, 12, 13}, 11);
        name(11, QStringLiteral("Mail"));
        refresh();
    }

    StatusBarController& tile()
    {
        if (!tile_)
            tile_ = std::make_unique<StatusBarController>(commands);
        return *tile_;
    }
    void click(EventType type, quint64 flags = 0)
    {
        platform::sim::clickStatusButton(tile().item(), type, flags);
    }
    QStringList titles()
    {
        QStringList result;
        for (const MenuItem& item : tile().menu().items())
            result << (item.isSeparator ? QStringLiteral("---") : item.title);
        return result;
    }
    const MenuItem& itemTitled(const QString& title)
    {
        for (const MenuItem& item : tile().menu().items()) {
            if (item.title == title)
                return item;
        }
        static const MenuItem none;
        ADD_FAILURE() << "no item " << title.toStdString();
        return none;
    }
    qsizetype indexOf(const QString& title) { return titles().indexOf(title); }

    std::unique_ptr<StatusBarController> tile_;
};

} // namespace

// --- clicks ---

TEST_F(TileMenuTest, ALeftClickTogglesThePopover)
{
    click(EventType::leftMouseUp);
    EXPECT_EQ(commands.calls, QStringList{QStringLiteral("togglePopover")});
    EXPECT_EQ(platform::sim::openMenu(), nullptr);
}

TEST_F(TileMenuTest, ARightClickOrControlClickOpensTheMenuNotThePopover)
{
    click(EventType::rightMouseUp);
    EXPECT_EQ(platform::sim::openMenu(), &tile().menu());
    EXPECT_EQ(tile().item().menu(), &tile().menu());
    tile().menu().dismiss();

    click(EventType::leftMouseUp, control);
    EXPECT_EQ(platform::sim::openMenu(), &tile().menu());
    EXPECT_TRUE(commands.calls.isEmpty());
}

TEST_F(TileMenuTest, AfterTheMenuClosesALeftClickReachesThePopoverAgain)
{
    click(EventType::rightMouseUp);
    tile().closeMenu();
    EXPECT_EQ(tile().item().menu(), nullptr);
    EXPECT_EQ(platform::sim::openMenu(), nullptr);
    click(EventType::leftMouseUp);
    EXPECT_EQ(commands.calls, QStringList{QStringLiteral("togglePopover")});
}

// --- the items ---

TEST_F(TileMenuTest, ListsTheHeadingEveryDesktopAndTheCommandsInOrder)
{
    tile().buildMenu();
    EXPECT_EQ(titles(), (QStringList{QStringLiteral("Mail  ·  Desktop 1"), QStringLiteral("---"), QStringLiteral("Mail"),
                                     QStringLiteral("Desktop 2"), QStringLiteral("Desktop 3"), QStringLiteral("---"),
                                     QStringLiteral("Edit “Mail”…"), QStringLiteral("Quick Switcher"),
                                     QStringLiteral("Open Mission Control"), QStringLiteral("Presentation Mode"),
                                     QStringLiteral("---"), QStringLiteral("Settings…"),
                                     QStringLiteral("Quit Tessaroom")}));
    const auto& items = tile().menu().items();
    EXPECT_FALSE(items[0].enabled);
    EXPECT_FALSE(items[0].image.isNull());
    EXPECT_EQ(items[2].representedObject.toULongLong(), 11u);
    EXPECT_EQ(items[2].state, MenuItem::State::on);
    EXPECT_EQ(items[3].state, MenuItem::State::off);
    EXPECT_EQ(items[3].image.size(), QSize(32, 32));
    EXPECT_EQ(itemTitled(QStringLiteral("Settings…")).keyEquivalent, QStringLiteral(","));
    EXPECT_EQ(itemTitled(QStringLiteral("Settings…")).keyEquivalentModifierMask, MenuItem::commandMask);
    EXPECT_EQ(itemTitled(QStringLiteral("Quit Tessaroom")).keyEquivalent, QStringLiteral("q"));
    const auto switcherKey = settings().switcherHotkey()->menuEquivalent();
    EXPECT_EQ(itemTitled(QStringLiteral("Quick Switcher")).keyEquivalent, switcherKey.key);
    EXPECT_EQ(itemTitled(QStringLiteral("Quick Switcher")).keyEquivalentModifierMask, switcherKey.modifierFlags);
}

TEST_F(TileMenuTest, WithoutAnActiveDesktopThereIsNoHeadingAndNoEditItem)
{
    world().addSpace(QStringLiteral("D1"), {14, 14, 4, {}});
    world().setCurrentSpace(QStringLiteral("D1"), 14);
    refresh();
    ASSERT_FALSE(engine().activeDesktop());
    tile().buildMenu();
    EXPECT_EQ(titles().first(), QStringLiteral("Mail"));
    EXPECT_EQ(titles()[3], QStringLiteral("---"));
    EXPECT_FALSE(titles().join(u'|').contains(QStringLiteral("Edit")));
}

// A machine whose window server lists no desktops at all.
class EmptyMenuTest : public MenuBarTest {};

TEST_F(EmptyMenuTest, WithNoDesktopsAtAllTheMenuStartsWithASeparator)
{
    ASSERT_TRUE(engine().desktops().isEmpty());
    StatusBarController fresh(commands);
    fresh.buildMenu();
    ASSERT_FALSE(fresh.menu().items().isEmpty());
    EXPECT_TRUE(fresh.menu().items().first().isSeparator);
}

TEST_F(TileMenuTest, TheCurrentDesktopOfEveryDisplayIsChecked)
{
    addDisplay(QStringLiteral("D2"), {21, 22}, 22, {}, 1512);
    tile().buildMenu();
    QList<quint64> checked;
    for (const MenuItem& item : tile().menu().items()) {
        if (item.state == MenuItem::State::on && item.representedObject.isValid())
            checked << item.representedObject.toULongLong();
    }
    EXPECT_EQ(checked, (QList<quint64>{11, 22}));
}

TEST_F(TileMenuTest, OwnShortcutsAlwaysShowNumberShortcutsOnlyWhenAsked)
{
    const Hotkey own{12, Hotkey::defaultModifiers};
    SpaceStore::shared().change(12, [&](SpaceMeta& meta) { meta.hotkey = own; });
    settings().setShowShortcutsInMenu(false);
    tile().buildMenu();
    EXPECT_EQ(itemTitled(QStringLiteral("Desktop 2")).keyEquivalent, own.menuEquivalent().key);
    EXPECT_TRUE(itemTitled(QStringLiteral("Desktop 3")).keyEquivalent.isEmpty());

    settings().setShowShortcutsInMenu(true);
    tile().buildMenu();
    EXPECT_EQ(itemTitled(QStringLiteral("Desktop 3")).keyEquivalent, QStringLiteral("3"));
    settings().setDirectJumpEnabled(false);
    tile().buildMenu();
    EXPECT_TRUE(itemTitled(QStringLiteral("Desktop 3")).keyEquivalent.isEmpty());
}

TEST_F(TileMenuTest, PresentationModeChecksItsItemAndShowsNumbersOnly)
{
    settings().setPresenting(true);
    tile().buildMenu();
    EXPECT_EQ(itemTitled(QStringLiteral("Presentation Mode")).state, MenuItem::State::on);
    EXPECT_EQ(titles()[0], QStringLiteral("Desktop 1  ·  Desktop 1"));
    EXPECT_EQ(titles()[2], QStringLiteral("Desktop 1"));
}

// --- the actions ---

TEST_F(TileMenuTest, ChoosingADesktopSwitchesWithReasonMenu)
{
    click(EventType::rightMouseUp);
    tile().menu().choose(indexOf(QStringLiteral("Desktop 3")));
    EXPECT_EQ(switches, QStringList{QStringLiteral("13:menu")});
    EXPECT_EQ(tile().item().menu(), nullptr);
}

TEST_F(TileMenuTest, ADesktopRemovedBeforeItIsChosenIsNotSwitchedTo)
{
    click(EventType::rightMouseUp);
    world().removeSpace(13);
    clock().runPending();
    refresh();
    tile().menu().choose(indexOf(QStringLiteral("Desktop 3")));
    EXPECT_TRUE(switches.isEmpty());
}

TEST_F(TileMenuTest, CommandItemsGoThroughTheCommands)
{
    bool quitCalled = false;
    tile().setTerminate([&] { quitCalled = true; });
    for (const QString& title : {QStringLiteral("Edit “Mail”…"), QStringLiteral("Quick Switcher"),
                                 QStringLiteral("Open Mission Control"), QStringLiteral("Presentation Mode"),
                                 QStringLiteral("Settings…"), QStringLiteral("Quit Tessaroom")}) {
        tile().openMenu();
        ASSERT_TRUE(tile().menu().isOpen());
        tile().menu().choose(indexOf(title));
    }
    EXPECT_EQ(commands.calls, (QStringList{QStringLiteral("showPopover:edit:11"), QStringLiteral("toggleQuickSwitcher"),
                                           QStringLiteral("openMissionControl"), QStringLiteral("togglePresentation"),
                                           QStringLiteral("openSettings:none")}));
    EXPECT_TRUE(quitCalled);
}

TEST_F(TileMenuTest, TheHeadingAndSeparatorsDoNothing)
{
    tile().openMenu();
    tile().menu().choose(0);
    tile().openMenu();
    tile().menu().choose(1);
    EXPECT_TRUE(commands.calls.isEmpty());
    EXPECT_TRUE(switches.isEmpty());
}

TEST_F(TileMenuTest, PopsUpAtTheTopLeftOfAView)
{
    QWidget label;
    label.resize(120, 30);
    tile().popUpMenu(&label);
    ASSERT_TRUE(tile().menu().isOpen());
    EXPECT_EQ(tile().item().menu(), nullptr);
    const QRectF bounds = platform::Popover::screenRect(&label);
    EXPECT_EQ(tile().menu().openedAt(), QPointF(bounds.left(), bounds.bottom()));
}

TEST_F(TileMenuTest, AScreenChangeWhileTheMenuIsOpenKeepsItWorking)
{
    click(EventType::rightMouseUp);
    world().setDisplayFrame(QStringLiteral("D1"), QRectF(0, 0, 1024, 768), QRectF(0, 0, 1024, 731));
    clock().runPending();
    refresh();
    ASSERT_TRUE(tile().menu().isOpen());
    tile().menu().choose(indexOf(QStringLiteral("Desktop 2")));
    EXPECT_EQ(switches, QStringList{QStringLiteral("12:menu")});
}

TEST_F(TileMenuTest, FortyDesktopsOnOneDisplayAreAllListed)
{
    QList<quint64> ids;
    for (quint64 i = 0; i < 40; ++i)
        ids << 100 + i;
    world().clear();
    addDisplay(QStringLiteral("D1"), ids, 100);
    tile().buildMenu();
    EXPECT_EQ(tile().menu().items().size(), 2 + 40 + 1 + 4 + 1 + 2);
    EXPECT_EQ(itemTitled(QStringLiteral("Desktop 40")).representedObject.toULongLong(), 139u);
}

TEST_F(TileMenuTest, EveryItemCarriesWhatANativeMenuNeedsToDrawIt)
{
    settings().setPresentationHotkey(std::nullopt);
    tile().buildMenu();
    std::unique_ptr<QMenu> shown(platform::sim::makeQtMenu(tile().menu().items()));
    EXPECT_EQ(shown->actions().size(), tile().menu().items().size());
    EXPECT_TRUE(itemTitled(QStringLiteral("Presentation Mode")).keyEquivalent.isEmpty());
    for (qsizetype i = 2; i < 5; ++i)
        EXPECT_FALSE(tile().menu().items()[i].image.isNull());
    savePicture(render(*shown, 2), QStringLiteral("menu.png"));
}

// The text a desktop session's menu shows in its shortcut column, by title.
QMap<QString, QString> shortcutColumn(const QMenu& menu)
{
    QMap<QString, QString> keys;
    for (const QAction* action : menu.actions()) {
        EXPECT_TRUE(action->shortcut().isEmpty()) << "the item labels keys, it does not catch them";
        const QStringList parts = action->text().split(QLatin1Char('\t'));
        if (!action->isSeparator())
            keys.insert(parts.first(), parts.size() > 1 ? parts[1] : QString());
    }
    return keys;
}

TEST_F(TileMenuTest, ADesktopSessionsMenuShowsShortcutsInTheAppsOwnKeyNamesAndKeepsThemInView)
{
    settings().setShowShortcutsInMenu(true);
    tile().buildMenu();
    std::unique_ptr<QMenu> shown(platform::sim::makeQtMenu(tile().menu().items()));
    const QMap<QString, QString> keys = shortcutColumn(*shown);
    EXPECT_EQ(keys.value(QStringLiteral("Mail")), QStringLiteral("⌃⌥1"));
    EXPECT_EQ(keys.value(QStringLiteral("Desktop 3")), QStringLiteral("⌃⌥3"));
    EXPECT_EQ(keys.value(QStringLiteral("Quick Switcher")), QStringLiteral("⌃⌥Space"));
    EXPECT_EQ(keys.value(QStringLiteral("Presentation Mode")), QStringLiteral("⌃⌥P"));
    EXPECT_EQ(keys.value(QStringLiteral("Settings…")), QStringLiteral("⌘,"));
    EXPECT_EQ(keys.value(QStringLiteral("Quit Tessaroom")), QStringLiteral("⌘Q"));
    EXPECT_EQ(keys.value(QStringLiteral("Open Mission Control"), QStringLiteral("?")), QString());
    for (const QString& text : keys) {
        for (const char* qtName : {"Ctrl", "Alt", "Meta", "Shift", "+"})
            EXPECT_FALSE(text.contains(QLatin1String(qtName))) << text.toStdString();
    }

    // Too wide for where it opens: a long name ends in "…", its keys stay.
    MenuItem longName = itemTitled(QStringLiteral("Mail"));
    longName.title = QStringLiteral("R&D ") + QString(200, QLatin1Char('m'));
    const QList<MenuItem> items{longName, itemTitled(QStringLiteral("Quick Switcher"))};
    std::unique_ptr<QMenu> narrow(platform::sim::makeQtMenu(items, 400));
    EXPECT_LE(narrow->sizeHint().width(), 400);
    const QStringList first = narrow->actions().first()->text().split(QLatin1Char('\t'));
    EXPECT_TRUE(first.first().startsWith(QStringLiteral("R&&D m")) && first.first().endsWith(QStringLiteral("…")))
        << first.first().toStdString();
    EXPECT_EQ(first.last(), QStringLiteral("⌃⌥1"));
    EXPECT_EQ(narrow->actions().last()->text(), QStringLiteral("Quick Switcher\t⌃⌥Space"));
    std::unique_ptr<QMenu> wide(platform::sim::makeQtMenu(items));
    EXPECT_GT(wide->sizeHint().width(), 400);

    // Names are stored as given: a line break, tab or control character
    // shows as a space, opens no key column and empties no other title.
    const auto texts = [](const QMenu& menu) {
        QStringList result;
        for (const QAction* action : menu.actions())
            result << action->text();
        return result;
    };
    MenuItem odd = itemTitled(QStringLiteral("Mail"));
    const QList<MenuItem> others{itemTitled(QStringLiteral("Desktop 2")), itemTitled(QStringLiteral("Quick Switcher")),
                                 itemTitled(QStringLiteral("Quit Tessaroom"))};
    for (const auto& [title, start] : std::vector<std::pair<QString, QString>>{
             {QStringLiteral("Work") + QString(110, u'\r'), QStringLiteral("Work \t")},
             {QStringLiteral("Work") + QString(110, u'\n') + QStringLiteral("Mail"), QStringLiteral("Work Mail\t")},
             {QStringLiteral("Work\t") + QString(100, u'm'), QStringLiteral("Work mmm")},
             {QStringLiteral("Work\u009C\u0085"), QStringLiteral("Work \t")},
             {QStringLiteral("Work\u009C") + QString(100, u'm'), QStringLiteral("Work mmm")},
             {QStringLiteral("Mail\tWork"), QStringLiteral("Mail Work\t")}}) {
        odd.title = title;
        std::unique_ptr<QMenu> menu(platform::sim::makeQtMenu(QList<MenuItem>{odd} + others, 300));
        const QStringList shownTexts = texts(*menu);
        EXPECT_TRUE(shownTexts.first().startsWith(start)) << shownTexts.first().toStdString();
        EXPECT_TRUE(shownTexts.first().endsWith(QStringLiteral("\t⌃⌥1")) && shownTexts.first().count(u'\t') == 1);
        EXPECT_EQ(shownTexts.mid(1), (QStringList{QStringLiteral("Desktop 2\t⌃⌥2"), QStringLiteral("Quick Switcher\t⌃⌥Space"),
                                                  QStringLiteral("Quit Tessaroom\t⌘Q")}));
        EXPECT_LE(menu->sizeHint().width(), 300);
    }

    // With the tray's own titles and one long name, the shortened menu fits
    // wherever titles of "…" would, and cuts between graphemes.
    const QString family = u(u"\U0001F469\u200D\U0001F469\u200D\U0001F467\u200D\U0001F466");
    for (const QString& longer : {QStringLiteral("R&D ") + QString(200, u'm'), family + u(u"\U0001F1E9\U0001F1EA").repeated(30)}) {
        name(11, longer);
        tile().buildMenu();
        const QList<MenuItem> tray = tile().menu().items();
        QList<MenuItem> dots = tray;
        for (MenuItem& item : dots)
            item.title = QStringLiteral("…");
        for (int limit = 180; limit <= 400; limit += 20) {
            std::unique_ptr<QMenu> least(platform::sim::makeQtMenu(dots, limit));
            std::unique_ptr<QMenu> menu(platform::sim::makeQtMenu(tray, limit));
            if (least->sizeHint().width() <= limit) {
                EXPECT_LE(menu->sizeHint().width(), limit) << "at " << limit;
            }
            const QStringList shownTexts = texts(*menu);
            for (qsizetype i = 0; i < tray.size(); ++i) {
                const QString title = shownTexts[i].section(u'\t', 0, 0).replace(QStringLiteral("&&"), QStringLiteral("&"));
                EXPECT_FALSE(title.isEmpty() && !tray[i].isSeparator);
                if (title.endsWith(u'…') && title != tray[i].title) {
                    EXPECT_TRUE(tray[i].title.startsWith(title.chopped(1))
                                && platform::Graphemes::isBoundary(tray[i].title, title.size() - 1))
                        << "at " << limit << ": " << title.toStdString();
                }
            }
        }
    }
}

TEST_F(TileMenuTest, TheKeysShownInAnOpenMenuChooseTheirItem)
{
    settings().setShowShortcutsInMenu(true);
    tile().buildMenu();
    std::unique_ptr<QMenu> shown(platform::sim::makeQtMenu(tile().menu().items()));
    QStringList chosen;
    for (QAction* action : shown->actions())
        QObject::connect(action, &QAction::triggered, [&chosen, action] { chosen << action->text().section('\t', 0, 0); });
    // Command is Ctrl, as is Control; keys no item shows choose nothing.
    for (const auto& [key, modifiers] : std::vector<std::pair<int, Qt::KeyboardModifiers>>{
             {Qt::Key_Comma, Qt::ControlModifier},
             {Qt::Key_K, Qt::ControlModifier},
             {Qt::Key_3, Qt::ControlModifier | Qt::AltModifier},
             {Qt::Key_Q, Qt::MetaModifier},
             {Qt::Key_Q, Qt::ControlModifier}}) {
        for (const QEvent::Type type : {QEvent::ShortcutOverride, QEvent::KeyPress}) {
            QKeyEvent event(type, key, modifiers);
            QCoreApplication::sendEvent(shown.get(), &event);
        }
    }
    EXPECT_EQ(chosen, (QStringList{QStringLiteral("Settings…"), QStringLiteral("Desktop 3"),
                                   QStringLiteral("Quit Tessaroom")}));
}

TEST_F(TileMenuTest, TheModifiersOfAKeyShownLeaveTheMenuOpenUntilTheKeyChoosesItsItem)
{
    settings().setShowShortcutsInMenu(true);
    tile().buildMenu();
    std::unique_ptr<QMenu> shown(platform::sim::makeQtMenu(tile().menu().items()));
    QStringList chosen;
    for (QAction* action : shown->actions())
        QObject::connect(action, &QAction::triggered, [&chosen, action] { chosen << action->text().section('\t', 0, 0); });
    shown->popup(QPoint(100, 100));
    // Ctrl+Alt+3 arrives key by key at the menu's window, as the session
    // hands it over: Control, then Alt, then 3.
    const auto type = [&](int key, Qt::KeyboardModifiers modifiers) {
        QKeyEvent event(QEvent::KeyPress, key, modifiers);
        QSpontaneKeyEvent::setSpontaneous(&event);
        QCoreApplication::sendEvent(shown->windowHandle(), &event);
    };
    type(Qt::Key_Control, Qt::ControlModifier);
    type(Qt::Key_Alt, Qt::ControlModifier | Qt::AltModifier);
    ASSERT_TRUE(shown->isVisible()) << "a modifier closed the menu";
    type(Qt::Key_3, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(chosen, QStringList{QStringLiteral("Desktop 3")});
    EXPECT_FALSE(shown->isVisible());
}

TEST_F(TileMenuTest, KeysThatTypeNoCharacterAreNamedAndAmpersandsStayInTheTitle)
{
    for (const auto& [key, name] : std::vector<std::pair<QString, QString>>{
             {QStringLiteral(" "), QStringLiteral("⌥Space")},
             {QString(QChar(0xF702)), QStringLiteral("⌥←")},
             {QStringLiteral("\r"), QStringLiteral("⌥↩")},
             {QString(QChar(0xF708)), QStringLiteral("⌥F5")},
             {QStringLiteral("k"), QStringLiteral("⌥K")}}) {
        MenuItem item;
        item.title = QStringLiteral("R&D");
        item.keyEquivalent = key;
        item.keyEquivalentModifierMask = 1ull << 19;
        EXPECT_EQ(platform::sim::shortcutText(item), name);
        std::unique_ptr<QMenu> shown(platform::sim::makeQtMenu({item}));
        EXPECT_EQ(shown->actions().first()->text(), QStringLiteral("R&&D\t") + name);
    }
}

TEST_F(EmptyMenuTest, WithNoDisplaysTheTileReadsSpacesAndNeverCrashesItsChecks)
{
    StatusBarController tile(commands);
    EXPECT_EQ(tile.button()->title(), QStringLiteral("Spaces"));
    EXPECT_FALSE(tile.isOnScreen());
    advance(10);
    EXPECT_TRUE(tile.tileHidden());
    platform::sim::clickStatusButton(tile.item(), EventType::rightMouseUp);
    ASSERT_TRUE(tile.menu().isOpen());
    tile.menu().dismiss();
    platform::sim::clickStatusButton(tile.item(), EventType::leftMouseUp);
    EXPECT_EQ(commands.calls, QStringList{QStringLiteral("togglePopover")});
}
