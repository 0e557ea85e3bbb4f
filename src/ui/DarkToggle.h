#pragma once

#include <QAbstractButton>

// A small switch without a title (the caller places its own), filled with
// the tint palette's colour when on.
class DarkToggle : public QAbstractButton {
    Q_OBJECT
public:
    // The small switch's size.
    static constexpr int switchWidth = 32;
    static constexpr int switchHeight = 18;

    explicit DarkToggle(bool isOn, QWidget* parent = nullptr);

    bool isOn() const { return isChecked(); }
    void setOn(bool on) { setChecked(on); }
    QSize sizeHint() const override { return {switchWidth, switchHeight}; }

protected:
    void paintEvent(QPaintEvent* event) override;
};
