#include "settings/SwitchTagPage.h"

#include "settings/SettingsTexts.h"
#include "settings/SettingsWidgets.h"
#include "store/Settings.h"
#include "ui/AccentButton.h"
#include "ui/AppCommands.h"
#include "ui/RowDivider.h"
#include "ui/SectionHeader.h"
#include "ui/SettingRow.h"
#include "ui/SettingsCard.h"

#include <QVBoxLayout>

SwitchTagPage::SwitchTagPage(const SettingsServices& services, QWidget* parent)
    : QWidget(parent)
    , bindings_(services.settings, this)
{
    setObjectName(QStringLiteral("switchTagPage"));
    Settings& s = services.settings;
    auto* layout = SettingsWidgets::column(this);

    layout->addWidget(new SettingsCard({new SettingRow(
        QStringLiteral("Show a tag when I switch spaces"),
        QStringLiteral("Swipe, shortcut or click \u2014 the name of the space you landed on appears for a moment."),
        bindings_.toggle(
            QStringLiteral("tagToggle"), [&s] { return s.hudEnabled(); }, [&s](bool on) { s.setHudEnabled(on); }))}));

    layout->addWidget(new SectionHeader(QStringLiteral("Appearance")));
    layout->addWidget(new SettingsCard({
        new SettingRow(QStringLiteral("Position"), std::nullopt,
                       bindings_.picker<HUDPosition>(
                           QStringLiteral("positionPicker"), [&s] { return s.hudPosition(); },
                           [&s](HUDPosition value) { s.setHudPosition(value); })),
        new RowDivider,
        new SettingRow(QStringLiteral("Size"), std::nullopt,
                       bindings_.picker<HUDSize>(
                           QStringLiteral("sizePicker"), [&s] { return s.hudSize(); },
                           [&s](HUDSize value) { s.setHudSize(value); })),
        new RowDivider,
        new SettingRow(QStringLiteral("Stays on screen"), std::nullopt,
                       bindings_.slider(
                           QStringLiteral("durationSlider"), [&s] { return s.hudDuration(); },
                           [&s](double value) { s.setHudDuration(value); }, 0.4, 4.0, 0.1,
                           &SettingsTexts::tagDurationLabel)),
        new RowDivider,
        new SettingRow(QStringLiteral("Show the desktop number under custom names"), std::nullopt,
                       bindings_.toggle(
                           QStringLiteral("numberToggle"), [&s] { return s.hudShowNumber(); },
                           [&s](bool on) { s.setHudShowNumber(on); })),
    }));

    auto* preview = new AccentButton(QStringLiteral("Preview Tag"));
    preview->setObjectName(QStringLiteral("previewTagButton"));
    connect(preview, &QAbstractButton::clicked, this, [this] { AppEnvironment::commands(this).previewSwitchTag(); });
    layout->addWidget(preview, 0, Qt::AlignLeft);
    SettingsWidgets::wrapCaptions(this);
}
