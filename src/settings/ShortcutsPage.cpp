#include "settings/ShortcutsPage.h"

#include "engine/SpaceEngine.h"
#include "settings/SettingsTexts.h"
#include "settings/SettingsWidgets.h"
#include "settings/ShortcutGrid.h"
#include "settings/SystemShortcutRow.h"
#include "store/KeyNames.h"
#include "store/Settings.h"
#include "ui/HotkeyRecorder.h"
#include "ui/KeyCap.h"
#include "ui/RowDivider.h"
#include "ui/SectionHeader.h"
#include "ui/SettingRow.h"
#include "ui/SettingsCard.h"
#include "ui/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

constexpr int gridPadding = 10;

QWidget* shortcutCell(const Hotkey& hotkey, const QString& name)
{
    auto* cell = new QWidget;
    cell->setObjectName(QStringLiteral("shortcutCell"));
    auto* row = new QHBoxLayout(cell);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    auto* cap = new KeyCap(hotkey.display());
    cap->setToolTip(KeyNames::describe(hotkey));
    row->addWidget(cap, 0, Qt::AlignVCenter);
    QLabel* label = SettingsWidgets::label(name, Theme::font(12), Theme::textSecondary());
    label->setObjectName(QStringLiteral("cellName"));
    row->addWidget(label, 1, Qt::AlignVCenter);
    return cell;
}

} // namespace

ShortcutsPage::ShortcutsPage(const SettingsServices& services, QWidget* parent)
    : QWidget(parent)
    , services_(services)
    , bindings_(services.settings, this)
{
    setObjectName(QStringLiteral("shortcutsPage"));
    Settings& s = services_.settings;
    auto* layout = SettingsWidgets::column(this);
    layout->addWidget(SettingsWidgets::label(
        QStringLiteral("\u2303 is Control, \u2325 is Option, \u21e7 is Shift, \u2318 is Command. Click a field and "
                       "press the keys you want."),
        Theme::font(12), Theme::textSecondary(), SettingsWidgets::Wrap::wrapping));

    layout->addWidget(new SectionHeader(QStringLiteral("Global")));
    layout->addWidget(makeGlobalCard());
    layout->addWidget(new SectionHeader(QStringLiteral("Jump straight to a desktop")));
    layout->addWidget(makeJumpCard());

    layout->addWidget(new SectionHeader(QStringLiteral("Switching")));
    systemRow_ = new SystemShortcutRow(services_.engine);
    layout->addWidget(new SettingsCard({
        new SettingRow(QStringLiteral("Let macOS perform the switch"),
                       QStringLiteral("Uses the system's own desktop shortcuts (\u23031\u2013\u23030), stepping with "
                                      "\u2303\u2192 / \u2303\u2190 past the tenth desktop, falling back to Mission "
                                      "Control. Always sticks. Off uses a direct window-server call that is faster "
                                      "but can glitch."),
                       bindings_.toggle(
                           QStringLiteral("nativeToggle"), [&s] { return s.nativeSwitching(); },
                           [&s](bool on) { s.setNativeSwitching(on); })),
        new RowDivider,
        systemRow_,
    }));

    layout->addWidget(new SectionHeader(QStringLiteral("Move windows")));
    layout->addWidget(new SettingsCard({
        new SettingRow(QStringLiteral("Send the front window to a desktop"),
                       QStringLiteral("Modifier + \u21e7 + number moves the window you are using to that desktop. "
                                      "Also on hover in the menu."),
                       bindings_.toggle(
                           QStringLiteral("moveToggle"), [&s] { return s.moveWindowEnabled(); },
                           [&s](bool on) { s.setMoveWindowEnabled(on); })),
        new RowDivider,
        new SettingRow(QStringLiteral("Follow the window"), QStringLiteral("Switch to the destination after moving."),
                       bindings_.toggle(
                           QStringLiteral("followToggle"), [&s] { return s.moveFollow(); },
                           [&s](bool on) { s.setMoveFollow(on); })),
    }));

    QLabel* footer = SettingsWidgets::label(
        QStringLiteral("A space's own shortcut (set from its edit panel) overrides the number shortcut. In the Quick "
                       "Switcher: type a space or app name, \u2191\u2193 move, \u21a9 switch, 1\u20139 jump, \u21e5 "
                       "previous space."),
        Theme::font(11.5), Theme::textTertiary(), SettingsWidgets::Wrap::wrapping);
    footer->setObjectName(QStringLiteral("footer"));
    layout->addWidget(footer);

    SettingsWidgets::wrapCaptions(this);
    SettingsWidgets::afterSettingsChange(s, this, [this] { refresh(); });
    connect(&services_.engine, &SpaceEngine::changed, this, &ShortcutsPage::refreshGrid);
    refresh();
}

QWidget* ShortcutsPage::makeGlobalCard()
{
    Settings& s = services_.settings;
    globals_ = {
        {QStringLiteral("Quick Switcher"), [&s] { return s.switcherHotkey(); },
         [&s](const std::optional<Hotkey>& value) { s.setSwitcherHotkey(value); }},
        {QStringLiteral("Jump back to the previous space"), [&s] { return s.jumpBackHotkey(); },
         [&s](const std::optional<Hotkey>& value) { s.setJumpBackHotkey(value); }},
        {QStringLiteral("Next space"), [&s] { return s.nextHotkey(); },
         [&s](const std::optional<Hotkey>& value) { s.setNextHotkey(value); }},
        {QStringLiteral("Previous space"), [&s] { return s.prevHotkey(); },
         [&s](const std::optional<Hotkey>& value) { s.setPrevHotkey(value); }},
        {QStringLiteral("Presentation mode"), [&s] { return s.presentationHotkey(); },
         [&s](const std::optional<Hotkey>& value) { s.setPresentationHotkey(value); }},
    };
    auto* card = new SettingsCard;
    for (qsizetype i = 0; i < globals_.size(); ++i) {
        const GlobalShortcut& global = globals_[i];
        auto* recorder = new HotkeyRecorder(global.read());
        recorder->setObjectName(QStringLiteral("recorder%1").arg(i));
        const auto write = global.write;
        connect(recorder, &HotkeyRecorder::hotkeyChanged, this,
                [write](std::optional<Hotkey> hotkey) { write(hotkey); });
        auto* row = new SettingRow(global.title, SettingsTexts::hotkeyCaption(global.read()), recorder);
        if (i > 0)
            card->addRow(new RowDivider);
        card->addRow(row);
        globalRows_.append(row);
        recorders_.append(recorder);
    }
    return card;
}

QWidget* ShortcutsPage::makeJumpCard()
{
    Settings& s = services_.settings;
    QList<SegmentPicker::Option> options;
    for (const auto& [mask, label] : SettingsTexts::modifierOptions())
        options.append({QVariant::fromValue<quint32>(mask), label});
    auto* card = new SettingsCard;
    card->addRow(new SettingRow(QStringLiteral("Number shortcuts"),
                                QStringLiteral("Modifier + 1\u20269 jumps to desktops 1\u20139, modifier + 0 to "
                                               "desktop 10."),
                                bindings_.toggle(
                                    QStringLiteral("numberShortcutsToggle"), [&s] { return s.directJumpEnabled(); },
                                    [&s](bool on) { s.setDirectJumpEnabled(on); })));
    card->addRow(new RowDivider);
    card->addRow(new SettingRow(QStringLiteral("Modifier keys"), std::nullopt,
                                bindings_.picker(
                                    QStringLiteral("modifierPicker"), options,
                                    [&s] { return QVariant::fromValue<quint32>(s.directJumpModifiers()); },
                                    [&s](const QVariant& value) { s.setDirectJumpModifiers(value.toUInt()); })));
    gridDivider_ = new RowDivider;
    card->addRow(gridDivider_);
    gridHolder_ = new QWidget;
    auto* holder = new QVBoxLayout(gridHolder_);
    holder->setContentsMargins(0, gridPadding, 0, gridPadding);
    grid_ = new ShortcutGrid;
    holder->addWidget(grid_);
    card->addRow(gridHolder_);
    jumpCard_ = card;
    return card;
}

HotkeyRecorder* ShortcutsPage::recorder(int index) const
{
    return recorders_.value(index);
}

void ShortcutsPage::refresh()
{
    for (qsizetype i = 0; i < globals_.size(); ++i) {
        const std::optional<Hotkey> hotkey = globals_[i].read();
        if (!recorders_[i]->isRecording())
            recorders_[i]->setHotkey(hotkey);
        globalRows_[i]->captionLabel()->setText(SettingsTexts::hotkeyCaption(hotkey));
    }
    refreshGrid();
}

void ShortcutsPage::refreshGrid()
{
    const bool shown = services_.settings.directJumpEnabled();
    gridDivider_->setVisible(shown);
    gridHolder_->setVisible(shown);
    if (!shown) {
        grid_->setCells({});
        return;
    }
    QList<QWidget*> cells;
    const QList<Desktop>& desktops = services_.engine.desktops();
    for (qsizetype i = 0; i < std::min<qsizetype>(desktops.size(), Hotkey::digitLimit); ++i) {
        if (const std::optional<Hotkey> hotkey = desktops[i].effectiveHotkey(services_.settings))
            cells.append(shortcutCell(*hotkey, desktops[i].displayName()));
    }
    grid_->setCells(cells);
}
