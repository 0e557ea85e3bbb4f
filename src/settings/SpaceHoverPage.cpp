#include "settings/SpaceHoverPage.h"

#include "settings/SettingsTexts.h"
#include "settings/SettingsWidgets.h"
#include "store/Settings.h"
#include "ui/AccentButton.h"
#include "ui/AppCommands.h"
#include "ui/RowDivider.h"
#include "ui/SettingRow.h"
#include "ui/SettingsCard.h"

#include <QVBoxLayout>

SpaceHoverPage::SpaceHoverPage(const SettingsServices& services, QWidget* parent)
    : QWidget(parent)
    , bindings_(services.settings, this)
{
    setObjectName(QStringLiteral("spaceHoverPage"));
    Settings& s = services.settings;
    auto* layout = SettingsWidgets::column(this);

    layout->addWidget(new SettingsCard({
        new SettingRow(QStringLiteral("Reveal spaces when I hover the top of the screen"),
                       QStringLiteral("Rest the pointer at the very top edge and a strip of every space slides in. "
                                      "Click one to jump."),
                       bindings_.toggle(
                           QStringLiteral("hoverToggle"), [&s] { return s.hoverEnabled(); },
                           [&s](bool on) { s.setHoverEnabled(on); })),
        new RowDivider,
        new SettingRow(QStringLiteral("Trigger area"),
                       QStringLiteral("Center is the notch area on a MacBook, or the middle fifth of the menu bar."),
                       bindings_.picker<HoverZone>(
                           QStringLiteral("zonePicker"), [&s] { return s.hoverZone(); },
                           [&s](HoverZone value) { s.setHoverZone(value); })),
        new RowDivider,
        new SettingRow(QStringLiteral("Hover delay"), QStringLiteral("How long the pointer has to rest there first."),
                       bindings_.slider(
                           QStringLiteral("delaySlider"), [&s] { return s.hoverDelay(); },
                           [&s](double value) { s.setHoverDelay(value); }, 0.1, 1.5, 0.05,
                           &SettingsTexts::hoverDelayLabel)),
    }));

    auto* show = new AccentButton(QStringLiteral("Show the strip now"));
    show->setObjectName(QStringLiteral("showStripButton"));
    connect(show, &QAbstractButton::clicked, this, [this] { AppEnvironment::commands(this).previewHover(); });
    layout->addWidget(show, 0, Qt::AlignLeft);
    SettingsWidgets::wrapCaptions(this);
}
