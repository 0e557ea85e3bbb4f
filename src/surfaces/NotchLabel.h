#pragma once

#include "engine/Desktop.h"
#include "store/SettingEnums.h"

#include <QWidget>

#include <optional>

// What a notch label shows; a change redraws it.
struct NotchState {
    std::optional<Desktop> desktop;
    // Which side of the notch the label grows to.
    NotchSide side = NotchSide::left;
    NotchContent content = NotchContent::iconAndName;
    // The notch height.
    double height = 32;
};

// The black label beside the notch: the desktop's tile and/or name on one
// line, with the wide padding on the side that lies under the notch.
class NotchLabel : public QWidget {
    Q_OBJECT
public:
    static constexpr double iconSize = 18;
    static constexpr double iconRadius = 5;
    static constexpr double spacing = 7;
    static constexpr double fontSize = 13;
    static constexpr double outerPadding = 13;
    // Reaches 9 points past the part hidden under the notch.
    static constexpr double notchPadding = 40 + 9;
    static constexpr double maxWidth = 260 + 40;

    explicit NotchLabel(QWidget* parent = nullptr);

    const NotchState& state() const { return state_; }
    void setState(const NotchState& state);

    // The label's ideal width for a state, at most maxWidth.
    static double fittingWidth(const NotchState& state);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    NotchState state_;
};
