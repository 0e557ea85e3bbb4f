#include "UiTest.h"

#include "ui/HintedScrollView.h"
#include "ui/Theme.h"
#include "ui/ViewEnvironment.h"

#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

namespace {

class HintedScrollViewTest : public UiTest {
protected:
    // A page of the given height with a button buttonTop points down.
    static QWidget* page(int height, QPushButton** button = nullptr, int buttonTop = 0)
    {
        auto* content = new QWidget;
        content->setMinimumHeight(height);
        content->setMaximumHeight(height);
        auto* layout = new QVBoxLayout(content);
        layout->setContentsMargins(0, buttonTop, 0, 0);
        auto* top = new QPushButton(QStringLiteral("Export"));
        layout->addWidget(top, 0, Qt::AlignTop);
        if (button)
            *button = top;
        return content;
    }

    // A view 200 points high, shown so that it lays itself out.
    static void open(HintedScrollView& view)
    {
        view.resize(300, 200);
        view.show();
    }
};

TEST_F(HintedScrollViewTest, ShortContentHasNoFade)
{
    HintedScrollView view(page(150));
    open(view);
    advance(0.2);
    EXPECT_FALSE(view.moreBelow());
    EXPECT_EQ(view.fadeOpacity(), 0);
}

TEST_F(HintedScrollViewTest, FadeNeedsMoreThanTwoPointsHiddenBelow)
{
    HintedScrollView exactly(page(202));
    open(exactly);
    EXPECT_FALSE(exactly.moreBelow());

    HintedScrollView beyond(page(203));
    open(beyond);
    EXPECT_TRUE(beyond.moreBelow());
}

TEST_F(HintedScrollViewTest, FadeEasesInOverTheBottom44Points)
{
    HintedScrollView view(page(600));
    open(view);
    EXPECT_TRUE(view.moreBelow());
    EXPECT_EQ(view.fadeOpacity(), 0);
    advance(0.07);
    EXPECT_GT(view.fadeOpacity(), 0.5);
    EXPECT_LT(view.fadeOpacity(), 1);
    advance(0.1);
    EXPECT_EQ(view.fadeOpacity(), 1);

    const QImage image = render(view, Theme::surface(), 1);
    EXPECT_TRUE(sameColor(at(image, {150, 199}), Theme::canvas(), 4));
    EXPECT_TRUE(sameColor(at(image, {150, 150}), Theme::surface(), 0));
    EXPECT_FALSE(sameColor(at(image, {150, 170}), Theme::surface(), 0));
}

TEST_F(HintedScrollViewTest, ScrollingToTheEndHidesTheFadeAndBackShowsIt)
{
    HintedScrollView view(page(600));
    open(view);
    advance(0.2);
    QScrollBar* bar = view.scrollArea()->verticalScrollBar();
    bar->setValue(bar->maximum());
    EXPECT_FALSE(view.moreBelow());
    advance(0.07);
    EXPECT_GT(view.fadeOpacity(), 0);
    advance(0.1);
    EXPECT_EQ(view.fadeOpacity(), 0);

    bar->setValue(bar->maximum() - 2);
    EXPECT_FALSE(view.moreBelow());
    bar->setValue(bar->maximum() - 3);
    EXPECT_TRUE(view.moreBelow());
}

TEST_F(HintedScrollViewTest, GrowingTheWindowToShowEverythingHidesTheFade)
{
    HintedScrollView view(page(400));
    open(view);
    EXPECT_TRUE(view.moreBelow());
    view.resize(300, 420);
    EXPECT_FALSE(view.moreBelow());
}

TEST_F(HintedScrollViewTest, ClicksUnderTheFadeReachTheControls)
{
    QPushButton* button = nullptr;
    HintedScrollView view(page(600, &button, 175));
    open(view);
    advance(0.2);
    ASSERT_TRUE(view.moreBelow());
    const QPoint inFade = button->mapTo(&view, QPoint(button->width() / 2, button->height() / 2));
    ASSERT_GT(inFade.y(), 200 - HintedScrollView::fadeHeight);
    EXPECT_EQ(view.childAt(inFade), button);
}

TEST_F(HintedScrollViewTest, FlatRenderingShowsTheWholeContentAlone)
{
    QWidget root;
    auto* layout = new QVBoxLayout(&root);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* view = new HintedScrollView(page(600));
    layout->addWidget(view);
    ViewEnvironment::setRendersFlat(&root, true);
    EXPECT_TRUE(view->isFlat());
    EXPECT_EQ(view->scrollArea(), nullptr);
    EXPECT_EQ(view->sizeHint().height(), 600);
    root.resize(root.sizeHint());
    root.show();
    EXPECT_EQ(view->content()->height(), 600);
    EXPECT_FALSE(view->moreBelow());
    EXPECT_EQ(view->content()->parentWidget(), view);

    ViewEnvironment::setRendersFlat(&root, false);
    EXPECT_FALSE(view->isFlat());
    ASSERT_NE(view->scrollArea(), nullptr);
    EXPECT_EQ(view->scrollArea()->widget(), view->content());
}

TEST_F(HintedScrollViewTest, ViewPlacedIntoAFlatTreeTurnsFlat)
{
    QWidget root;
    ViewEnvironment::setRendersFlat(&root, true);
    auto* view = new HintedScrollView(page(300));
    EXPECT_FALSE(view->isFlat());
    view->setParent(&root);
    EXPECT_TRUE(view->isFlat());
}

} // namespace
