#include "platform/MouseEvents.h"

#include "platform/KeyWindow.h"
#include "platform/WindowFrame.h"
#include "platform/sim/Input.h"
#include "platform/sim/World.h"
#include "support/PlatformTest.h"

#include <QMouseEvent>
#include <QWidget>

namespace {

using namespace platform;

// A widget that counts the clicks it gets.
class Target : public QWidget {
public:
    using QWidget::QWidget;
    int presses = 0;

protected:
    void mousePressEvent(QMouseEvent*) override { ++presses; }
};

class MouseEventsTest : public PlatformTest {};

// --- monitors ---

TEST_F(MouseEventsTest, GlobalMonitorsSeeOtherAppsAndLocalOnesTheAppsOwnEvents)
{
    QList<QPointF> global;
    QList<QPointF> local;
    const auto moves = MouseEvents::maskFor(MouseEventType::mouseMoved);
    const auto g = MouseEvents::addGlobalMonitor(moves | MouseEvents::maskFor(MouseEventType::leftMouseDragged),
                                                 [&](const MouseEvent& event) { global.append(event.location); });
    const auto l = MouseEvents::addLocalMonitor(moves, [&](const MouseEvent& event) -> std::optional<MouseEvent> {
        local.append(event.location);
        return std::nullopt;
    });
    int later = 0;
    MouseEvents::addLocalMonitor(moves, [&](const MouseEvent& event) -> std::optional<MouseEvent> {
        ++later;
        return event;
    });
    sim::movePointer({10, 20});
    sim::dragPointer({11, 21});
    sim::movePointer({30, 40}, sim::PointerOver::ownApp);
    sim::dragPointer({31, 41}, sim::PointerOver::ownApp);
    EXPECT_EQ(global, (QList<QPointF>{{10, 20}, {11, 21}}));
    EXPECT_EQ(local, (QList<QPointF>{{30, 40}}));
    EXPECT_EQ(later, 0) << "the first local monitor swallowed the move";
    EXPECT_EQ(MouseEvents::mouseLocation(), QPointF(31, 41));
    MouseEvents::removeMonitor(g);
    MouseEvents::removeMonitor(l);
    EXPECT_EQ(sim::mouseMonitorCount(), 1);
    // A move is an input event for the input clocks too.
    EXPECT_DOUBLE_EQ(sim::World::shared().secondsSinceLastEvent(EventSource::EventType::mouseMoved), 0);
}

// --- clicks ---

TEST_F(MouseEventsTest, AWindowThatIsNotKeyTakesTheFirstClickOnlyWhereAViewAcceptsIt)
{
    sim::World::shared().clear();
    sim::DisplaySpec display;
    display.uuid = QStringLiteral("D");
    display.frame = QRectF(0, 0, 1000, 800);
    sim::World::shared().addDisplay(display);

    QWidget window(nullptr, Qt::Tool | Qt::FramelessWindowHint);
    auto* plain = new Target(&window);
    plain->setGeometry(0, 0, 100, 50);
    auto* host = new QWidget(&window);
    host->setProperty("acceptsFirstMouse", true);
    host->setGeometry(100, 0, 100, 50);
    auto* inHost = new Target(host);
    inHost->setGeometry(0, 0, 100, 50);
    WindowFrame::setFrame(&window, QRectF(0, 700, 200, 50));
    window.show();

    // Screen y 725 is 25 points below the window's top.
    EXPECT_FALSE(sim::click(&window, {50, 725}));
    EXPECT_EQ(plain->presses, 0);
    EXPECT_TRUE(sim::click(&window, {150, 725}));
    EXPECT_EQ(inHost->presses, 1);
    EXPECT_FALSE(sim::click(&window, {150, 690})) << "below the window";

    KeyWindow::makeKeyAndOrderFront(&window);
    EXPECT_TRUE(sim::click(&window, {50, 725}));
    EXPECT_EQ(plain->presses, 1);
}

} // namespace
