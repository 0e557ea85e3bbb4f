#include "surfaces/SwitcherModel.h"

#include "store/SpaceSearch.h"

#include <algorithm>

void SwitcherModel::setRows(QList<Desktop> rows)
{
    rows_ = std::move(rows);
    emit rowsChanged();
}

void SwitcherModel::setSelection(int selection)
{
    selection_ = selection;
    emit selectionChanged();
}

void SwitcherModel::setApps(AppsMap apps)
{
    apps_ = std::move(apps);
    appNames_.clear();
    appNames_.reserve(apps_.size());
    for (auto it = apps_.constBegin(); it != apps_.constEnd(); ++it) {
        QStringList names;
        names.reserve(it.value().size());
        for (const SpaceApp& app : it.value())
            names.append(app.name);
        appNames_.insert(it.key(), std::move(names));
    }
}

void SwitcherModel::setQuery(const QString& text)
{
    query_ = SpaceSearch::normalize(text);
    openingApps_.clear();
    if (query_.isEmpty()) {
        setRows(all_);
        setSelection(openingSelection());
        return;
    }
    QList<std::pair<Desktop, int>> found = results(all_);
    std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    QList<Desktop> rows;
    rows.reserve(found.size());
    for (const auto& [desktop, score] : found) {
        rows.append(desktop);
        if (score != SpaceSearch::Score::app)
            continue;
        const QList<SpaceApp> onDesktop = apps_.value(desktop.id());
        const auto match = SpaceSearch::firstPrefixMatch(query_, appNames_.value(desktop.id()));
        if (match && *match < onDesktop.size())
            openingApps_.insert(desktop.id(), onDesktop[*match]);
    }
    setRows(std::move(rows));
    setSelection(0);
}

// On opening, Return goes back to the last desktop, else to the first one
// that is not current.
int SwitcherModel::openingSelection() const
{
    if (lastID_) {
        for (int i = 0; i < rows_.size(); ++i) {
            if (rows_[i].id() == *lastID_)
                return i;
        }
    }
    for (int i = 0; i < rows_.size(); ++i) {
        if (!currentID_ || rows_[i].id() != *currentID_)
            return i;
    }
    return 0;
}

QList<std::pair<Desktop, int>> SwitcherModel::results(const QList<Desktop>& desktops) const
{
    QList<std::pair<Desktop, int>> found;
    static const QStringList none;
    for (const Desktop& desktop : desktops) {
        const auto names = appNames_.constFind(desktop.id());
        const auto score = SpaceSearch::score(query_, desktop.displayName(), desktop.number,
                                              names == appNames_.constEnd() ? none : *names);
        if (score)
            found.append({desktop, *score});
    }
    return found;
}

void SwitcherModel::move(int step)
{
    const int count = int(rows_.size());
    if (count == 0)
        return;
    // A selection left outside the rows counts from the first row.
    const int from = std::clamp(selection_, 0, count - 1);
    setSelection(((from + step) % count + count) % count);
}

std::optional<Desktop> SwitcherModel::selectedDesktop() const
{
    if (selection_ < 0 || selection_ >= rows_.size())
        return std::nullopt;
    return rows_[selection_];
}

std::optional<SpaceApp> SwitcherModel::openingApp(const Desktop& desktop) const
{
    const auto found = openingApps_.constFind(desktop.id());
    if (found == openingApps_.constEnd())
        return std::nullopt;
    return *found;
}

void SwitcherModel::load(QList<Desktop> all, AppsMap apps, std::optional<quint64> currentID,
                         std::optional<quint64> lastID)
{
    all_ = std::move(all);
    setApps(std::move(apps));
    currentID_ = currentID;
    lastID_ = lastID;
    setQuery(QString());
}
