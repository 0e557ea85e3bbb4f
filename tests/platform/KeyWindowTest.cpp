#include "platform/KeyWindow.h"

#include "platform/KeyCodes.h"
#include "platform/KeyEvents.h"
#include "platform/WindowFrame.h"
#include "platform/sim/Input.h"
#include "platform/sim/World.h"
#include "support/PlatformTest.h"

#include <QApplication>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QWidget>

namespace {

using namespace platform;

class KeyWindowTest : public PlatformTest {
protected:
    // A window holding one text field.
    struct FieldWindow {
        QWidget window;
        QLineEdit* field = new QLineEdit(&window);
        FieldWindow() { (new QVBoxLayout(&window))->addWidget(field); }
    };
};

// --- key status ---

TEST_F(KeyWindowTest, MakingAnotherWindowKeyResignsTheFirstOnce)
{
    FieldWindow first;
    FieldWindow second;
    int resigned = 0;
    KeyWindow::setResignHandler(&first.window, [&] {
        EXPECT_FALSE(KeyWindow::isKey(&first.window)) << "no longer key when told";
        ++resigned;
    });
    KeyWindow::makeKeyAndOrderFront(&first.window);
    KeyWindow::makeKeyAndOrderFront(&first.window);
    EXPECT_EQ(resigned, 0);
    KeyWindow::makeKeyAndOrderFront(&second.window);
    EXPECT_EQ(resigned, 1);
    EXPECT_EQ(KeyWindow::current(), &second.window);
    sim::resignKeyWindow();
    EXPECT_EQ(KeyWindow::current(), nullptr);
    EXPECT_EQ(resigned, 1);
}

TEST_F(KeyWindowTest, TheFocusLeavingTheAppWhileAWindowOpensIsTakenBackButNotLater)
{
    FieldWindow opened;
    int resigned = 0;
    KeyWindow::setResignHandler(&opened.window, [&] { ++resigned; });
    KeyWindow::makeKeyAndOrderFront(&opened.window);
    // What a closing menu's focus fallback to another program looks like.
    const auto focusLeavesTheApp = [&] {
        QApplication::setActiveWindow(&opened.window);
        QApplication::setActiveWindow(nullptr);
    };
    focusLeavesTheApp();
    EXPECT_EQ(resigned, 0) << "the window takes the focus back";
    EXPECT_TRUE(KeyWindow::isKey(&opened.window));

    advance(1);
    focusLeavesTheApp();
    EXPECT_EQ(resigned, 1) << "once open, a click elsewhere resigns it";
    EXPECT_FALSE(KeyWindow::isKey(&opened.window));
}

TEST_F(KeyWindowTest, OrderingOutResignsAfterTheWindowIsHidden)
{
    FieldWindow shown;
    bool visibleWhenTold = true;
    KeyWindow::setResignHandler(&shown.window, [&] { visibleWhenTold = shown.window.isVisible(); });
    KeyWindow::makeKeyAndOrderFront(&shown.window);
    KeyWindow::orderOut(&shown.window);
    EXPECT_FALSE(visibleWhenTold);
    EXPECT_FALSE(shown.window.isVisible());
}

TEST_F(KeyWindowTest, AResignHandlerDiesWithItsWindow)
{
    int resigned = 0;
    {
        FieldWindow gone;
        KeyWindow::setResignHandler(&gone.window, [&] { ++resigned; });
        KeyWindow::makeKeyAndOrderFront(&gone.window);
    }
    EXPECT_EQ(KeyWindow::current(), nullptr);
    sim::resignKeyWindow();
    EXPECT_EQ(resigned, 0);
}

TEST_F(KeyWindowTest, TheFirstResponderMustBelongToItsWindow)
{
    FieldWindow a;
    FieldWindow b;
    EXPECT_FALSE(KeyWindow::makeFirstResponder(&a.window, b.field));
    EXPECT_TRUE(KeyWindow::makeFirstResponder(&a.window, a.field));
    EXPECT_EQ(KeyWindow::firstResponder(&a.window), a.field);
}

// --- typing ---

TEST_F(KeyWindowTest, TypedKeysPassTheMonitorsBeforeTheField)
{
    FieldWindow typing;
    KeyWindow::makeKeyAndOrderFront(&typing.window);
    KeyWindow::makeFirstResponder(&typing.window, typing.field);
    QList<quint16> seen;
    const auto token = KeyEvents::addLocalMonitor(KeyEvents::maskFor(KeyEventType::keyDown),
                                                  [&](const KeyEvent& event) -> std::optional<KeyEvent> {
                                                      seen.append(event.keyCode);
                                                      if (event.keyCode == KeyCode::x)
                                                          return std::nullopt;
                                                      return event;
                                                  });
    sim::typeText(QStringLiteral("aXb!"));
    EXPECT_EQ(typing.field->text(), QStringLiteral("ab!"));
    EXPECT_EQ(seen, (QList<quint16>{KeyCode::a, KeyCode::x, KeyCode::b, KeyCode::digit1}));
    EXPECT_TRUE(sim::paste(QStringLiteral("\x01z")));
    EXPECT_TRUE(typing.field->text().endsWith(QStringLiteral("z")));
    KeyEvents::removeMonitor(token);
}

TEST_F(KeyWindowTest, NothingIsTypedWithoutAKeyWindow)
{
    EXPECT_FALSE(sim::typeKey({KeyEventType::keyDown, KeyCode::a, 0, QStringLiteral("a")}));
}

// --- frames ---

TEST_F(KeyWindowTest, FramesAreInScreenCoordinatesWithYUp)
{
    sim::World::shared().clear();
    sim::DisplaySpec display;
    display.uuid = QStringLiteral("D");
    display.frame = QRectF(0, 0, 1000, 800);
    sim::World::shared().addDisplay(display);
    QWidget window(nullptr, Qt::Tool | Qt::FramelessWindowHint);
    WindowFrame::setFrame(&window, QRectF(100, 600, 300, 150.5));
    EXPECT_EQ(WindowFrame::frame(&window), QRectF(100, 600, 300, 150.5));
    // 800 - (600 + 150.5) from the top, rounded.
    EXPECT_EQ(window.geometry().y(), 50);
    EXPECT_EQ(window.geometry().height(), 151);
}

} // namespace
