#pragma once

#include "engine/Desktop.h"
#include "engine/SpaceApp.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <utility>

// The state behind the Quick Switcher: every desktop as the engine listed it
// when the panel opened, the apps on each, the current and the last desktop,
// the typed query, the rows that match it in their order, the selected row,
// and for each row found through an app's name the app a switch there brings
// forward. rows and selection announce every write; the rest is plain data
// that only setQuery() turns into rows. Main thread only.
class SwitcherModel : public QObject {
    Q_OBJECT
public:
    using AppsMap = QHash<quint64, QList<SpaceApp>>;

    SwitcherModel() = default;

    // The rows shown, in display order.
    const QList<Desktop>& rows() const { return rows_; }
    void setRows(QList<Desktop> rows);
    // Index into rows(); may lie outside it when there are no rows.
    int selection() const { return selection_; }
    void setSelection(int selection);

    const QList<Desktop>& all() const { return all_; }
    void setAll(QList<Desktop> all) { all_ = std::move(all); }
    const AppsMap& apps() const { return apps_; }
    void setApps(AppsMap apps);
    // The apps of one desktop; empty when none are known.
    QList<SpaceApp> apps(quint64 desktopID) const { return apps_.value(desktopID); }
    std::optional<quint64> currentID() const { return currentID_; }
    void setCurrentID(std::optional<quint64> id) { currentID_ = id; }
    std::optional<quint64> lastID() const { return lastID_; }
    void setLastID(std::optional<quint64> id) { lastID_ = id; }
    // The normalised query.
    const QString& query() const { return query_; }
    const QHash<quint64, SpaceApp>& openingApps() const { return openingApps_; }

    // Called with a clicked row's desktop; set by the panel.
    std::function<void(const Desktop&)> onActivate;
    // Asked before the pointer may move the selection; unset allows it.
    std::function<bool()> hoverAllowed;

    // Takes the search field's raw text: sets the query, the apps to open,
    // the rows and the selection (in that order).
    void setQuery(const QString& text);
    // The desktops that match the query, each with its score, in input order.
    QList<std::pair<Desktop, int>> results(const QList<Desktop>& desktops) const;
    // Moves the selection by step rows, wrapping around; nothing without rows.
    void move(int step);
    std::optional<Desktop> selectedDesktop() const;
    std::optional<SpaceApp> openingApp(const Desktop& desktop) const;
    // Stores the four values, then starts over with an empty query.
    void load(QList<Desktop> all, AppsMap apps, std::optional<quint64> currentID, std::optional<quint64> lastID);

signals:
    void rowsChanged();
    void selectionChanged();

private:
    int openingSelection() const;

    QList<Desktop> rows_;
    int selection_ = 0;
    AppsMap apps_;
    // The app names per desktop, made once per setApps() for scoring.
    QHash<quint64, QStringList> appNames_;
    std::optional<quint64> currentID_;
    std::optional<quint64> lastID_;
    QString query_;
    QHash<quint64, SpaceApp> openingApps_;
    QList<Desktop> all_;
};
