#include "settings/GeneralPage.h"

#include "platform/Dialogs.h"
#include "settings/ErrorAlert.h"
#include "settings/NotchScreens.h"
#include "settings/SettingsTexts.h"
#include "settings/SettingsWidgets.h"
#include "store/Settings.h"
#include "store/SpaceStore.h"
#include "ui/AccentButton.h"
#include "ui/AppCommands.h"
#include "ui/DarkToggle.h"
#include "ui/RowDivider.h"
#include "ui/SectionHeader.h"
#include "ui/SegmentPicker.h"
#include "ui/SettingRow.h"
#include "ui/SettingsCard.h"
#include "ui/ValueSlider.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

const QString GeneralPage::launchFailureTitle = QStringLiteral("Could not change launch at login");
const QString GeneralPage::resetTitle = QStringLiteral("Reset all spaces?");
const QString GeneralPage::resetMessage =
    QStringLiteral("Names, icons, colors, shortcuts and tracked time for every desktop will be removed.");
const QString GeneralPage::resetAction = QStringLiteral("Reset Everything");

namespace {

constexpr double narrowest = 100;
constexpr double widest = 420;
constexpr double widthStep = 10;

template <SettingEnumeration E>
QList<SegmentPicker::Option> titledOptions()
{
    QList<SegmentPicker::Option> options;
    for (E value : SettingEnum<E>::allCases)
        options.append({QVariant::fromValue<qint64>(rawValue(value)), title(value)});
    return options;
}

template <SettingEnumeration E>
QVariant selection(E value)
{
    return QVariant::fromValue<qint64>(rawValue(value));
}

template <SettingEnumeration E>
E chosen(const QVariant& value, E fallback)
{
    return fromRawValue<E>(value.toLongLong()).value_or(fallback);
}

DarkToggle* toggle(const QString& name, bool on)
{
    auto* shown = new DarkToggle(on);
    shown->setObjectName(name);
    return shown;
}

SettingsCard* card(const QList<QWidget*>& rows)
{
    auto* shown = new SettingsCard;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (i > 0)
            shown->addRow(new RowDivider);
        shown->addRow(rows[i]);
    }
    return shown;
}

} // namespace

GeneralPage::GeneralPage(const SettingsServices& services, QWidget* parent)
    : QWidget(parent)
    , services_(services)
    , launchAtLogin_(services.settings.launchAtLogin())
    , hasNotch_(NotchScreens::anyNotchConnected())
{
    setObjectName(QStringLiteral("generalPage"));
    Settings& settings = services_.settings;
    auto* layout = SettingsWidgets::column(this);

    launch_ = toggle(QStringLiteral("launchToggle"), launchAtLogin_);
    connect(launch_, &QAbstractButton::clicked, this, &GeneralPage::setLaunchAtLogin);
    layout->addWidget(card({new SettingRow(QStringLiteral("Launch Tessaroom at login"), std::nullopt, launch_)}));

    layout->addWidget(new SectionHeader(QStringLiteral("Menu bar")));
    layout->addWidget(makeMenuBarCard());

    layout->addWidget(new SectionHeader(QStringLiteral("Presentation mode")));
    presenting_ = toggle(QStringLiteral("presentingToggle"), settings.presenting());
    connect(presenting_, &QAbstractButton::clicked, this, [this](bool on) { services_.settings.setPresenting(on); });
    presentationRow_ = new SettingRow(QStringLiteral("Show every desktop as \u201cDesktop N\u201d"),
                                      SettingsTexts::presentationCaption(settings.presentationHotkey()), presenting_);
    layout->addWidget(card({presentationRow_}));

    layout->addWidget(new SectionHeader(QStringLiteral("Attention")));
    badges_ = toggle(QStringLiteral("badgesToggle"), settings.badgesEnabled());
    connect(badges_, &QAbstractButton::clicked, this, [this](bool on) { services_.settings.setBadgesEnabled(on); });
    layout->addWidget(card({new SettingRow(
        QStringLiteral("Show the Dock's badges"),
        QStringLiteral("Unread counts on the app icons in the hover strip and the menu, and on the tile when the app "
                       "lives on another desktop."),
        badges_)}));

    layout->addWidget(new SectionHeader(QStringLiteral("Camera notch")));
    layout->addWidget(makeNotchCard());
    auto* preview = new AccentButton(QStringLiteral("Preview Beside the Notch"));
    preview->setObjectName(QStringLiteral("notchPreviewButton"));
    connect(preview, &QAbstractButton::clicked, this, [this] { AppEnvironment::commands(this).previewNotchName(); });
    layout->addWidget(preview, 0, Qt::AlignLeft);

    layout->addWidget(new SectionHeader(QStringLiteral("Data")));
    auto* reset = new AccentButton(QStringLiteral("Reset\u2026"), false);
    reset->setObjectName(QStringLiteral("resetButton"));
    connect(reset, &QAbstractButton::clicked, this, &GeneralPage::confirmReset);
    layout->addWidget(card({new SettingRow(QStringLiteral("Reset every space"),
                                           QStringLiteral("Removes all names, icons, colors, shortcuts and tracked "
                                                          "time."),
                                           reset)}));

    screensChanged_ = platform::NotificationCenter::defaultCenter().observe(
        platform::notifications::screenParametersDidChange, [this] { refreshNotch(); });
    SettingsWidgets::wrapCaptions(this);
    SettingsWidgets::afterSettingsChange(settings, this, [this] { refresh(); });
    refresh();
}

QWidget* GeneralPage::makeMenuBarCard()
{
    Settings& settings = services_.settings;
    style_ = new SegmentPicker(titledOptions<MenuBarStyle>(), selection(settings.menuBarStyle()));
    style_->setObjectName(QStringLiteral("menuBarStylePicker"));
    connect(style_, &SegmentPicker::activated, this, [this](const QVariant& value) {
        services_.settings.setMenuBarStyle(chosen(value, MenuBarStyle::iconAndName));
    });
    width_ = new ValueSlider(settings.menuBarMaxWidth(), narrowest, widest, widthStep,
                             &SettingsTexts::widthLabel);
    width_->setObjectName(QStringLiteral("menuBarWidthSlider"));
    connect(width_, &ValueSlider::valueChanged, this,
            [this](double value) { services_.settings.setMenuBarMaxWidth(value); });
    shortcutsInMenu_ = toggle(QStringLiteral("shortcutsInMenuToggle"), settings.showShortcutsInMenu());
    connect(shortcutsInMenu_, &QAbstractButton::clicked, this,
            [this](bool on) { services_.settings.setShowShortcutsInMenu(on); });
    return card({
        new SettingRow(QStringLiteral("Show"), std::nullopt, style_),
        new SettingRow(QStringLiteral("Maximum width"), QStringLiteral("Longer names are shortened with an ellipsis."),
                       width_),
        new SettingRow(QStringLiteral("Show shortcuts in the right-click menu"), std::nullopt, shortcutsInMenu_),
    });
}

QWidget* GeneralPage::makeNotchCard()
{
    Settings& settings = services_.settings;
    notchEnabled_ = toggle(QStringLiteral("notchToggle"), settings.notchEnabled());
    connect(notchEnabled_, &QAbstractButton::clicked, this,
            [this](bool on) { services_.settings.setNotchEnabled(on); });
    notchRow_ = new SettingRow(QStringLiteral("Show the name beside the notch"), SettingsTexts::notchCaption(hasNotch_),
                               notchEnabled_);

    standsIn_ = toggle(QStringLiteral("standsInToggle"), settings.notchStandsIn());
    connect(standsIn_, &QAbstractButton::clicked, this, [this](bool on) { services_.settings.setNotchStandsIn(on); });

    side_ = new SegmentPicker({{selection(NotchSide::left), QStringLiteral("Left")},
                               {selection(NotchSide::right), QStringLiteral("Right")}},
                              selection(settings.notchSide()));
    side_->setObjectName(QStringLiteral("notchSidePicker"));
    connect(side_, &SegmentPicker::activated, this, [this](const QVariant& value) {
        services_.settings.setNotchSide(chosen(value, NotchSide::left));
    });

    content_ = new SegmentPicker(titledOptions<NotchContent>(), selection(settings.notchContent()));
    content_->setObjectName(QStringLiteral("notchContentPicker"));
    connect(content_, &SegmentPicker::activated, this, [this](const QVariant& value) {
        services_.settings.setNotchContent(chosen(value, NotchContent::iconAndName));
    });

    tileHidden_ = toggle(QStringLiteral("tileHiddenToggle"), settings.tileHiddenBesideNotch());
    connect(tileHidden_, &QAbstractButton::clicked, this,
            [this](bool on) { services_.settings.setTileHiddenBesideNotch(on); });

    auto* quit = new AccentButton(QStringLiteral("Quit"), false);
    quit->setObjectName(QStringLiteral("quitButton"));
    connect(quit, &QAbstractButton::clicked, this, [] { QCoreApplication::quit(); });
    quitRow_ = new SettingRow(QStringLiteral("Quit Tessaroom"), QStringLiteral("Usually in the tile's menu."), quit);
    quitRow_->setObjectName(QStringLiteral("quitRow"));

    SettingsCard* shown = card({
        notchRow_,
        new SettingRow(QStringLiteral("Stand in for the tile when the menu bar is full"),
                       QStringLiteral("A full bar drops the items nearest the notch, and macOS starts every new item "
                                      "there. While the bar has no room for the tile, the name shows beside the notch "
                                      "instead and the label takes the tile's clicks. \u2318-drag the tile to the "
                                      "right to give it a spot that lasts."),
                       standsIn_),
        new SettingRow(QStringLiteral("Side"), std::nullopt, side_),
        new SettingRow(QStringLiteral("Shows"), std::nullopt, content_),
        new SettingRow(QStringLiteral("Hide the menu bar tile while the label shows"),
                       QStringLiteral("The label does the tile's job, clicks included: click it for your desktops, "
                                      "right-click it for the menu. The tile comes back the moment no label is on "
                                      "screen, and the shortcuts, the hover strip and the Quick Switcher keep "
                                      "working. Opening Tessaroom again from Applications brings this window too."),
                       tileHidden_),
    });
    quitDivider_ = new RowDivider;
    shown->addRow(quitDivider_);
    shown->addRow(quitRow_);
    return shown;
}

void GeneralPage::refresh()
{
    Settings& settings = services_.settings;
    style_->setSelection(selection(settings.menuBarStyle()));
    width_->setValue(settings.menuBarMaxWidth());
    shortcutsInMenu_->setOn(settings.showShortcutsInMenu());
    presenting_->setOn(settings.presenting());
    presentationRow_->captionLabel()->setText(SettingsTexts::presentationCaption(settings.presentationHotkey()));
    badges_->setOn(settings.badgesEnabled());
    notchEnabled_->setOn(settings.notchEnabled());
    standsIn_->setOn(settings.notchStandsIn());
    side_->setSelection(selection(settings.notchSide()));
    content_->setSelection(selection(settings.notchContent()));
    const bool tileHidden = settings.tileHiddenBesideNotch();
    tileHidden_->setOn(tileHidden);
    quitDivider_->setVisible(tileHidden);
    quitRow_->setVisible(tileHidden);
}

void GeneralPage::refreshNotch()
{
    hasNotch_ = NotchScreens::anyNotchConnected();
    notchRow_->captionLabel()->setText(SettingsTexts::notchCaption(hasNotch_));
}

void GeneralPage::setLaunchAtLogin(bool enabled)
{
    launchAtLogin_ = enabled;
    Settings& settings = services_.settings;
    if (enabled != settings.launchAtLogin()) {
        if (const std::optional<QString> failure = settings.setLaunchAtLogin(enabled))
            ErrorAlert::show(launchFailureTitle, *failure);
    }
    launchAtLogin_ = settings.launchAtLogin();
    launch_->setOn(launchAtLogin_);
}

void GeneralPage::confirmReset()
{
    platform::ConfirmationDialog dialog;
    dialog.title = resetTitle;
    dialog.message = resetMessage;
    dialog.actionTitle = resetAction;
    dialog.destructive = true;
    if (dialog.runModal() == platform::ModalResponse::alertFirstButton)
        services_.store.resetAll();
}
