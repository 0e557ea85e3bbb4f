#pragma once

#include "ui/SettingsPage.h"

#include <QAbstractButton>

// One page tab of the settings window: the page's symbol and label, filled
// with the tint gradient while selected, on a faint wash with a hairline
// otherwise. Never truncated: it keeps the size of its content, with room
// for the label in its selected (semibold) weight whether selected or not.
class PageTab : public QAbstractButton {
    Q_OBJECT
public:
    explicit PageTab(SettingsPage page, QWidget* parent = nullptr);

    SettingsPage page() const { return page_; }
    bool isSelected() const { return selected_; }
    void setSelected(bool selected);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QFont labelFont() const;
    QSizeF labelRoom() const;

    SettingsPage page_;
    bool selected_ = false;
};
