#include "settings/SettingsModel.h"
#include "support/PlatformTest.h"


namespace {
class SettingsModelTest : public PlatformTest {};
} // namespace

TEST_F(SettingsModelTest, StartsOnSpacesAndAnnouncesOnlyRealChanges)
{
    SettingsModel model;
    EXPECT_EQ(model.page(), SettingsPage::spaces);
    int will = 0;
    int did = 0;
    QObject::connect(&model, &SettingsModel::pageWillChange, [&](SettingsPage page) {
        EXPECT_EQ(page, SettingsPage::timeTracking);
        EXPECT_EQ(model.page(), SettingsPage::spaces); // announced before it is stored
        ++will;
    });
    QObject::connect(&model, &SettingsModel::pageChanged, [&] { ++did; });
    model.setPage(SettingsPage::timeTracking);
    model.setPage(SettingsPage::timeTracking);
    EXPECT_EQ(model.page(), SettingsPage::timeTracking);
    EXPECT_EQ(will, 1);
    EXPECT_EQ(did, 1);
}
