#include "platform/Menu.h"

#include "platform/KeyEvents.h"
#include "platform/OneLineText.h"
#include "platform/Popover.h"
#include "platform/Scheduler.h"
#include "platform/Screens.h"
#include "platform/sim/PopupPlacement.h"
#include "platform/sim/SessionHooks.h"
#include "platform/sim/StatusBar.h"
#include "platform/sim/StatusBarState.h"

#include <QAction>
#include <QCoreApplication>
#include <QFontMetricsF>
#include <QIcon>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QPixmap>
#include <QPointer>
#include <QStringList>
#include <QWindow>

#include <algorithm>

namespace platform {

using sim::StatusBarState;

// On a real desktop session the open menu is also shown as a Qt menu at the
// pointer; its choices and its closing come back through choose and dismiss.
struct Menu::Presentation {
    QPointer<QMenu> menu;
};

namespace {

// Keys that type no character, by the system's character for them: the glyph
// or name its menus print, and the Qt key.
struct NamedKey {
    char16_t character;
    const char16_t* name;
    int qtKey;
};
constexpr NamedKey namedKeys[] = {
    {u' ', u"Space", Qt::Key_Space},       {u'\r', u"\u21A9", Qt::Key_Return}, {u'\t', u"\u21E5", Qt::Key_Tab},
    {u'\b', u"\u232B", Qt::Key_Backspace}, {0x7F, u"\u232B", Qt::Key_Backspace}, {0x1B, u"\u238B", Qt::Key_Escape},
    {0xF700, u"\u2191", Qt::Key_Up},       {0xF701, u"\u2193", Qt::Key_Down},    {0xF702, u"\u2190", Qt::Key_Left},
    {0xF703, u"\u2192", Qt::Key_Right},
};
// The function keys F1 to F12 of the system's private-use range.
constexpr char16_t firstFunctionKey = 0xF704;
constexpr char16_t lastFunctionKey = 0xF70F;

const NamedKey* namedKey(char16_t c)
{
    for (const NamedKey& key : namedKeys) {
        if (key.character == c)
            return &key;
    }
    return nullptr;
}

// A key as the system's menus print it: upper case, or a name or glyph for a
// key that types no character.
QString keyName(const QString& key)
{
    if (key.size() != 1)
        return key.toUpper();
    const char16_t c = key.front().unicode();
    if (const NamedKey* named = namedKey(c))
        return QString::fromUtf16(named->name);
    if (c >= firstFunctionKey && c <= lastFunctionKey)
        return QStringLiteral("F") + QString::number(c - firstFunctionKey + 1);
    return key.toUpper();
}

// The Qt key of a key equivalent; 0 for none.
int qtKey(const QString& key)
{
    if (key.size() != 1)
        return 0;
    const char16_t c = key.front().unicode();
    if (const NamedKey* named = namedKey(c))
        return named->qtKey;
    if (c >= firstFunctionKey && c <= lastFunctionKey)
        return Qt::Key_F1 + (c - firstFunctionKey);
    if (c >= u'a' && c <= u'z')
        return Qt::Key_A + (c - u'a');
    if (c >= 0x20 && c < 0x7F)
        return c;
    return 0;
}

// An item's keys as a Qt key press: Command is Ctrl, as in every Qt app on
// Linux, and so is Control; an upper-case letter adds Shift.
QKeySequence keysOf(const MenuItem& item)
{
    const int key = qtKey(item.keyEquivalent);
    if (!key)
        return {};
    const quint64 mask = item.keyEquivalentModifierMask;
    int modifiers = 0;
    if (mask & (EventFlag::control | EventFlag::command))
        modifiers |= Qt::ControlModifier;
    if (mask & EventFlag::option)
        modifiers |= Qt::AltModifier;
    const QChar c = item.keyEquivalent.front();
    if ((mask & EventFlag::shift) || (c.isLetter() && c.isUpper()))
        modifiers |= Qt::ShiftModifier;
    return QKeySequence(key | modifiers);
}

bool isModifierKey(int key)
{
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
        return true;
    default:
        return false;
    }
}

// A key pressed while the menu is open chooses the enabled item it is the
// key equivalent of, as the system's menus do, before the app's hot keys and
// shortcuts see it. Installed on the application, so it comes first.
class KeyEquivalents : public QObject {
public:
    KeyEquivalents(QMenu* menu, QList<QKeySequence> keys)
        : QObject(menu)
        , menu_(menu)
        , keys_(std::move(keys))
    {
        QCoreApplication::instance()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        // The menu's window gets the key first, and the hot keys look there.
        const bool toMenu = receiver == menu_ || (receiver && receiver == menu_->windowHandle());
        if (!toMenu || (type != QEvent::ShortcutOverride && type != QEvent::KeyPress))
            return false;
        auto* key = static_cast<QKeyEvent*>(event);
        // A modifier on its way to a key equivalent: left to the menu, Alt
        // alone closes it before the key arrives.
        if (isModifierKey(key->key()))
            return type == QEvent::KeyPress;
        const QKeySequence pressed(key->key() | (key->modifiers() & ~Qt::KeypadModifier).toInt());
        const QList<QAction*> actions = menu_->actions();
        for (qsizetype i = 0; i < keys_.size() && i < actions.size(); ++i) {
            if (keys_[i].isEmpty() || keys_[i] != pressed || !actions[i]->isEnabled())
                continue;
            key->accept();
            if (type == QEvent::KeyPress) {
                actions[i]->trigger();
                menu_->hide();
            }
            return true;
        }
        return false;
    }

private:
    QMenu* menu_;
    QList<QKeySequence> keys_;
};

// What choosing an item does, once the menu has closed.
void runItem(const MenuItem& item)
{
    if (item.enabled && !item.isSeparator && item.action)
        item.action(item);
}

} // namespace

// The modifier glyphs in the order Control, Option, Shift, Command, then the
// key.
QString sim::shortcutText(const MenuItem& item)
{
    if (item.keyEquivalent.isEmpty())
        return {};
    QString text;
    if (item.keyEquivalentModifierMask & EventFlag::control)
        text += QStringLiteral("\u2303");
    if (item.keyEquivalentModifierMask & EventFlag::option)
        text += QStringLiteral("\u2325");
    if (item.keyEquivalentModifierMask & EventFlag::shift)
        text += QStringLiteral("\u21E7");
    if (item.keyEquivalentModifierMask & EventFlag::command)
        text += QStringLiteral("\u2318");
    return text + keyName(item.keyEquivalent);
}

QMenu* sim::makeQtMenu(const QList<MenuItem>& items, int widthLimit)
{
    // The text after a tab is the menu's shortcut column, so the title keeps
    // none of its own. The action has no shortcut of its own: the menu takes
    // its keys only while open.
    const auto label = [](const MenuItem& item, QString title) {
        const QString keys = shortcutText(item);
        title.replace(QLatin1Char('&'), QStringLiteral("&&"));
        return keys.isEmpty() ? title : title + QLatin1Char('\t') + keys;
    };
    auto* shown = new QMenu;
    QList<QKeySequence> equivalents;
    QStringList titles;
    for (const MenuItem& item : items) {
        equivalents.append(item.isSeparator ? QKeySequence() : keysOf(item));
        titles.append(OneLineText::shown(item.title));
        if (item.isSeparator) {
            shown->addSeparator();
            continue;
        }
        QAction* action = shown->addAction(QIcon(QPixmap::fromImage(item.image)), label(item, titles.last()));
        action->setEnabled(item.enabled);
        action->setCheckable(item.state == MenuItem::State::on);
        action->setChecked(item.state == MenuItem::State::on);
    }
    new KeyEquivalents(shown, equivalents);
    if (widthLimit <= 0)
        return shown;
    // Too wide: the widest titles give up what the menu overflows by, until
    // it fits or every long title is down to "…". The style's margins and
    // the key column need not shrink as the titles do, hence more rounds,
    // each taking the overflow from the widest title as now cut.
    const QFontMetricsF metrics(shown->font());
    const QList<QAction*> actions = shown->actions();
    const double least = metrics.horizontalAdvance(QStringLiteral("\u2026"));
    const auto widest = [&](const QStringList& texts) {
        double width = 0;
        for (const QString& text : texts)
            width = std::max(width, metrics.horizontalAdvance(text));
        return width;
    };
    QStringList cut = titles;
    for (double allowance = widest(titles); allowance > least;) {
        const int overflow = shown->sizeHint().width() - widthLimit;
        if (overflow <= 0)
            break;
        allowance = std::max(least, std::min(allowance, widest(cut)) - overflow);
        for (qsizetype i = 0; i < items.size() && i < actions.size(); ++i) {
            if (items[i].isSeparator)
                continue;
            cut[i] = OneLineText::elided(titles[i], metrics, allowance);
            actions[i]->setText(label(items[i], cut[i]));
        }
    }
    return shown;
}

Menu::Menu() = default;

Menu::~Menu()
{
    auto& state = StatusBarState::shared();
    if (state.openMenu == this)
        state.openMenu = nullptr;
    if (presentation_) {
        delete presentation_->menu;
        delete presentation_;
    }
}

void Menu::addItem(const MenuItem& item)
{
    items_.append(item);
}

void Menu::removeAllItems()
{
    items_.clear();
}

void Menu::popUp(QPointF screenPoint)
{
    if (open_)
        return;
    open_ = true;
    openedAt_ = screenPoint;
    StatusBarState::shared().openMenu = this;
    if (!StatusBarState::realSession())
        return;
    if (!presentation_)
        presentation_ = new Presentation;
    // At the session's pointer, which opened the menu.
    const auto& pointer = sim::windowSystemHooks().pointer;
    const QPoint at = pointer ? pointer() : Screens::windowGeometry(QRectF(screenPoint, QSizeF())).topLeft();
    const std::optional<QRect> area = sim::availableAreaAt(at);
    QMenu* shown = sim::makeQtMenu(items_, area ? area->width() : 0);
    shown->setAttribute(Qt::WA_DeleteOnClose);
    const QList<QAction*> actions = shown->actions();
    for (qsizetype i = 0; i < items_.size() && i < actions.size(); ++i) {
        if (items_[i].isSeparator)
            continue;
        // The item as shown: the list may be built afresh before it runs.
        QObject::connect(actions[i], &QAction::triggered, shown, [this, item = items_[i]] {
            if (open_)
                didClose();
            // Once the menu has gone.
            Scheduler::current().schedule(0, [item] { runItem(item); });
        });
    }
    // Closed at once, with a choice (its trigger comes next) or without one
    // (Escape, a click elsewhere), so a click that follows opens it again.
    QObject::connect(shown, &QMenu::aboutToHide, shown, [this, shown] {
        if (open_ && presentation_ && presentation_->menu == shown)
            didClose();
    });
    presentation_->menu = shown;
    sim::showOnceFocusSettles(shown, [this, shown, at] {
        if (open_ && presentation_ && presentation_->menu == shown)
            shown->popup(at);
    });
}

void Menu::popUp(const QWidget* view, QPointF pointInView)
{
    const QRectF bounds = Popover::screenRect(view);
    popUp(QPointF(bounds.left() + pointInView.x(), bounds.bottom() - pointInView.y()));
}

void Menu::cancelTracking()
{
    if (open_)
        dismiss();
}

void Menu::choose(qsizetype index)
{
    if (!open_ || index < 0 || index >= items_.size())
        return;
    const MenuItem item = items_[index];
    didClose();
    runItem(item);
}

void Menu::dismiss()
{
    if (open_)
        didClose();
}

void Menu::didClose()
{
    open_ = false;
    auto& state = StatusBarState::shared();
    if (state.openMenu == this)
        state.openMenu = nullptr;
    if (presentation_ && presentation_->menu) {
        // Hiding already (its own close): it goes once that is done.
        if (presentation_->menu->isVisible())
            presentation_->menu->close();
        else
            presentation_->menu->deleteLater();
    }
    if (onDidClose_) {
        const auto callback = onDidClose_;
        callback();
    }
}

} // namespace platform
