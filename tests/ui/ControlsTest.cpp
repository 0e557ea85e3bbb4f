#include "UiTest.h"

#include "ui/AccentButton.h"
#include "ui/DarkField.h"
#include "ui/DarkToggle.h"
#include "ui/IconButton.h"
#include "ui/KeyCap.h"
#include "ui/KitText.h"
#include "ui/RowHighlight.h"
#include "ui/SegmentPicker.h"
#include "ui/SoftButton.h"
#include "ui/Theme.h"
#include "ui/ValueSlider.h"
#include "ui/ViewEnvironment.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QVBoxLayout>

#include <cmath>

namespace {

class ControlsTest : public UiTest {
protected:
    static TintPalette greenPalette()
    {
        return {Qt::green, {Qt::green, Qt::darkGreen}, QColor(0, 255, 0, 40), Qt::black};
    }

    static QSize padded(const QString& text, const QFont& font, double horizontal, double vertical)
    {
        const QSizeF size = KitText::measure(text, font);
        return {int(std::ceil(size.width() + 2 * horizontal)), int(std::ceil(size.height() + 2 * vertical))};
    }
};

// A widget with the tint set on it, holding the control under test.
struct Tinted {
    QWidget root;
    explicit Tinted(QWidget* child, const TintPalette& palette)
    {
        child->setParent(&root);
        ViewEnvironment::setTintPalette(&root, palette);
    }
};

TEST_F(ControlsTest, ProminentAccentButtonIsTheTintGradientWithOnTintText)
{
    AccentButton done(QStringLiteral("Done"));
    EXPECT_TRUE(done.isProminent());
    EXPECT_EQ(done.sizeHint(), padded("Done", Theme::font(12.5, QFont::DemiBold), 13, 6.5));
    const QImage image = render(done, Theme::canvas(), 2);
    const double middle = done.height() / 2.0;
    // Blue at the top leading corner to lilac at the bottom trailing one.
    const QRectF bounds = done.rect();
    for (const QPointF point : {QPointF(6, 4), QPointF(6, bounds.height() - 4), QPointF(bounds.width() - 6, 4)}) {
        const QPointF diagonal = bounds.bottomRight() - bounds.topLeft();
        const double t = QPointF::dotProduct(point, diagonal) / QPointF::dotProduct(diagonal, diagonal);
        const QColor expected = QColor::fromRgbF(
            float(Theme::blue().redF() + (Theme::lilac().redF() - Theme::blue().redF()) * t),
            float(Theme::blue().greenF() + (Theme::lilac().greenF() - Theme::blue().greenF()) * t), 1.0f);
        EXPECT_TRUE(sameColor(at(image, point), expected, 3));
    }
    // The edge is the light border over the gradient.
    EXPECT_GT(at(image, {0.2, middle}).lightnessF(), at(image, {3, middle}).lightnessF());

    bool onTintText = false;
    for (double x = 13; x < done.width() - 13; x += 0.5)
        onTintText |= sameColor(at(image, {x, middle}), TintPalette::blue().onTint, 30);
    EXPECT_TRUE(onTintText);
}

TEST_F(ControlsTest, PlainAccentButtonIgnoresThePalette)
{
    auto* reset = new AccentButton(QStringLiteral("Reset"), false);
    Tinted tinted(reset, greenPalette());
    const QImage image = render(*reset, Theme::canvas(), 2);
    EXPECT_TRUE(sameColor(at(image, {8, reset->height() - 3.0}), Theme::elevated(), 2));
    EXPECT_TRUE(sameColor(at(image, {0.2, reset->height() / 2.0}), over(Theme::stroke(), Theme::elevated()), 3));

    auto* done = new AccentButton(QStringLiteral("Done"));
    Tinted greenDone(done, greenPalette());
    EXPECT_TRUE(sameColor(at(render(*done, Theme::canvas(), 2), {6, 4}), Qt::green, 16));
}

TEST_F(ControlsTest, PressingAnAccentButtonDimsAndShrinksItOverATenthOfASecond)
{
    AccentButton reset(QStringLiteral("Reset"), false);
    reset.resize(reset.sizeHint());
    const QPointF corner(8, reset.height() - 3.0);
    const QColor rest = at(render(reset, Qt::black, 2), corner);
    EXPECT_TRUE(sameColor(rest, Theme::elevated(), 2));

    press(reset, QPointF(reset.width() / 2.0, reset.height() / 2.0));
    EXPECT_TRUE(sameColor(at(render(reset, Qt::black, 2), corner), rest, 1));
    advance(0.12);
    EXPECT_TRUE(sameColor(at(render(reset, Qt::black, 2), corner), over(QColor::fromRgbF(Theme::elevated().redF(),
        Theme::elevated().greenF(), Theme::elevated().blueF(), 0.75f), Qt::black), 3));
    // Shrunk to 0.98 about the centre, the very edge shows the background.
    EXPECT_TRUE(sameColor(at(render(reset, Qt::black, 2), {0.3, reset.height() / 2.0}), Qt::black, 3));

    release(reset, QPointF(reset.width() / 2.0, reset.height() / 2.0));
    advance(0.12);
    EXPECT_TRUE(sameColor(at(render(reset, Qt::black, 2), corner), rest, 1));
}

TEST_F(ControlsTest, IconButtonIsASquareWithAWashThatFillsWhenPressed)
{
    IconButton gear(QStringLiteral("gearshape.fill"));
    EXPECT_EQ(gear.size(), QSize(28, 28));
    EXPECT_DOUBLE_EQ(gear.labelSize(), 12.6);
    const QImage rest = render(gear, Theme::canvas(), 2);
    EXPECT_TRUE(sameColor(at(rest, {4, 24}), over(Theme::wash(), Theme::canvas()), 1));
    EXPECT_TRUE(sameColor(at(rest, {0.2, 14}), over(Theme::hairline(), over(Theme::wash(), Theme::canvas())), 2));
    bool symbolDrawn = false;
    for (double x = 8; x < 20; x += 0.5)
        symbolDrawn |= sameColor(at(rest, {x, 14}), over(Theme::textSecondary(), over(Theme::wash(), Theme::canvas())), 6);
    EXPECT_TRUE(symbolDrawn);

    gear.setDown(true);
    EXPECT_TRUE(sameColor(at(render(gear, Theme::canvas(), 2), {4, 24}), over(Theme::fill(), Theme::canvas()), 1));

    IconButton small(QStringLiteral("photo"), 26);
    EXPECT_EQ(small.size(), QSize(26, 26));
}

TEST_F(ControlsTest, SoftButtonIsPaddedSecondaryText)
{
    SoftButton button(QStringLiteral("Export CSV"));
    EXPECT_EQ(button.sizeHint(), padded("Export CSV", Theme::font(12, QFont::Medium), 10, 6));
    const QImage image = render(button, Theme::canvas(), 2);
    EXPECT_TRUE(sameColor(at(image, {4, button.height() - 4.0}), over(Theme::wash(), Theme::canvas()), 1));
    button.setDown(true);
    EXPECT_TRUE(sameColor(at(render(button, Theme::canvas(), 2), {4, button.height() - 4.0}),
                          over(Theme::fill(), Theme::canvas()), 1));
}

TEST_F(ControlsTest, SegmentPickerFillsTheSelectedSegmentWithTheTint)
{
    SegmentPicker picker({{0, QStringLiteral("Icon")}, {1, QStringLiteral("Name")}, {2, QStringLiteral("Both")}}, 1);
    EXPECT_FALSE(picker.isSelected(0));
    EXPECT_TRUE(picker.isSelected(1));
    const QImage image = render(picker, Theme::canvas(), 2);
    const QRectF name = picker.segmentRect(1);
    const QRectF icon = picker.segmentRect(0);
    EXPECT_DOUBLE_EQ(icon.left(), 2);
    EXPECT_DOUBLE_EQ(name.left() - icon.right(), 2);
    EXPECT_DOUBLE_EQ(icon.height(), KitText::measure("Icon", Theme::font(12, QFont::Medium)).height() + 10);
    const QColor well = over(QColor::fromRgbF(0, 0, 0, 0.35f), Theme::canvas());
    EXPECT_TRUE(sameColor(at(image, {name.left() + 3, name.center().y()}), Theme::blue(), 2));
    EXPECT_TRUE(sameColor(at(image, {icon.left() + 3, icon.center().y()}), well, 1));
    EXPECT_TRUE(sameColor(at(image, {0.2, picker.height() / 2.0}), over(Theme::hairline(), well), 2));
}

TEST_F(ControlsTest, ClickingASegmentSelectsItWithAnEaseOut)
{
    SegmentPicker picker({{QStringLiteral("a"), QStringLiteral("Auto")}, {QStringLiteral("b"), QStringLiteral("Big")}},
                         QStringLiteral("none of them"));
    picker.resize(picker.sizeHint());
    QVariantList activated;
    QObject::connect(&picker, &SegmentPicker::activated, [&](const QVariant& value) { activated.append(value); });
    EXPECT_FALSE(picker.isSelected(0));
    EXPECT_FALSE(picker.isSelected(1));

    const QRectF big = picker.segmentRect(1);
    click(picker, big.center());
    ASSERT_EQ(activated.size(), 1);
    EXPECT_EQ(activated[0], QVariant(QStringLiteral("b")));
    EXPECT_TRUE(picker.isSelected(1));

    const QRectF grown = picker.segmentRect(1);
    const QPointF probe(grown.left() + 3, grown.center().y());
    advance(0.05);
    const QColor midway = at(render(picker, Theme::canvas(), 2), probe);
    EXPECT_FALSE(sameColor(midway, Theme::blue(), 4));
    advance(0.1);
    EXPECT_TRUE(sameColor(at(render(picker, Theme::canvas(), 2), probe), Theme::blue(), 2));

    // Clicking the selected segment writes again.
    click(picker, picker.segmentRect(1).center());
    EXPECT_EQ(activated.size(), 2);
}

TEST_F(ControlsTest, SegmentPickerWithoutOptionsIsItsPaddedWell)
{
    SegmentPicker empty({}, {});
    EXPECT_EQ(empty.sizeHint(), QSize(4, 4));
    const QImage image = render(empty, Theme::canvas(), 2);
    EXPECT_FALSE(sameColor(at(image, {2, 2}), Theme::canvas(), 0));
}

TEST_F(ControlsTest, RetintingRecoloursTheSelectedSegment)
{
    auto* picker = new SegmentPicker({{0, QStringLiteral("On")}, {1, QStringLiteral("Off")}}, 0);
    Tinted tinted(picker, greenPalette());
    const QRectF on = picker->segmentRect(0);
    EXPECT_TRUE(sameColor(at(render(*picker, Theme::canvas(), 2), {on.left() + 3, on.center().y()}), Qt::green, 2));
}

TEST_F(ControlsTest, KeyCapIsTheTextOnASmallKey)
{
    KeyCap cap(QStringLiteral("⌘K"));
    EXPECT_DOUBLE_EQ(cap.fontSize(), 11);
    EXPECT_EQ(cap.sizeHint(), padded("⌘K", Theme::displayFont(11, QFont::DemiBold), 6, 2.5));
    const QImage image = render(cap, Theme::canvas(), 2);
    const QColor key = over(QColor::fromRgbF(1, 1, 1, 0.07f), Theme::canvas());
    EXPECT_TRUE(sameColor(at(image, {3, cap.height() / 2.0}), key, 1));
    EXPECT_TRUE(sameColor(at(image, {0.2, cap.height() / 2.0}), over(QColor::fromRgbF(1, 1, 1, 0.13f), key), 2));
    EXPECT_GT(KeyCap(QStringLiteral("⌘K"), 16).sizeHint().width(), cap.sizeHint().width());
}

TEST_F(ControlsTest, SliderShowsItsFormattedValueAndSnapsToStepsWhenMoved)
{
    ValueSlider slider(1.24, 0.5, 3, 0.1, [](double v) { return QString::number(v, 'f', 1) + QStringLiteral(" s"); });
    EXPECT_EQ(slider.sizeHint().width(), 212);
    EXPECT_DOUBLE_EQ(slider.value(), 1.24);
    EXPECT_EQ(slider.text(), "1.2 s");
    slider.setValue(99);
    EXPECT_DOUBLE_EQ(slider.value(), 99);
    slider.setValue(std::nan(""));
    EXPECT_DOUBLE_EQ(slider.value(), 99);

    slider.resize(slider.sizeHint());
    QList<double> changed;
    QObject::connect(&slider, &ValueSlider::valueChanged, [&](double value) { changed.append(value); });
    click(slider, QPointF(2, slider.height() / 2.0));
    EXPECT_DOUBLE_EQ(slider.value(), 0.5);
    ASSERT_EQ(changed.size(), 1);
    EXPECT_DOUBLE_EQ(changed[0], 0.5);
    EXPECT_EQ(slider.text(), "0.5 s");
}

TEST_F(ControlsTest, SliderShowsTheStoredValueNotItsSnappedStep)
{
    const auto points = [](double v) { return QString::number(qint64(std::trunc(v))) + QStringLiteral(" pt"); };
    ValueSlider slider(-12.7, -80, 80, 1, points);
    EXPECT_EQ(slider.text(), "-12 pt");
    EXPECT_DOUBLE_EQ(slider.value(), -12.7);
    slider.setValue(-12.2);
    EXPECT_EQ(slider.text(), "-12 pt");

    // Moving it by a step lands on a step.
    QList<double> changed;
    QObject::connect(&slider, &ValueSlider::valueChanged, [&](double value) { changed.append(value); });
    keyPress(&slider, Qt::Key_Right);
    keyPress(&slider, Qt::Key_Right);
    EXPECT_EQ(changed, (QList<double>{-11, -10}));
    EXPECT_EQ(slider.text(), "-10 pt");
}

TEST_F(ControlsTest, AStoredValueOutOfRangeShowsAsItIsWithTheKnobAtTheEnd)
{
    const auto plain = [](double v) { return QString::number(v); };
    auto* beyond = new ValueSlider(500, 0, 3, 1, plain);
    auto* end = new ValueSlider(3, 0, 3, 1, plain);
    EXPECT_EQ(beyond->text(), "500");
    Tinted tintedBeyond(beyond, greenPalette());
    Tinted tintedEnd(end, greenPalette());
    // Apart from the text the two draw alike: the knob sits at the end.
    const QImage a = render(*beyond, Theme::canvas(), 2);
    const QImage b = render(*end, Theme::canvas(), 2);
    for (double x = 0; x < ValueSlider::trackWidth; x += 1)
        EXPECT_EQ(at(a, {x, beyond->height() / 2.0}), at(b, {x, end->height() / 2.0})) << x;
}

TEST_F(ControlsTest, SliderFillIsTintedAndTheTextSitsAtTheTrailingEdge)
{
    auto* slider = new ValueSlider(3, 0, 3, 1, [](double v) { return QString::number(v); });
    Tinted tinted(slider, greenPalette());
    const QImage image = render(*slider, Theme::canvas(), 2);
    const double middle = slider->height() / 2.0;
    EXPECT_TRUE(sameColor(at(image, {20, middle}), Qt::green, 2));
    bool textAtTheEnd = false;
    for (double x = 205; x < 212; x += 0.5)
        textAtTheEnd |= !sameColor(at(image, {x, middle}), Theme::canvas(), 0);
    EXPECT_TRUE(textAtTheEnd);
    for (double x = 150; x < 195; x += 0.5)
        EXPECT_TRUE(sameColor(at(image, {x, middle}), Theme::canvas(), 0));
}

TEST_F(ControlsTest, ToggleSwitchesAndShowsTheTintWhenOn)
{
    auto* toggle = new DarkToggle(false);
    Tinted tinted(toggle, greenPalette());
    QList<bool> toggled;
    QObject::connect(toggle, &QAbstractButton::toggled, [&](bool on) { toggled.append(on); });
    const QPointF track(toggle->width() / 2.0, 2);
    EXPECT_FALSE(sameColor(at(render(*toggle, Theme::canvas(), 2), track), Qt::green, 10));

    click(*toggle, QPointF(toggle->width() / 2.0, toggle->height() / 2.0));
    EXPECT_TRUE(toggle->isOn());
    EXPECT_EQ(toggled, QList<bool>{true});
    const QImage on = render(*toggle, Theme::canvas(), 2);
    EXPECT_TRUE(sameColor(at(on, {4, toggle->height() / 2.0}), Qt::green, 2));
    // The knob sits at the trailing end.
    EXPECT_TRUE(sameColor(at(on, {toggle->width() - 9.0, toggle->height() / 2.0}), Qt::white, 2));
}

TEST_F(ControlsTest, DarkFieldPadsAPlainFieldOnADarkWell)
{
    auto* field = new QLineEdit(QStringLiteral("Deep Work"));
    DarkField dark(field);
    dark.resize(200, dark.sizeHint().height());
    const QImage image = render(dark, Theme::canvas(), 2);
    EXPECT_FALSE(field->hasFrame());
    EXPECT_EQ(field->geometry().topLeft(), QPoint(10, 6));
    EXPECT_EQ(dark.height(), field->height() + 12);
    const QColor well = over(QColor::fromRgbF(0, 0, 0, 0.32f), Theme::canvas());
    EXPECT_TRUE(sameColor(at(image, {190, dark.height() - 3.0}), well, 1));
    EXPECT_TRUE(sameColor(at(image, {0.2, dark.height() / 2.0}), over(Theme::stroke(), well), 2));
}

TEST_F(ControlsTest, KeysReachingAFieldWithoutFocusTypeOnWhileTextFromOutsideShowsItsStart)
{
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* other = new QLineEdit;
    layout->addWidget(other);
    auto* field = new QLineEdit;
    layout->addWidget(new DarkField(field));
    activate(window);
    other->setFocus();
    // Keys delivered to the field though it does not hold the focus (a
    // synthetic key, an accessibility tool).
    for (const QChar c : QStringLiteral("Code ")) {
        QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(field, &key);
    }
    EXPECT_EQ(field->text(), "Code ");
    EXPECT_EQ(field->cursorPosition(), 5);
    // Another writer's text shows its start.
    field->setText(QStringLiteral("Mail and more"));
    EXPECT_EQ(field->cursorPosition(), 0);
}

TEST_F(ControlsTest, ALongTextInAFieldWithoutFocusShowsItsStart)
{
    const QString start = QStringLiteral("Quarterly planning");
    const QString whole = start + QStringLiteral(" and the very long project review board xyz");
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* other = new QLineEdit;
    layout->addWidget(other);
    // Filled before it is shown, as a row fills its name field.
    auto* field = new QLineEdit(whole);
    auto* dark = new DarkField(field);
    dark->setFixedWidth(160);
    layout->addWidget(dark);
    DarkField reference(new QLineEdit(start));
    reference.setFixedWidth(160);
    activate(window);
    other->setFocus();
    const auto leftPart = [](QWidget& shown) {
        return render(shown, Theme::canvas(), 2).copy(QRect(20, 0, 100, shown.height() * 2));
    };
    const QImage expected = leftPart(reference);
    EXPECT_TRUE(leftPart(*dark) == expected);

    // Typed at its end, then left.
    field->setFocus(Qt::MouseFocusReason);
    field->end(false);
    field->insert(QStringLiteral("!"));
    EXPECT_FALSE(leftPart(*dark) == expected) << "the end shows while typing";
    other->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(leftPart(*dark) == expected);
    // Given the focus again by the app, typing goes on at the end.
    field->setFocus(Qt::OtherFocusReason);
    field->insert(QStringLiteral("?"));
    EXPECT_EQ(field->text(), whole + "!?");
}

TEST_F(ControlsTest, RowHighlightPrefersSelectionOverHover)
{
    EXPECT_EQ(RowHighlight::fill(false, false), std::nullopt);
    EXPECT_EQ(RowHighlight::fill(true, false), Theme::wash());
    EXPECT_EQ(RowHighlight::fill(false, true), Theme::fill());
    EXPECT_EQ(RowHighlight::fill(true, true), Theme::fill());

    auto* content = new QWidget;
    content->setFixedSize(120, 30);
    RowHighlight row(content);
    EXPECT_TRUE(sameColor(at(render(row, Theme::canvas(), 2), {60, 15}), Theme::canvas(), 0));
    row.setHovering(true);
    row.setSelected(true);
    const QImage image = render(row, Theme::canvas(), 2);
    EXPECT_TRUE(sameColor(at(image, {60, 15}), over(Theme::fill(), Theme::canvas()), 1));
    EXPECT_TRUE(sameColor(at(image, {0.3, 0.3}), Theme::canvas(), 0));
}

} // namespace
