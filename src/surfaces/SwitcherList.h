#pragma once

#include <QLabel>
#include <QList>
#include <QPointer>
#include <QScrollArea>
#include <QString>
#include <QWidget>

#include <utility>

class QVBoxLayout;
class SwitcherModel;
class SwitcherRow;

// The list below the Quick Switcher's search row: a row per matching desktop
// (SwitcherRow), or "No matching space", above a footer of key hints. It
// draws a SwitcherModel and writes back only the selection (pointer hover)
// and the choice of a row (a click, through the model's onActivate). Rows
// scroll, without indicators, and the selected row is scrolled into view;
// when the environment renders flat the rows stand without a scroll view.
class SwitcherList : public QWidget {
    Q_OBJECT
public:
    static constexpr double footerHeight = 32;
    static constexpr double emptyHeight = 46;
    static constexpr double rowSpacing = 2;

    explicit SwitcherList(SwitcherModel& model, QWidget* parent = nullptr);

    // The footer's hints: (key text, label), in order.
    static const QList<std::pair<QString, QString>>& footerHints();

    QList<SwitcherRow*> rows() const;
    // Null while the list has rows.
    QLabel* emptyLabel() const { return empty_; }
    // Null while flat.
    QScrollArea* scrollArea() const { return scroll_; }
    // The card the list fills the bottom of has these rounded corners and a
    // border this wide inside its edge: the footer's band keeps inside both.
    void setCardCorners(double radius, double border);

protected:
    bool event(QEvent* event) override;

private:
    class Footer;
    void rebuild();
    void selectionChanged();

    SwitcherModel& model_;
    QVBoxLayout* contentLayout_ = nullptr;
    QPointer<QWidget> content_;
    QPointer<QWidget> stack_;
    QPointer<QLabel> empty_;
    QPointer<QScrollArea> scroll_;
    Footer* footer_ = nullptr;
    QList<QPointer<SwitcherRow>> rows_;
    int selected_ = -1;
};
