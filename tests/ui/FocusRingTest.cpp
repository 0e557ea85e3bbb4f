#include "UiTest.h"

#include "ui/AccentButton.h"
#include "ui/ColorSwatch.h"
#include "ui/DarkField.h"
#include "ui/DarkToggle.h"
#include "ui/IconButton.h"
#include "ui/IconCell.h"
#include "ui/PlainSymbolButton.h"
#include "ui/SegmentPicker.h"
#include "ui/SoftButton.h"
#include "ui/Theme.h"
#include "ui/ValueSlider.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QVBoxLayout>

#include <functional>
#include <memory>

namespace {

class FocusRingTest : public UiTest {};

// A window with a plain field first and the control after it: Tab from the
// field lands on the control.
struct TabStop {
    QWidget window;
    QLineEdit* first = new QLineEdit;
    QWidget* control;

    explicit TabStop(QWidget* made)
        : control(made)
    {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(first);
        layout->addWidget(control, 0, Qt::AlignLeft);
    }
};

struct Control {
    const char* name;
    std::function<QWidget*()> make;
    // Where the ring runs, from the control's size.
    std::function<QPointF(QSizeF)> onRing;
    QColor ring;
};

QPointF leftMiddle(QSizeF size)
{
    return {1, size.height() / 2};
}

// --- keyboard focus ---

TEST_F(FocusRingTest, TabDrawsARingOnEachKitControlAndSpaceAndReturnPressIt)
{
    const QColor onAccent = over(Theme::focusRingOnAccent(), Theme::blue());
    const std::vector<Control> controls{
        {"prominent button", [] { return new AccentButton(QStringLiteral("Done")); }, leftMiddle, onAccent},
        {"plain button", [] { return new AccentButton(QStringLiteral("Reset"), false); }, leftMiddle,
         Theme::focusRing()},
        {"soft button", [] { return new SoftButton(QStringLiteral("Quit")); }, leftMiddle, Theme::focusRing()},
        {"icon button", [] { return new IconButton(QStringLiteral("gearshape.fill")); }, leftMiddle,
         Theme::focusRing()},
        {"symbol button",
         [] { return new PlainSymbolButton(QStringLiteral("xmark.circle.fill"), 13, Theme::textSecondary()); },
         leftMiddle, Theme::focusRing()},
        {"switch", [] { return new DarkToggle(false); }, leftMiddle, Theme::focusRing()},
        {"segments",
         [] {
             return new SegmentPicker({{1, QStringLiteral("One")}, {2, QStringLiteral("Two")}}, 1);
         },
         leftMiddle, Theme::focusRing()},
        {"slider", [] { return new ValueSlider(0, 0, 10, 1, [](double v) { return QString::number(v); }); },
         leftMiddle, Theme::focusRing()},
        {"icon cell", [] { return new IconCell(SpaceIcon::none(), nullptr, QStringLiteral("None")); }, leftMiddle,
         Theme::focusRing()},
        {"colour swatch", [] { return new ColorSwatch(TileColor::palette(2), Qt::red); },
         [](QSizeF size) { return QPointF(size.width() / 2 - 10, size.height() / 2); }, Theme::focusRing()},
    };
    for (const Control& control : controls) {
        SCOPED_TRACE(control.name);
        TabStop stop(control.make());
        activate(stop.window);
        stop.first->setFocus();
        const QPointF point = control.onRing(QSizeF(stop.control->size()));
        EXPECT_FALSE(sameColor(at(render(*stop.control, Theme::canvas(), 2), point), control.ring, 12));

        tab(stop.window);
        ASSERT_TRUE(stop.control->hasFocus());
        EXPECT_TRUE(sameColor(at(render(*stop.control, Theme::canvas(), 2), point), control.ring, 12));
        if (auto* button = qobject_cast<QAbstractButton*>(stop.control)) {
            int clicks = 0;
            QObject::connect(button, &QAbstractButton::clicked, [&clicks] { ++clicks; });
            typeKey(button, Qt::Key_Space);
            typeKey(button, Qt::Key_Return);
            EXPECT_EQ(clicks, 2);
        }

        tab(stop.window, true);
        EXPECT_TRUE(stop.first->hasFocus());
        EXPECT_FALSE(sameColor(at(render(*stop.control, Theme::canvas(), 2), point), control.ring, 12));
    }
}

TEST_F(FocusRingTest, FocusGivenBeforeAnyKeyMovedItShowsNoRing)
{
    TabStop stop(new SoftButton(QStringLiteral("Quit")));
    activate(stop.window);
    stop.control->setFocus(Qt::MouseFocusReason);
    ASSERT_TRUE(stop.control->hasFocus());
    EXPECT_FALSE(sameColor(at(render(*stop.control, Theme::canvas(), 2), leftMiddle(stop.control->size())),
                           Theme::focusRing(), 12));
}

TEST_F(FocusRingTest, ATextFieldShowsTheRingWheneverItHasFocus)
{
    auto* field = new DarkField(new QLineEdit);
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* before = new QLineEdit;
    layout->addWidget(before);
    layout->addWidget(field);
    activate(window);
    before->setFocus();
    const QPointF edge(0.5, field->height() / 2.0);
    EXPECT_FALSE(sameColor(at(render(*field, Theme::canvas(), 2), edge), Theme::focusRing(), 12));

    // A click into the field gives it focus; no key moved it there.
    field->field()->setFocus(Qt::MouseFocusReason);
    EXPECT_TRUE(sameColor(at(render(*field, Theme::canvas(), 2), edge), Theme::focusRing(), 12));
    before->setFocus();
    EXPECT_FALSE(sameColor(at(render(*field, Theme::canvas(), 2), edge), Theme::focusRing(), 12));
}

TEST_F(FocusRingTest, ArrowKeysMoveTheFocusedSegmentPickersSelection)
{
    auto* picker = new SegmentPicker(
        {{1, QStringLiteral("One")}, {2, QStringLiteral("Two")}, {3, QStringLiteral("Three")}}, 1);
    TabStop stop(picker);
    QList<QVariant> chosen;
    QObject::connect(picker, &SegmentPicker::activated, [&chosen](const QVariant& value) { chosen.append(value); });
    activate(stop.window);
    stop.first->setFocus();
    tab(stop.window);
    ASSERT_TRUE(picker->hasFocus());
    typeKey(picker, Qt::Key_Right);
    typeKey(picker, Qt::Key_Right);
    typeKey(picker, Qt::Key_Right);
    EXPECT_EQ(picker->selection(), QVariant(3)) << "the last segment stays selected";
    typeKey(picker, Qt::Key_Left);
    EXPECT_EQ(picker->selection(), QVariant(2));
    EXPECT_EQ(chosen, (QList<QVariant>{2, 3, 2}));
}

} // namespace
