#include "settings/MissionControlPage.h"

#include "settings/CopyDiagnosticsButton.h"
#include "settings/SettingsTexts.h"
#include "settings/SettingsWidgets.h"
#include "store/Settings.h"
#include "switching/Accessibility.h"
#include "ui/AccentButton.h"
#include "ui/AppCommands.h"
#include "ui/Card.h"
#include "ui/Glyph.h"
#include "ui/RowDivider.h"
#include "ui/SectionHeader.h"
#include "ui/SettingRow.h"
#include "ui/SettingsCard.h"
#include "ui/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace {

constexpr double warningSize = 24;

// The warning triangle in the amber colour.
class WarningSymbol : public QWidget {
public:
    WarningSymbol() { setFixedSize(int(warningSize), int(warningSize)); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        if (const GlyphImagePtr symbol = Glyph::symbolImage(QStringLiteral("exclamationmark.triangle.fill"),
                                                           warningSize, Theme::amber()))
            symbol->draw(painter, rect());
    }
};

} // namespace

MissionControlPage::MissionControlPage(const SettingsServices& services, QWidget* parent)
    : QWidget(parent)
    , services_(services)
    , bindings_(services.settings, this)
{
    setObjectName(QStringLiteral("missionControlPage"));
    Settings& s = services_.settings;
    auto* layout = SettingsWidgets::column(this);

    layout->addWidget(new SectionHeader(QStringLiteral("Labels")));
    auto* card = new SettingsCard;
    const QList<QWidget*> rows{
        new SettingRow(QStringLiteral("Show names in Mission Control"),
                       QStringLiteral("A pill in the space's color that takes the place of macOS' \u201cDesktop N\u201d "
                                      "label."),
                       bindings_.toggle(
                           QStringLiteral("labelsToggle"), [&s] { return s.mcLabelsEnabled(); },
                           [&s](bool on) { s.setMcLabelsEnabled(on); })),
        new SettingRow(QStringLiteral("Also label desktops without a custom name"),
                       QStringLiteral("Off keeps unnamed thumbnails clean; macOS already says \u201cDesktop N\u201d "
                                      "there."),
                       bindings_.toggle(
                           QStringLiteral("unnamedToggle"), [&s] { return s.mcShowUnnamed(); },
                           [&s](bool on) { s.setMcShowUnnamed(on); })),
        new SettingRow(QStringLiteral("Prefix the desktop number"), std::nullopt,
                       bindings_.toggle(
                           QStringLiteral("numberToggle"), [&s] { return s.mcShowNumber(); },
                           [&s](bool on) { s.setMcShowNumber(on); })),
        new SettingRow(QStringLiteral("When the previews expand"),
                       QStringLiteral("Below keeps the preview untouched and replaces the label under it. Inside hugs "
                                      "the preview's bottom edge."),
                       bindings_.picker<PillPlacement>(
                           QStringLiteral("placementPicker"), [&s] { return s.mcPlacement(); },
                           [&s](PillPlacement value) { s.setMcPlacement(value); })),
        new SettingRow(QStringLiteral("Size"), std::nullopt,
                       bindings_.slider(
                           QStringLiteral("scaleSlider"), [&s] { return s.mcScale(); },
                           [&s](double value) { s.setMcScale(value); }, 0.8, 1.6, 0.05,
                           &SettingsTexts::pillScaleLabel)),
        new SettingRow(QStringLiteral("Vertical offset"),
                       QStringLiteral("Nudge the pills if they sit oddly on your display."),
                       bindings_.slider(
                           QStringLiteral("offsetSlider"), [&s] { return s.mcOffsetY(); },
                           [&s](double value) { s.setMcOffsetY(value); }, -80, 80, 1,
                           &SettingsTexts::pillOffsetLabel)),
    };
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (i > 0)
            card->addRow(new RowDivider);
        card->addRow(rows[i]);
    }
    layout->addWidget(card);

    auto* actions = new QHBoxLayout;
    actions->setSpacing(10);
    auto* open = new AccentButton(QStringLiteral("Open Mission Control"), false);
    open->setObjectName(QStringLiteral("openMissionControlButton"));
    connect(open, &QAbstractButton::clicked, this, [this] { AppEnvironment::commands(this).openMissionControl(); });
    actions->addWidget(open);
    actions->addWidget(new CopyDiagnosticsButton);
    actions->addStretch(1);
    layout->addLayout(actions);

    SettingsWidgets::wrapCaptions(this);
    connect(&services_.access, &Accessibility::trustedChanged, this, &MissionControlPage::refreshAccess);
    refreshAccess();
}

QWidget* MissionControlPage::makeAccessCard()
{
    auto* content = new QWidget;
    auto* row = new QHBoxLayout(content);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(14);
    row->addWidget(new WarningSymbol, 0, Qt::AlignVCenter);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(3);
    texts->addWidget(SettingsWidgets::label(QStringLiteral("Accessibility access is off"),
                                            Theme::font(14, QFont::DemiBold), Theme::text()));
    texts->addWidget(SettingsWidgets::label(
        QStringLiteral("The only permission Tessaroom asks for, and the only way any app can find the thumbnails in "
                       "Mission Control. System Settings \u2192 Privacy & Security \u2192 Accessibility \u2192 "
                       "Tessaroom."),
        Theme::font(12), Theme::textSecondary(), SettingsWidgets::Wrap::wrapping));
    row->addLayout(texts, 1);
    auto* open = new AccentButton(QStringLiteral("Open System Settings"));
    open->setObjectName(QStringLiteral("openSystemSettingsButton"));
    connect(open, &QAbstractButton::clicked, this, [this] { services_.access.openSystemSettings(); });
    row->addWidget(open, 0, Qt::AlignVCenter);
    return content;
}

void MissionControlPage::refreshAccess()
{
    const bool trusted = services_.access.trusted();
    if (trusted && accessCard_) {
        delete accessCard_;
        accessCard_ = nullptr;
    } else if (!trusted && !accessCard_) {
        accessCard_ = new Card(makeAccessCard());
        accessCard_->setObjectName(QStringLiteral("accessCard"));
        static_cast<QVBoxLayout*>(layout())->insertWidget(0, accessCard_);
    }
}
