#include "UiTest.h"

#include "platform/PreferenceDomain.h"
#include "platform/Screens.h"
#include "platform/sim/World.h"
#include "ui/ClickThroughHostingView.h"
#include "ui/FirstMouseHostingController.h"
#include "ui/FloatingPanel.h"
#include "ui/HostedWindow.h"
#include "ui/Theme.h"

#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

class PanelsTest : public UiTest {
protected:
    // How often the app asked to come in front of the others.
    static qsizetype activations()
    {
        const auto& world = platform::sim::World::shared();
        return world.activationRequests().count(world.ownPID());
    }
};

// A page with a text field, as the settings window has.
QWidget* pageWithField(QLineEdit** field)
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    *field = new QLineEdit;
    layout->addWidget(*field);
    layout->addWidget(new QLabel(QStringLiteral("Your spaces")));
    page->setFixedSize(300, 200);
    return page;
}

TEST_F(PanelsTest, InformationPanelLetsTheMouseThroughAndNeverBecomesKey)
{
    FloatingPanel tag({.size = QSizeF(800, 240), .level = WindowLevel::screenSaver});
    EXPECT_EQ(tag.size(), QSize(800, 240));
    EXPECT_FALSE(tag.isVisible());
    EXPECT_FALSE(tag.canBecomeKeyWindow());
    EXPECT_TRUE(tag.ignoresMouseEvents());
    EXPECT_TRUE(tag.testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_TRUE(tag.windowFlags().testFlag(Qt::WindowTransparentForInput));
    EXPECT_TRUE(tag.windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(tag.windowFlags().testFlag(Qt::NoDropShadowWindowHint));
    EXPECT_TRUE(tag.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(tag.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(tag.level(), 1000);
    EXPECT_EQ(tag.collectionBehavior(), 337u);
    EXPECT_TRUE(tag.joinsAllSpaces());
    EXPECT_EQ(tag.animationBehavior(), FloatingPanel::animationNone);
    EXPECT_EQ(tag.appearanceName(), "NSAppearanceNameDarkAqua");
    EXPECT_EQ(tag.styleMask(), 0x80u);
}

TEST_F(PanelsTest, InteractivePanelTakesClicksAndKeyWithoutActivating)
{
    FloatingPanel strip({.size = QSizeF(400, 96), .level = WindowLevel::popUpMenu, .interactive = true, .shadow = true});
    EXPECT_TRUE(strip.canBecomeKeyWindow());
    EXPECT_FALSE(strip.ignoresMouseEvents());
    EXPECT_FALSE(strip.testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_FALSE(strip.windowFlags().testFlag(Qt::WindowTransparentForInput));
    EXPECT_FALSE(strip.windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_FALSE(strip.windowFlags().testFlag(Qt::NoDropShadowWindowHint));
    EXPECT_TRUE(strip.testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_TRUE(strip.hasShadow());
}

TEST_F(PanelsTest, QuickSwitcherMovesToTheActiveDesktopInsteadOfJoiningAll)
{
    FloatingPanel switcher({.size = QSizeF(460, 300),
                           .level = WindowLevel::popUpMenu,
                           .interactive = true,
                           .shadow = true,
                           .behavior = FloatingPanel::moveToActiveSpace | FloatingPanel::transient
                               | FloatingPanel::fullScreenAuxiliary,
                           .animation = FloatingPanel::animationUtilityWindow});
    EXPECT_EQ(switcher.collectionBehavior(), 266u);
    EXPECT_FALSE(switcher.joinsAllSpaces());
    EXPECT_EQ(switcher.animationBehavior(), 4);
}

TEST_F(PanelsTest, PanelHasNoBackgroundOfItsOwnAndSurvivesClosing)
{
    FloatingPanel label({.size = QSizeF(200, 32), .level = WindowLevel::notchLabel});
    auto* content = new QLabel(QStringLiteral("Mail"));
    label.setContentView(content);
    EXPECT_EQ(label.contentView(), content);
    label.show();
    EXPECT_TRUE(label.isVisible());
    EXPECT_EQ(label.palette().color(QPalette::WindowText), Theme::text());

    QImage image(label.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    label.render(&image, QPoint(), QRegion(), QWidget::DrawWindowBackground);
    EXPECT_EQ(image.pixelColor(190, 2).alpha(), 0);

    label.close();
    EXPECT_FALSE(label.isVisible());
    label.show();
    EXPECT_TRUE(label.isVisible());
    EXPECT_EQ(label.contentView(), content);
}

TEST_F(PanelsTest, FirstMouseControllerHostsItsRootOnce)
{
    auto* root = new QLabel(QStringLiteral("popover"));
    FirstMouseHostingController controller(root);
    ClickThroughHostingView* view = controller.view();
    EXPECT_EQ(controller.view(), view);
    EXPECT_EQ(view->rootView(), root);
    EXPECT_EQ(root->parentWidget(), view);
    EXPECT_TRUE(view->acceptsFirstMouse());
}

TEST_F(PanelsTest, HostedWindowIsTitledClosableAndDarkButNeverResizable)
{
    QLineEdit* field = nullptr;
    HostedWindow settings(pageWithField(&field), std::nullopt, QStringLiteral("Tessaroom.settings.v3"), true);
    EXPECT_EQ(settings.styleMask(), 0x8007u);
    EXPECT_FALSE(settings.isVisible());
    EXPECT_EQ(settings.window()->size(), QSize(300, 200));
    EXPECT_EQ(settings.window()->minimumSize(), settings.window()->maximumSize());
    EXPECT_TRUE(settings.window()->windowFlags().testFlag(Qt::WindowCloseButtonHint));
    EXPECT_TRUE(settings.window()->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_TRUE(settings.window()->windowTitle().isEmpty());
    EXPECT_EQ(settings.appearanceName(), "NSAppearanceNameDarkAqua");

    QLineEdit* otherField = nullptr;
    HostedWindow welcome(pageWithField(&otherField), QSizeF(520, 410));
    EXPECT_EQ(welcome.styleMask(), 0x8003u);
    EXPECT_EQ(welcome.window()->size(), QSize(520, 410));
    EXPECT_FALSE(welcome.window()->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
}

TEST_F(PanelsTest, HostedWindowIsDrawnOnTheCanvas)
{
    QLineEdit* field = nullptr;
    HostedWindow window(pageWithField(&field), QSizeF(320, 240));
    window.show();
    const QImage image = window.window()->grab().toImage();
    EXPECT_TRUE(sameColor(image.pixelColor(315, 235), Theme::canvas()));
}

TEST_F(PanelsTest, ShowingAgainActivatesAgainAndClosingKeepsTheContent)
{
    QLineEdit* field = nullptr;
    HostedWindow window(pageWithField(&field));
    window.show();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(activations(), 1);
    EXPECT_FALSE(field->hasFocus());
    EXPECT_EQ(window.window()->focusWidget(), window.window());

    window.show();
    EXPECT_EQ(activations(), 2);

    field->setText(QStringLiteral("half-typed"));
    window.close();
    EXPECT_FALSE(window.isVisible());
    window.show();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(field->text(), "half-typed");
    EXPECT_EQ(window.rootView(), field->parentWidget());
}

TEST_F(PanelsTest, WindowOpensCentredFirstAndWhereItWasLeftAfterwards)
{
    const QRect available = platform::Screens::windowGeometry(platform::Screens::mainScreen()->visibleFrame);
    QLineEdit* field = nullptr;
    {
        HostedWindow first(pageWithField(&field), std::nullopt, QStringLiteral("Tessaroom.settings.v3"));
        EXPECT_NEAR(first.window()->frameGeometry().center().x(), available.center().x(), 1);
        EXPECT_NEAR(first.window()->frameGeometry().center().y(), available.center().y(), 1);
        first.show();
        first.window()->move(40, 50);
        first.close();
    }
    EXPECT_TRUE(platform::PreferenceDomain::standard()
                    .string(HostedWindow::frameKey(QStringLiteral("Tessaroom.settings.v3")))
                    .has_value());

    HostedWindow again(pageWithField(&field), std::nullopt, QStringLiteral("Tessaroom.settings.v3"));
    EXPECT_EQ(again.window()->pos(), QPoint(40, 50));

    HostedWindow unnamed(pageWithField(&field));
    EXPECT_NEAR(unnamed.window()->frameGeometry().center().x(), available.center().x(), 1);
}

} // namespace
