#include "SettingsTest.h"

#include "settings/OnboardingView.h"
#include "settings/SettingsTexts.h"
#include "settings/StepRow.h"
#include "store/KeyNames.h"
#include "store/Settings.h"
#include "switching/Accessibility.h"
#include "ui/AccentButton.h"
#include "ui/HostedWindow.h"

#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QWindow>
#include <QtTest/qtestspontaneevent.h>

namespace {

class OnboardingViewTest : public SettingsTest {
protected:
    OnboardingViewTest() { trust(false); }

    static void trust(bool trusted)
    {
        world().setTrusted(trusted);
        Accessibility::shared().refresh(false);
    }

    std::unique_ptr<OnboardingView> make()
    {
        return std::make_unique<OnboardingView>(Settings::shared(), Accessibility::shared(), [this] {
            // The flag is already written when the window is asked to close.
            dismissedWhenClosed_ = Settings::shared().onboardingDismissed();
            ++closes_;
        });
    }

    // The view in its window, shown as the app shows it: the window holds
    // the focus, no control does.
    OnboardingView* showInWindow()
    {
        auto view = make();
        OnboardingView* shown = view.release();
        window_ = std::make_unique<HostedWindow>(shown, QSizeF(OnboardingView::windowSize));
        window_->show();
        QApplication::processEvents();
        return shown;
    }

    // A key pressed where the keyboard focus is.
    static void press(int key)
    {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(QApplication::focusWidget(), &event);
    }

    int closes_ = 0;
    bool dismissedWhenClosed_ = false;
    std::unique_ptr<HostedWindow> window_;
};

} // namespace

// --- texts -----------------------------------------------------------------------

TEST_F(OnboardingViewTest, StepTextsFollowThePermissionAndTheHotkey)
{
    EXPECT_EQ(SettingsTexts::accessibilityStepDetail(true, true),
              "Done. Your names show inside Mission Control and switching is instant.");
    EXPECT_EQ(SettingsTexts::accessibilityStepDetail(false, true),
              "Tessaroom was updated, so macOS asks for this once more. Click the button below and turn on Tessaroom "
              "in the list; Tessaroom restarts once by itself.");
    EXPECT_EQ(SettingsTexts::accessibilityStepDetail(false, false),
              "Needed for names inside Mission Control and for instant switching. Click the button below and turn on "
              "Tessaroom in the list; Tessaroom restarts once by itself.");
    EXPECT_EQ(SettingsTexts::switcherStepDetail(std::nullopt),
              "Press the shortcut, type a few letters, hit Return.");
    const Hotkey space{49, 0x1800};
    EXPECT_EQ(SettingsTexts::switcherStepDetail(space),
              "Press " + KeyNames::describe(space) + ", type a few letters, hit Return.");
    EXPECT_TRUE(KeyNames::describe(space).startsWith("Control + Option + "));
}

// --- window --------------------------------------------------------------------

TEST_F(OnboardingViewTest, UntrustedShowsTheRequestAndTheSettingsButton)
{
    auto view = make();
    EXPECT_EQ(view->size(), QSize(500, 560));
    EXPECT_EQ(view->findChild<QLabel*>("welcomeTitle")->text(), "Welcome to Tessaroom");
    EXPECT_TRUE(view->step(1)->isDone());
    EXPECT_FALSE(view->step(1)->isHighlighted());
    EXPECT_FALSE(view->step(2)->isDone());
    EXPECT_TRUE(view->step(2)->isHighlighted());
    EXPECT_TRUE(view->step(2)->detail().startsWith("Needed for names"));
    EXPECT_FALSE(view->step(3)->isDone());
    EXPECT_EQ(view->step(3)->title(), "Try the Quick Switcher");
    EXPECT_FALSE(view->skipButton()->isHidden());
    EXPECT_EQ(view->mainButton()->text(), "Open Accessibility Settings");
    keep(*view, "welcome_untrusted");
}

TEST_F(OnboardingViewTest, GrantingWhileOpenTurnsStepTwoDoneAndTheButtonToDone)
{
    auto view = make();
    view->show();
    const QRect skipPlace = view->skipButton()->geometry();
    trust(true);
    EXPECT_TRUE(view->step(2)->isDone());
    EXPECT_FALSE(view->step(2)->isHighlighted());
    EXPECT_TRUE(view->step(2)->detail().startsWith("Done."));
    EXPECT_EQ(view->mainButton()->text(), "Done");
    EXPECT_TRUE(view->skipButton()->isHidden());
    // The hidden skip button keeps its place.
    EXPECT_EQ(view->mainButton()->geometry().right(), view->width() - 24 - 1);
    EXPECT_EQ(view->skipButton()->geometry(), skipPlace);
    keep(*view, "welcome_trusted");
}

TEST_F(OnboardingViewTest, ReturnWhileUntrustedOpensTheSettingsPaneAndStays)
{
    showInWindow();
    press(Qt::Key_Return);
    EXPECT_EQ(world().openedURLs().size(), 1);
    EXPECT_FALSE(Settings::shared().onboardingDismissed());
    EXPECT_EQ(closes_, 0);
}

TEST_F(OnboardingViewTest, ReturnReachingTheWindowBeforeItIsActivePressesTheDefaultButton)
{
    trust(true);
    showInWindow();
    // The window manager has not activated it yet: another window is active,
    // so the window's shortcuts do not match, and the key the session hands
    // the window goes to the window itself.
    QWidget other;
    other.show();
    QApplication::setActiveWindow(&other);
    ASSERT_EQ(QApplication::activeWindow(), &other);
    QKeyEvent event(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QSpontaneKeyEvent::setSpontaneous(&event);
    QApplication::sendEvent(window_->window()->windowHandle(), &event);
    EXPECT_EQ(closes_, 1);
    EXPECT_TRUE(Settings::shared().onboardingDismissed());
}

TEST_F(OnboardingViewTest, SkipAndDoneWriteTheFlagFirstThenClose)
{
    {
        auto view = make();
        click(*view->skipButton());
        EXPECT_EQ(closes_, 1);
        EXPECT_TRUE(dismissedWhenClosed_);
    }
    Settings::shared().setOnboardingDismissed(false);
    trust(true);
    // Return as soon as the window shows.
    showInWindow();
    press(Qt::Key_Return);
    EXPECT_EQ(closes_, 2);
    EXPECT_TRUE(dismissedWhenClosed_);
    EXPECT_TRUE(Settings::shared().onboardingDismissed());
    // A close action that does nothing still leaves the flag set.
    Settings::shared().setOnboardingDismissed(false);
    OnboardingView silent(Settings::shared(), Accessibility::shared(), {});
    silent.dismiss();
    EXPECT_TRUE(Settings::shared().onboardingDismissed());
}

TEST_F(OnboardingViewTest, TabMovesBetweenTheButtonsShowingWhereTheFocusIs)
{
    OnboardingView* view = showInWindow();
    QImage before = render(*view);
    const QList<QWidget*> stops{view->skipButton(), view->mainButton(), view->skipButton()};
    for (QWidget* stop : stops) {
        pressTab(*window_->window());
        EXPECT_EQ(QApplication::focusWidget(), stop);
        const QImage after = render(*view);
        EXPECT_GT(differingPixels(before, after), 20) << stop->objectName().toStdString();
        before = after;
    }
    // Return presses the default button, wherever the focus is.
    press(Qt::Key_Return);
    EXPECT_EQ(world().openedURLs().size(), 1);
    EXPECT_EQ(closes_, 0);
}

TEST_F(OnboardingViewTest, TheHeaderShowsTheAppsOneIcon)
{
    auto view = make();
    const QImage image = render(*view, 2);
    const QWidget* icon = view->findChild<QWidget*>(QStringLiteral("appIcon"));
    ASSERT_NE(icon, nullptr);
    // The icon is centred at the top of its glow's room.
    const QPointF at = QPointF(icon->mapTo(view.get(), QPoint(0, 0)));
    EXPECT_TRUE(showsAppIcon(image, QRectF(at.x() + (icon->width() - 76) / 2.0, at.y(), 76, 76)));
}

TEST_F(OnboardingViewTest, TheSwitcherStepFollowsTheHotkeySetting)
{
    Settings::shared().setSwitcherHotkey(std::nullopt);
    auto view = make();
    EXPECT_EQ(view->step(3)->detail(), "Press the shortcut, type a few letters, hit Return.");
    const Hotkey hotkey{49, 0x1800};
    Settings::shared().setSwitcherHotkey(hotkey);
    clock().runPending();
    EXPECT_EQ(view->step(3)->detail(), SettingsTexts::switcherStepDetail(hotkey));
}
