#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class SwitcherList;
class SwitcherModel;

// The Quick Switcher's card drawn without its panel and text field, for the
// offscreen renders: a search row showing a query (or the placeholder), a
// divider and the switcher's own list of the model, on the card's rounded
// background. 460 points wide; the list keeps room for 1 to 9 rows whatever
// the model holds, and follows the model's rows.
class SwitcherRender final : public QWidget {
    Q_OBJECT
public:
    static constexpr double cardWidth = 460;
    static constexpr double searchRowHeight = 56;
    static constexpr double searchLeading = 18;
    static constexpr double iconSide = 22;
    static constexpr double iconPointSize = 16;
    static constexpr double searchSpacing = 10;
    static constexpr double queryFontSize = 19;
    static constexpr double rowHeight = 46;
    // The list's padding (12) and footer (32) below the rows.
    static constexpr double listExtra = 44;
    static constexpr int maxRows = 9;
    static constexpr double cornerRadius = 16;

    SwitcherRender(SwitcherModel& model, const QString& query, QWidget* parent = nullptr);

    // The height of the list's frame for a number of rows.
    static double listHeight(qsizetype rows);

    SwitcherModel& model() const { return model_; }
    QString query() const { return query_; }
    QWidget* searchField() const { return searchRow_; }
    QLabel* queryText() const { return queryText_; }
    SwitcherList* list() const { return list_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void fitList();

    SwitcherModel& model_;
    QString query_;
    QWidget* searchRow_ = nullptr;
    QLabel* queryText_ = nullptr;
    SwitcherList* list_ = nullptr;
};
