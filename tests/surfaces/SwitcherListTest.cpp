#include "surfaces/SwitcherList.h"

#include "surfaces/SwitcherModel.h"
#include "surfaces/SwitcherRow.h"
#include "ui/UiTest.h"
#include "ui/ViewEnvironment.h"

#include <QCoreApplication>
#include <QEnterEvent>
#include <QMouseEvent>

namespace {

class SwitcherListTest : public UiTest {
protected:
    SwitcherListTest()
    {
        QList<Desktop> all;
        for (int i = 1; i <= 12; ++i)
            all.append(desktop(i, SpaceIcon::none(), TileColor::automatic(),
                               i == 2 ? QStringLiteral("Mail") : QString()));
        model_.load(all, {}, all[0].id(), std::nullopt);
    }

    SwitcherModel model_;
};

// --- scrolling ---

TEST_F(SwitcherListTest, AFlatRenderingStandsEveryRowWithoutScrolling)
{
    SwitcherList list(model_);
    ASSERT_NE(list.scrollArea(), nullptr);
    ViewEnvironment::setRendersFlat(&list, true);
    EXPECT_EQ(list.scrollArea(), nullptr);
    EXPECT_EQ(list.rows().size(), 12);
    // 6 on top, 12 rows of 44 with 11 gaps of 2, and the footer.
    list.resize(460, list.sizeHint().height());
    EXPECT_GE(list.sizeHint().height(), 6 + 12 * 44 + 11 * 2 + 32);
}

// --- rows ---

TEST_F(SwitcherListTest, ANamedDesktopWithoutAppsShowsItsNumberAndAnUnnamedOneNothingMore)
{
    SwitcherList list(model_);
    const QList<SwitcherRow*> rows = list.rows();
    EXPECT_EQ(rows[1]->title(), QStringLiteral("Mail"));
    EXPECT_EQ(rows[1]->numberLine(), QStringLiteral("Desktop 2"));
    EXPECT_EQ(rows[2]->title(), QStringLiteral("Desktop 3"));
    EXPECT_TRUE(rows[2]->numberLine().isEmpty());
    // Digit keys exist for desktops 1 to 10 only.
    EXPECT_NE(rows[9]->keyCap(), nullptr);
    EXPECT_EQ(rows[9]->keyCap()->text(), QStringLiteral("0"));
    EXPECT_EQ(rows[10]->keyCap(), nullptr);
}

TEST_F(SwitcherListTest, TheCurrentDesktopIsTaggedCurrentEvenWhenItIsAlsoTheLast)
{
    QList<Desktop> all = model_.all();
    model_.load(all, {}, all[0].id(), all[0].id());
    SwitcherList list(model_);
    EXPECT_EQ(list.rows()[0]->tagText(), QStringLiteral("Current"));
    model_.setLastID(all[3].id());
    EXPECT_EQ(list.rows()[3]->tagText(), QStringLiteral("Last"));
}

TEST_F(SwitcherListTest, AClickActivatesItsRowAndWithoutAHandlerDoesNothing)
{
    SwitcherList list(model_);
    SwitcherRow* row = list.rows()[4];
    const auto click = [row] {
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(20, 20), QPointF(20, 20), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(row, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(20, 20), QPointF(20, 20), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(row, &release);
    };
    row->resize(400, 44);
    click();
    QList<qint64> activated;
    model_.onActivate = [&](const Desktop& desktop) { activated.append(desktop.number); };
    click();
    EXPECT_EQ(activated, (QList<qint64>{5}));
}

TEST_F(SwitcherListTest, HoveringSelectsTheRowWhenAllowed)
{
    SwitcherList list(model_);
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    bool allowed = false;
    model_.hoverAllowed = [&] { return allowed; };
    QCoreApplication::sendEvent(list.rows()[6], &enter);
    EXPECT_EQ(model_.selection(), 1);
    allowed = true;
    QCoreApplication::sendEvent(list.rows()[6], &enter);
    EXPECT_EQ(model_.selection(), 6);
    EXPECT_TRUE(list.rows()[6]->isSelected());
    EXPECT_FALSE(list.rows()[1]->isSelected());
}

} // namespace
