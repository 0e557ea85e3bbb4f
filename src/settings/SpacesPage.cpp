#include "settings/SpacesPage.h"

#include "engine/SpaceEngine.h"
#include "settings/EditorPopover.h"
#include "settings/SettingsTexts.h"
#include "settings/SettingsWidgets.h"
#include "settings/SpaceSettingsRow.h"
#include "store/SpaceStore.h"
#include "ui/RowDivider.h"
#include "ui/SectionHeader.h"
#include "ui/SettingsCard.h"
#include "ui/Theme.h"

#include <QLabel>
#include <QShowEvent>
#include <QVBoxLayout>

const QString SpacesPage::hint = QStringLiteral("Click a tile for icon, color and shortcut. Names save as you type. "
                                                "Add or remove desktops in Mission Control as usual.");

SpacesPage::SpacesPage(const SettingsServices& services, QWidget* parent)
    : QWidget(parent)
    , services_(services)
{
    setObjectName(QStringLiteral("spacesPage"));
    auto* layout = SettingsWidgets::column(this);
    auto* cardsHolder = new QWidget;
    cards_ = SettingsWidgets::column(cardsHolder);
    layout->addWidget(cardsHolder);
    QLabel* hintLabel =
        SettingsWidgets::label(hint, Theme::font(11.5), Theme::textTertiary(), SettingsWidgets::Wrap::wrapping);
    hintLabel->setObjectName(QStringLiteral("hint"));
    layout->addWidget(hintLabel);

    connect(&services_.engine, &SpaceEngine::changed, this, &SpacesPage::reload);
    // Rows follow the stored names even before the engine passes a change on.
    metaChanged_ = platform::NotificationCenter::defaultCenter().observe(SpaceStore::changedNotification,
                                                                       [this] { reload(); });
    SettingsWidgets::afterSettingsChange(services_.settings, this, [this] { reload(); });
    reload();
}

QList<SpaceSettingsRow*> SpacesPage::rows() const
{
    QList<SpaceSettingsRow*> ordered;
    for (const QList<quint64>& display : built_) {
        for (quint64 id : display)
            ordered.append(rows_.value(id));
    }
    return ordered;
}

QList<QList<quint64>> SpacesPage::structure() const
{
    QList<QList<quint64>> ids;
    for (const SkyLight::Display& display : services_.engine.displays()) {
        QList<quint64> desktops;
        for (const Desktop& desktop : services_.engine.desktopsOnDisplay(display.uuid))
            desktops.append(desktop.id());
        ids.append(desktops);
    }
    return ids;
}

void SpacesPage::reload()
{
    const QList<QList<quint64>> now = structure();
    if (!builtOnce_ || now != built_) {
        built_ = now;
        builtOnce_ = true;
        rebuild();
        return;
    }
    for (const Desktop& desktop : services_.engine.desktops()) {
        if (SpaceSettingsRow* row = rows_.value(desktop.id()))
            row->refresh(desktop, services_.engine.apps(desktop));
    }
}

void SpacesPage::rebuild()
{
    // Rows that stay are lifted out of their cards before the cards go.
    for (SpaceSettingsRow* row : std::as_const(rows_))
        row->setParent(nullptr);
    SettingsWidgets::clear(cards_);

    QHash<quint64, SpaceSettingsRow*> kept;
    const QList<SkyLight::Display>& displays = services_.engine.displays();
    for (qsizetype i = 0; i < displays.size(); ++i) {
        if (displays.size() >= 2) {
            auto* header = new SectionHeader(SettingsTexts::displayHeader(i));
            header->setObjectName(QStringLiteral("displayHeader"));
            cards_->addWidget(header);
        }
        auto* card = new SettingsCard;
        card->setObjectName(QStringLiteral("displayCard"));
        const QList<Desktop> desktops = services_.engine.desktopsOnDisplay(displays[i].uuid);
        for (qsizetype k = 0; k < desktops.size(); ++k) {
            const Desktop& desktop = desktops[k];
            const QList<SpaceApp> apps = services_.engine.apps(desktop);
            SpaceSettingsRow* row = rows_.take(desktop.id());
            if (row)
                row->refresh(desktop, apps);
            else
                row = new SpaceSettingsRow(desktop, apps, services_);
            card->addRow(row);
            kept.insert(desktop.id(), row);
            if (k + 1 < desktops.size())
                card->addRow(new RowDivider);
        }
        cards_->addWidget(card);
    }
    for (SpaceSettingsRow* gone : std::as_const(rows_))
        delete gone;
    rows_ = kept;
}

void SpacesPage::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        services_.engine.appsByDesktop(true);
}
