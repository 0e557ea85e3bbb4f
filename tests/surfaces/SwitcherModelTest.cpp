#include "surfaces/SwitcherModel.h"

#include "store/Settings.h"
#include "ui/UiTest.h"

#include <QImage>

namespace {

class SwitcherModelTest : public UiTest {
protected:
    // Desktops 1..count (ids 101...), named where names has a non-empty text.
    static QList<Desktop> desktops(int count, const QStringList& names = {})
    {
        QList<Desktop> made;
        for (int i = 1; i <= count; ++i)
            made.append(desktop(i, SpaceIcon::none(), TileColor::automatic(), names.value(i - 1)));
        return made;
    }

    static SpaceApp app(qint32 pid, const QString& name)
    {
        SpaceApp made;
        made.pid = pid;
        made.name = name;
        return made;
    }

    static QList<qint64> numbers(const QList<Desktop>& rows)
    {
        QList<qint64> shown;
        for (const Desktop& row : rows)
            shown.append(row.number);
        return shown;
    }
};

// --- opening selection ---

TEST_F(SwitcherModelTest, OpeningSelectsTheLastDesktopElseTheFirstThatIsNotCurrent)
{
    SwitcherModel model;
    const QList<Desktop> all = desktops(4);
    model.load(all, {}, all[1].id(), all[3].id());
    EXPECT_EQ(model.selection(), 3);
    EXPECT_EQ(model.selectedDesktop()->number, 4);

    model.load(all, {}, all[1].id(), std::nullopt);
    EXPECT_EQ(model.selection(), 0);

    model.load(all, {}, all[0].id(), std::nullopt);
    EXPECT_EQ(model.selection(), 1);

    // A last desktop that is no longer listed does not count.
    model.load(all, {}, all[0].id(), quint64(999));
    EXPECT_EQ(model.selection(), 1);
}

TEST_F(SwitcherModelTest, ASingleCurrentDesktopOrNoneAtAllSelectsRowZero)
{
    SwitcherModel model;
    const QList<Desktop> one = desktops(1);
    model.load(one, {}, one[0].id(), std::nullopt);
    EXPECT_EQ(model.selection(), 0);
    EXPECT_EQ(model.selectedDesktop()->id(), one[0].id());

    model.load({}, {}, std::nullopt, std::nullopt);
    EXPECT_EQ(model.selection(), 0);
    EXPECT_FALSE(model.selectedDesktop());
}

// --- query and ordering ---

TEST_F(SwitcherModelTest, QueryIsTrimmedOfBlanksAndLowercased)
{
    SwitcherModel model;
    model.load(desktops(2, {QStringLiteral("Mail")}), {}, std::nullopt, std::nullopt);
    model.setQuery(QStringLiteral("  Mail\t "));
    EXPECT_EQ(model.query(), QStringLiteral("mail"));
    ASSERT_EQ(model.rows().size(), 1);
    EXPECT_EQ(model.rows()[0].number, 1);
}

TEST_F(SwitcherModelTest, UnnamedDesktopsComeBeforeNamedOnesForDeskEachGroupInNumberOrder)
{
    SwitcherModel model;
    const QList<Desktop> all = desktops(4, {QStringLiteral("Code"), {}, QStringLiteral("Web"), {}});
    model.load(all, {}, std::nullopt, std::nullopt);
    model.setQuery(QStringLiteral("desk"));
    const auto scored = model.results(all);
    ASSERT_EQ(scored.size(), 4);
    EXPECT_EQ(scored[0].second, 30);
    EXPECT_EQ(scored[1].second, 80);
    EXPECT_EQ(numbers(model.rows()), (QList<qint64>{2, 4, 1, 3}));
    EXPECT_EQ(model.selection(), 0);
}

TEST_F(SwitcherModelTest, ANumberFindsItsDesktopAndNothingMatchingLeavesNoRows)
{
    SwitcherModel model;
    model.load(desktops(12), {}, std::nullopt, std::nullopt);
    model.setQuery(QStringLiteral("11"));
    EXPECT_EQ(numbers(model.rows()), (QList<qint64>{11}));

    model.setQuery(QStringLiteral("zebra"));
    EXPECT_TRUE(model.rows().isEmpty());
    EXPECT_EQ(model.selection(), 0);
    EXPECT_FALSE(model.selectedDesktop());

    // Clearing the field shows every desktop again.
    model.setQuery(QString());
    EXPECT_EQ(model.rows().size(), 12);
}

// --- apps that a row opens ---

TEST_F(SwitcherModelTest, ADesktopFoundOnlyThroughAnAppOpensThatApp)
{
    SwitcherModel model;
    const QList<Desktop> all = desktops(3, {QStringLiteral("Work"), QStringLiteral("Safari work"), {}});
    SwitcherModel::AppsMap apps;
    apps.insert(all[0].id(), {app(1, QStringLiteral("Mail")), app(2, QStringLiteral("Safari"))});
    apps.insert(all[1].id(), {app(3, QStringLiteral("Safari"))});
    model.load(all, apps, std::nullopt, std::nullopt);
    model.setQuery(QStringLiteral("saf"));

    // Named "Safari work", desktop 2 scores 80 through its name and opens nothing.
    EXPECT_EQ(numbers(model.rows()), (QList<qint64>{2, 1}));
    EXPECT_FALSE(model.openingApp(all[1]));
    ASSERT_TRUE(model.openingApp(all[0]));
    EXPECT_EQ(model.openingApp(all[0])->pid, 2);
    EXPECT_FALSE(model.openingApp(all[2]));

    // A new query forgets the apps of the last one.
    model.setQuery(QStringLiteral("work"));
    EXPECT_TRUE(model.openingApps().isEmpty());
}

// --- selection moves ---

TEST_F(SwitcherModelTest, MovesWrapAroundAndDoNothingWithoutRows)
{
    SwitcherModel model;
    model.load(desktops(3), {}, std::nullopt, std::nullopt);
    model.setSelection(2);
    model.move(+1);
    EXPECT_EQ(model.selection(), 0);
    model.move(-1);
    EXPECT_EQ(model.selection(), 2);

    model.setQuery(QStringLiteral("nothing here"));
    int changes = 0;
    QObject::connect(&model, &SwitcherModel::selectionChanged, [&] { ++changes; });
    model.move(+1);
    model.move(-1);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(model.selection(), 0);
}

TEST_F(SwitcherModelTest, RowsAreAnnouncedBeforeTheSelection)
{
    SwitcherModel model;
    QStringList order;
    QObject::connect(&model, &SwitcherModel::rowsChanged, [&] { order << QStringLiteral("rows"); });
    QObject::connect(&model, &SwitcherModel::selectionChanged, [&] {
        // The selection always points into the rows it was announced with.
        EXPECT_TRUE(model.rows().isEmpty() || model.selection() < model.rows().size());
        order << QStringLiteral("selection");
    });
    model.load(desktops(2), {}, std::nullopt, std::nullopt);
    model.setQuery(QStringLiteral("2"));
    EXPECT_EQ(order, (QStringList{QStringLiteral("rows"), QStringLiteral("selection"), QStringLiteral("rows"),
                                  QStringLiteral("selection")}));
}

TEST_F(SwitcherModelTest, PresentationModeSearchesByNumberOnly)
{
    SwitcherModel model;
    const QList<Desktop> all = desktops(2, {QStringLiteral("Secret plans")});
    model.load(all, {}, std::nullopt, std::nullopt);
    Settings::shared().setPresenting(true);
    model.setQuery(QStringLiteral("secret"));
    EXPECT_TRUE(model.rows().isEmpty());
    model.setQuery(QStringLiteral("desktop 1"));
    EXPECT_EQ(numbers(model.rows()), (QList<qint64>{1}));
}

// --- bad input ---

TEST_F(SwitcherModelTest, HugeAndMalformedQueriesLeaveAValidSelection)
{
    SwitcherModel model;
    const QList<Desktop> all = desktops(3, {QStringLiteral("Mail"), QStringLiteral("👩‍💻 Code")});
    model.load(all, {}, std::nullopt, std::nullopt);

    const QStringList queries{
        QString(100000, QChar(u'a')),
        QStringLiteral("ma\x01\x07\nil"),
        QString(QChar(0xD800)) + QStringLiteral("mail") + QChar(0xDC00),
        QStringLiteral("👩‍💻"),
        QStringLiteral("\u200D"),
    };
    for (const QString& query : queries) {
        model.setQuery(query);
        EXPECT_TRUE(model.rows().isEmpty() || (model.selection() >= 0 && model.selection() < model.rows().size()));
        EXPECT_EQ(model.selectedDesktop().has_value(), !model.rows().isEmpty());
    }
    // A whole emoji sequence finds the desktop named with it; its joiner alone
    // is not a character of its own.
    model.setQuery(QStringLiteral("👩‍💻"));
    EXPECT_EQ(numbers(model.rows()), (QList<qint64>{2}));
    model.setQuery(QStringLiteral("\u200D"));
    EXPECT_TRUE(model.rows().isEmpty());
}

} // namespace
