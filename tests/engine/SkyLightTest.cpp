#include "EngineTest.h"

#include "engine/SkyLight.h"

namespace {

QVariantMap space(const QVariant& id, const QVariant& managed = {}, const QVariant& type = {})
{
    QVariantMap map;
    if (id.isValid())
        map.insert(QStringLiteral("id64"), id);
    if (managed.isValid())
        map.insert(QStringLiteral("ManagedSpaceID"), managed);
    if (type.isValid())
        map.insert(QStringLiteral("type"), type);
    return map;
}

QVariantMap windowEntry(const QVariant& number, const QVariant& layer, const QVariant& bounds, const QVariant& pid)
{
    QVariantMap map;
    if (number.isValid())
        map.insert(QStringLiteral("kCGWindowNumber"), number);
    if (layer.isValid())
        map.insert(QStringLiteral("kCGWindowLayer"), layer);
    if (bounds.isValid())
        map.insert(QStringLiteral("kCGWindowBounds"), bounds);
    if (pid.isValid())
        map.insert(QStringLiteral("kCGWindowOwnerPID"), pid);
    return map;
}

QVariantMap bounds(double width, double height)
{
    return {{QStringLiteral("X"), 0.0}, {QStringLiteral("Y"), 0.0}, {QStringLiteral("Width"), width},
            {QStringLiteral("Height"), height}};
}

} // namespace

class SkyLightTest : public EngineTest {};

TEST_F(SkyLightTest, DisplayWithoutKeysStillCountsWithEmptyValues)
{
    const QVariantList answer{QVariantMap{}};
    const auto displays = SkyLight::parseDisplays(answer);
    ASSERT_EQ(displays.size(), 1);
    EXPECT_EQ(displays[0].uuid, QString());
    EXPECT_EQ(displays[0].currentSpaceID, 0u);
    EXPECT_TRUE(displays[0].spaces.isEmpty());
}

TEST_F(SkyLightTest, DisplayValuesOfTheWrongKindCountAsAbsent)
{
    const QVariantList answer{QVariantMap{
        {QStringLiteral("Display Identifier"), 42},
        {QStringLiteral("Current Space"), QVariantMap{{QStringLiteral("id64"), QStringLiteral("7")}}},
        {QStringLiteral("Spaces"), QVariantList{space(7), QStringLiteral("not a dictionary")}},
    }};
    const auto displays = SkyLight::parseDisplays(answer);
    ASSERT_EQ(displays.size(), 1);
    EXPECT_EQ(displays[0].uuid, QString());
    EXPECT_EQ(displays[0].currentSpaceID, 0u);
    // A list that is not all dictionaries is no list of spaces.
    EXPECT_TRUE(displays[0].spaces.isEmpty());
}

TEST_F(SkyLightTest, AnswerThatIsNotAListOfDictionariesGivesNoDisplays)
{
    EXPECT_TRUE(SkyLight::parseDisplays(QVariant()).isEmpty());
    EXPECT_TRUE(SkyLight::parseDisplays(QVariantMap{}).isEmpty());
    EXPECT_TRUE(SkyLight::parseDisplays(QVariantList{QVariantMap{}, 3}).isEmpty());
}

TEST_F(SkyLightTest, SpacesTakeDefaultsAndDropEntriesWithoutAnId)
{
    const QVariantList spaces{
        space(QVariant::fromValue<qulonglong>(5)),
        space({}, 9, 0),
        space(QVariant::fromValue<qulonglong>(6), QVariant::fromValue<qlonglong>(60), 4),
        space(QStringLiteral("8")),
        space(1.5),
        space(-3),
        space(QVariant::fromValue<qulonglong>(18446744073709551615ull), QStringLiteral("x")),
    };
    const auto parsed = SkyLight::parseSpaces(spaces, QStringLiteral("D"));
    ASSERT_EQ(parsed.size(), 3);
    EXPECT_EQ(parsed[0], (SkyLight::Space{5, 5, 0, QStringLiteral("D")}));
    EXPECT_EQ(parsed[1], (SkyLight::Space{6, 60, 4, QStringLiteral("D")}));
    EXPECT_FALSE(parsed[1].isDesktop());
    EXPECT_EQ(parsed[2].id, 18446744073709551615ull);
}

TEST_F(SkyLightTest, NumbersAreReadExactly)
{
    EXPECT_EQ(SkyLight::unsignedValue(7.0), 7u);
    EXPECT_EQ(SkyLight::unsignedValue(7.5), std::nullopt);
    EXPECT_EQ(SkyLight::unsignedValue(-1), std::nullopt);
    EXPECT_EQ(SkyLight::unsignedValue(true), std::nullopt);
    EXPECT_EQ(SkyLight::unsignedValue(18446744073709551616.0), std::nullopt);
    EXPECT_EQ(SkyLight::signedValue(QVariant::fromValue<qulonglong>(9223372036854775808ull)), std::nullopt);
    EXPECT_EQ(SkyLight::signedValue(-9223372036854775808.0), std::numeric_limits<qint64>::min());
    EXPECT_EQ(SkyLight::signedValue(std::numeric_limits<double>::quiet_NaN()), std::nullopt);
}

TEST_F(SkyLightTest, WindowFilterNeedsLayerZeroAndMoreThan80By60)
{
    using SkyLight::windowInfo;
    EXPECT_EQ(windowInfo(windowEntry(1, 0, bounds(81, 61), 44)), (SkyLight::WindowInfo{1, 44}));
    EXPECT_EQ(windowInfo(windowEntry(1, 0, bounds(80, 400), 44)), std::nullopt);
    EXPECT_EQ(windowInfo(windowEntry(1, 0, bounds(400, 60), 44)), std::nullopt);
    EXPECT_EQ(windowInfo(windowEntry(1, 3, bounds(1000, 1000), 44)), std::nullopt);
    EXPECT_EQ(windowInfo(windowEntry(1, -1, bounds(1000, 1000), 44)), std::nullopt);
    EXPECT_EQ(windowInfo(windowEntry(1, {}, bounds(1000, 1000), 44)), std::nullopt);
    EXPECT_EQ(windowInfo(windowEntry({}, 0, bounds(1000, 1000), 44)), std::nullopt);
    EXPECT_EQ(windowInfo(windowEntry(2.5, 0, bounds(1000, 1000), 44)), std::nullopt);
    EXPECT_EQ(windowInfo(windowEntry(1, 0, {}, 44)), std::nullopt);
}

TEST_F(SkyLightTest, MalformedBoundsCountAsEmpty)
{
    QVariantMap withText = bounds(500, 500);
    withText.insert(QStringLiteral("X"), QStringLiteral("left"));
    EXPECT_EQ(SkyLight::windowInfo(windowEntry(1, 0, withText, 44)), std::nullopt);
    EXPECT_EQ(SkyLight::windowInfo(windowEntry(1, 0, QStringLiteral("500x500"), 44)), std::nullopt);
}

TEST_F(SkyLightTest, WindowWithoutUsableOwnerGetsPidZero)
{
    EXPECT_EQ(SkyLight::windowInfo(windowEntry(3, 0, bounds(200, 200), {})), (SkyLight::WindowInfo{3, 0}));
    EXPECT_EQ(SkyLight::windowInfo(windowEntry(3, 0, bounds(200, 200), QStringLiteral("44"))),
              (SkyLight::WindowInfo{3, 0}));
    EXPECT_EQ(SkyLight::windowInfo(windowEntry(3, 0, bounds(200, 200), 4294967296.0)), (SkyLight::WindowInfo{3, 0}));
}

TEST_F(SkyLightTest, ReadsTheSimulatedWindowServer)
{
    world().addDisplay(display(QStringLiteral("A"), {10, 11, 12}, 11, 1, {0, 4, 0}));
    const auto displays = SkyLight::displays();
    ASSERT_EQ(displays.size(), 1);
    EXPECT_EQ(displays[0].uuid, QStringLiteral("A"));
    EXPECT_EQ(displays[0].currentSpaceID, 11u);
    ASSERT_EQ(displays[0].spaces.size(), 3);
    EXPECT_EQ(displays[0].spaces[1].type, 4);
    EXPECT_EQ(displays[0].spaces[2].managedID, 1012);
    EXPECT_EQ(SkyLight::activeMenuBarDisplayUUID(), QStringLiteral("A"));
    EXPECT_EQ(SkyLight::displayUUID(1), QStringLiteral("A"));
    EXPECT_EQ(SkyLight::displayUUID(77), std::nullopt);
}

TEST_F(SkyLightTest, SetCurrentSpaceSwitchesAtOnceAndHandsBackTheStatus)
{
    world().addDisplay(display(QStringLiteral("A"), {10, 11}, 10));
    EXPECT_EQ(SkyLight::setCurrentSpace({11, 1011, 0, QStringLiteral("A")}), 0);
    EXPECT_EQ(world().currentSpace(QStringLiteral("A")), 11u);
    EXPECT_NE(SkyLight::setCurrentSpace({99, 99, 0, QStringLiteral("A")}), 0);
    EXPECT_NE(SkyLight::setCurrentSpace({10, 10, 0, QStringLiteral("nowhere")}), 0);
    EXPECT_EQ(world().currentSpace(QStringLiteral("A")), 11u);
}

TEST_F(SkyLightTest, WindowListsKeepFrontToBackOrderAndDropSmallOrOtherLayers)
{
    world().addDisplay(display(QStringLiteral("A"), {10, 11}, 10));
    addWindow(1, 500, 10);
    addWindow(2, 501, 11);
    addWindow(3, 502, 10, 80, 500);
    addWindow(4, 503, 10); // frontmost
    const auto all = SkyLight::allWindows();
    ASSERT_EQ(all.size(), 3);
    EXPECT_EQ(all[0].id, 4);
    EXPECT_EQ(all[1].id, 2);
    EXPECT_EQ(all[2].id, 1);
    EXPECT_EQ(SkyLight::windowIDs(10), (QList<qint64>{4, 3, 1}));
    EXPECT_EQ(SkyLight::windowIDs(99), QList<qint64>());
    // The window on a space that is not shown is not on screen.
    EXPECT_EQ(SkyLight::frontWindowID(501), std::nullopt);
    EXPECT_EQ(SkyLight::frontWindowID(503), 4);
}

TEST_F(SkyLightTest, WindowIdListWithANonNumberIsEmpty)
{
    world().addDisplay(display(QStringLiteral("A"), {10}, 10));
    world().overrideAnswer(QStringLiteral("copyWindowsWithOptionsAndTags"), QVariant(QVariantList{1, QStringLiteral("2")}));
    EXPECT_TRUE(SkyLight::windowIDs(10).isEmpty());
    world().overrideAnswer(QStringLiteral("copyWindowsWithOptionsAndTags"), QVariant());
    EXPECT_TRUE(SkyLight::windowIDs(10).isEmpty());
}

TEST_F(SkyLightTest, NullAnswersGiveEmptyResults)
{
    world().addDisplay(display(QStringLiteral("A"), {10}, 10));
    world().overrideAnswer(QStringLiteral("copyManagedDisplaySpaces"), QVariant());
    world().overrideAnswer(QStringLiteral("copyActiveMenuBarDisplayIdentifier"), QVariant());
    world().overrideAnswer(QStringLiteral("windowListCopyWindowInfo"), QVariant());
    world().overrideAnswer(QStringLiteral("spaceCopyName"), QVariant(5));
    EXPECT_TRUE(SkyLight::displays().isEmpty());
    EXPECT_EQ(SkyLight::activeMenuBarDisplayUUID(), std::nullopt);
    EXPECT_TRUE(SkyLight::allWindows().isEmpty());
    EXPECT_EQ(SkyLight::spaceName(10), std::nullopt);
}

TEST_F(SkyLightTest, MoveWindowsPutsTheWindowOnTheSpace)
{
    world().addDisplay(display(QStringLiteral("A"), {10, 11}, 10));
    addWindow(1, 500, 10);
    SkyLight::moveWindows(1, 11);
    EXPECT_EQ(SkyLight::windowIDs(11), QList<qint64>{1});
    EXPECT_TRUE(SkyLight::windowIDs(10).isEmpty());
}

TEST_F(SkyLightTest, ScreenForDisplayUUID)
{
    EXPECT_EQ(SkyLight::screen(QStringLiteral("A")), std::nullopt);
    world().addDisplay(display(QStringLiteral("A"), {10}, 10, 1));
    auto second = display(QStringLiteral("B"), {20}, 20, 2);
    second.frame = QRectF(1512, 0, 1920, 1080);
    world().addDisplay(second);
    const auto screen = SkyLight::screen(QStringLiteral("B"));
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->frame, QRectF(1512, 0, 1920, 1080));
    EXPECT_EQ(SkyLight::screen(QStringLiteral("C")), std::nullopt);
}

TEST_F(SkyLightTest, SpaceNameIsTheWindowServersOwn)
{
    auto named = display(QStringLiteral("A"), {10, 11}, 10);
    named.spaces[0].name = QStringLiteral("Work");
    world().addDisplay(named);
    EXPECT_EQ(SkyLight::spaceName(10), QStringLiteral("Work"));
    // Unnamed spaces answer a generated identifier, the same every time.
    const auto generated = SkyLight::spaceName(11);
    ASSERT_TRUE(generated);
    EXPECT_EQ(generated->size(), 36);
    EXPECT_EQ(SkyLight::spaceName(11), generated);
    EXPECT_EQ(SkyLight::spaceName(12), std::nullopt);
}
