#include "settings/TimeTrackingPage.h"

#include "engine/SpaceEngine.h"
#include "platform/Dialogs.h"
#include "settings/ErrorAlert.h"
#include "settings/SettingsTexts.h"
#include "settings/SettingsWidgets.h"
#include "settings/TimeBar.h"
#include "settings/TimeExport.h"
#include "settings/TimeTotalsRow.h"
#include "store/Settings.h"
#include "store/SpaceStore.h"
#include "ui/AccentButton.h"
#include "ui/DarkToggle.h"
#include "ui/RowDivider.h"
#include "ui/SectionHeader.h"
#include "ui/SegmentPicker.h"
#include "ui/SettingRow.h"
#include "ui/SettingsCard.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

const QString TimeTrackingPage::csvFailureTitle = QStringLiteral("Could not save the CSV");

namespace {

QList<SegmentPicker::Option> idleOptions()
{
    QList<SegmentPicker::Option> options;
    for (const auto& [minutes, label] : SettingsTexts::idleChoices())
        options.append({QVariant::fromValue<qint64>(minutes), label});
    return options;
}

} // namespace

TimeTrackingPage::TimeTrackingPage(const SettingsServices& services, QWidget* parent)
    : QWidget(parent)
    , services_(services)
{
    setObjectName(QStringLiteral("timeTrackingPage"));
    auto* layout = SettingsWidgets::column(this);
    Settings& settings = services_.settings;

    track_ = new DarkToggle(settings.trackTime());
    track_->setObjectName(QStringLiteral("trackToggle"));
    connect(track_, &QAbstractButton::clicked, this, [this](bool on) { services_.settings.setTrackTime(on); });
    idle_ = new SegmentPicker(idleOptions(), QVariant::fromValue<qint64>(settings.idleMinutes()));
    idle_->setObjectName(QStringLiteral("idlePicker"));
    connect(idle_, &SegmentPicker::activated, this,
            [this](const QVariant& value) { services_.settings.setIdleMinutes(value.toLongLong()); });
    auto* card = new SettingsCard;
    card->addRow(new SettingRow(QStringLiteral("Track time spent on each space"),
                                QStringLiteral("Counted while you are active; pauses when you step away."), track_));
    card->addRow(new RowDivider);
    card->addRow(new SettingRow(QStringLiteral("Count as away after"), std::nullopt, idle_));
    layout->addWidget(card);

    layout->addWidget(new SectionHeader(QStringLiteral("Totals")));
    totalsCard_ = new SettingsCard;
    totalsCard_->setObjectName(QStringLiteral("totalsCard"));
    layout->addWidget(totalsCard_);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(10);
    export_ = new AccentButton(QStringLiteral("Export CSV\u2026"));
    export_->setObjectName(QStringLiteral("exportButton"));
    connect(export_, &QAbstractButton::clicked, this, &TimeTrackingPage::exportCSV);
    reset_ = new AccentButton(QStringLiteral("Reset Times"), false);
    reset_->setObjectName(QStringLiteral("resetTimesButton"));
    connect(reset_, &QAbstractButton::clicked, this, [this] { services_.store.resetTimes(); });
    buttons->addWidget(export_);
    buttons->addWidget(reset_);
    buttons->addStretch(1);
    layout->addLayout(buttons);

    connect(&services_.engine, &SpaceEngine::changed, this, &TimeTrackingPage::reload);
    metaChanged_ = platform::NotificationCenter::defaultCenter().observe(SpaceStore::changedNotification,
                                                                       [this] { reload(); });
    SettingsWidgets::wrapCaptions(this);
    SettingsWidgets::afterSettingsChange(settings, this, [this] {
        track_->setOn(services_.settings.trackTime());
        idle_->setSelection(QVariant::fromValue<qint64>(services_.settings.idleMinutes()));
        reload();
    });
    reload();
}

void TimeTrackingPage::reload()
{
    for (TimeTotalsRow* row : std::as_const(rows_))
        delete row;
    rows_.clear();
    for (RowDivider* divider : totalsCard_->findChildren<RowDivider*>())
        delete divider;

    const QList<Desktop>& desktops = services_.engine.desktops();
    double sum = 0;
    for (const Desktop& desktop : desktops)
        sum += desktop.meta().seconds;
    const double total = TimeBar::scale(sum);
    for (qsizetype i = 0; i < desktops.size(); ++i) {
        auto* row = new TimeTotalsRow(desktops[i], total);
        totalsCard_->addRow(row);
        rows_.append(row);
        if (i + 1 < desktops.size())
            totalsCard_->addRow(new RowDivider);
    }
}

void TimeTrackingPage::exportCSV()
{
    services_.engine.saveTime();
    platform::SavePanel panel;
    panel.nameFieldStringValue = TimeExport::proposedFileName;
    panel.allowedContentTypes = {platform::UTType::commaSeparatedText};
    if (panel.runModal() != platform::ModalResponse::ok || panel.url().isEmpty())
        return;

    QList<TimeExport::Row> rows;
    for (const Desktop& desktop : services_.engine.desktops())
        rows.append({desktop.number, desktop.displayName(), desktop.meta().seconds});
    const QUrl url = panel.url();
    const std::optional<QString> failure =
        url.isLocalFile() ? TimeExport::write(url.toLocalFile(), TimeExport::csv(rows))
                          : std::optional<QString>(QStringLiteral("Only files on this computer can be written."));
    if (failure)
        ErrorAlert::show(csvFailureTitle, *failure);
    else
        panel.fileWasSaved();
}
