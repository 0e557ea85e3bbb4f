#pragma once

#include "platform/NotificationCenter.h"
#include "settings/SettingsServices.h"

#include <QHash>
#include <QList>
#include <QWidget>

class SpaceSettingsRow;
class QVBoxLayout;

// Every desktop, grouped by display: a card of rows per display (headed
// "Display <n>" when there are two or more), then the hint. Follows the
// engine: a change of the displays or desktops rebuilds the cards, keeping
// each row (typed text, open editor) whose desktop stays; any other change
// redraws the rows in place.
class SpacesPage : public QWidget {
    Q_OBJECT
public:
    static const QString hint;

    explicit SpacesPage(const SettingsServices& services, QWidget* parent = nullptr);

    // The rows in the engine's order.
    QList<SpaceSettingsRow*> rows() const;
    SpaceSettingsRow* row(quint64 desktopID) const { return rows_.value(desktopID); }
    void reload();

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The desktop ids of each display, in order: what the cards are built of.
    QList<QList<quint64>> structure() const;
    void rebuild();

    SettingsServices services_;
    QVBoxLayout* cards_;
    QHash<quint64, SpaceSettingsRow*> rows_;
    QList<QList<quint64>> built_;
    bool builtOnce_ = false;
    platform::NotificationCenter::Subscription metaChanged_;
};
