#include "UiTest.h"

#include "platform/KeyWindow.h"
#include "platform/PreferenceDomain.h"
#include "platform/Screens.h"
#include "platform/sim/Input.h"
#include "platform/sim/SessionHooks.h"
#include "platform/sim/TitledWindows.h"
#include "platform/sim/World.h"
#include "ui/HostedWindow.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QScrollArea>
#include <QVBoxLayout>

#include <optional>

namespace {

using platform::sim::WindowDragStep;

constexpr char autosaveName[] = "Tessaroom.test";

// A page with a text field at the top and a button at the bottom, of a fixed
// width and a height that may shrink to least.
QWidget* page(QSize size, int least = -1)
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    auto* field = new QLineEdit;
    field->setObjectName(QStringLiteral("field"));
    layout->addWidget(field);
    layout->addStretch(1);
    auto* button = new QPushButton(QStringLiteral("Done"));
    button->setObjectName(QStringLiteral("bottomButton"));
    layout->addWidget(button);
    page->setMinimumSize(size.width(), least < 0 ? size.height() : least);
    page->setMaximumSize(size);
    page->resize(size);
    return page;
}

class HostedWindowTest : public UiTest {
protected:
    // The only screen: size in points with its visible frame (screen
    // coordinates, y up) and the title bar and border of titled windows.
    void useScreen(QSizeF size, QRectF visible, QMargins titleBarAndBorder)
    {
        auto& world = platform::sim::World::shared();
        world.setDisplayFrame(world.displays().first().uuid, QRectF(QPointF(), size), visible);
        decorations = titleBarAndBorder;
        platform::sim::setTitledWindowDecorations(decorations);
    }

    // The visible frame in the window system's geometry.
    static QRect visibleArea()
    {
        return platform::Screens::windowGeometry(platform::Screens::mainScreen()->visibleFrame);
    }

    // The window's whole frame, title bar included, in the window system's
    // geometry.
    QRect frameOf(const HostedWindow& window) const
    {
        return QRect(window.window()->pos(), window.window()->size().grownBy(decorations));
    }

    static void send(QWidget* receiver, QEvent::Type type, QPointF at, Qt::MouseButtons held)
    {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, at, receiver->mapToGlobal(at), button, held, Qt::NoModifier);
        QApplication::sendEvent(receiver, &event);
    }

    QMargins decorations;
};

// --- opening on a screen ---------------------------------------------------------------------

struct Placement {
    const char* name;
    QSizeF screen;
    QRectF visible;
    QMargins decorations;
    QSize wanted;
    // How short the content may get before it scrolls.
    int least;
    // A frame origin remembered from an earlier run.
    std::optional<QPoint> saved;
    QSize content;
    // Where the frame's top-left corner goes; none: anywhere inside.
    std::optional<QPoint> frameAt;
};

class HostedWindowPlacementTest : public HostedWindowTest, public ::testing::WithParamInterface<Placement> {};

TEST_P(HostedWindowPlacementTest, OpensWithinTheVisibleFrameTitleBarIncluded)
{
    const Placement& p = GetParam();
    useScreen(p.screen, p.visible, p.decorations);
    if (p.saved) {
        platform::PreferenceDomain::standard().setString(
            HostedWindow::frameKey(QString::fromLatin1(autosaveName)),
            QStringLiteral("%1 %2 880 640").arg(p.saved->x()).arg(p.saved->y()));
    }
    HostedWindow window(page(p.wanted, p.least), std::nullopt, QString::fromLatin1(autosaveName));
    window.show();
    const QRect frame = frameOf(window);
    EXPECT_TRUE(visibleArea().contains(frame)) << "frame " << frame.x() << "," << frame.y() << " " << frame.width()
                                               << "x" << frame.height();
    if (p.content.isValid()) {
        EXPECT_EQ(window.window()->size(), p.content);
    }
    if (p.frameAt) {
        EXPECT_EQ(frame.topLeft(), *p.frameAt);
    }

    // Content that does not fit scrolls inside the window.
    const auto* scroll = window.window()->findChild<QScrollArea*>(QStringLiteral("hostedScroll"));
    ASSERT_TRUE(scroll);
    EXPECT_EQ(scroll->verticalScrollBar()->maximum() > 0, window.window()->height() < p.least);
}

INSTANTIATE_TEST_SUITE_P(
    Screens, HostedWindowPlacementTest,
    ::testing::Values(
        // 1920 x 1200 pixels at scale 2; the title bar is 10 points. The
        // content gets shorter.
        Placement{"settingsAtScale2", {960, 600}, {0, 0, 960, 600}, {1, 10, 1, 1}, {880, 640}, 400, {}, {880, 589}, {}},
        // 1280 x 720 at scale 1 under a 24-point panel: everything fits.
        Placement{"settingsAt1280x720", {1280, 720}, {0, 0, 1280, 696}, {1, 20, 1, 1}, {880, 640}, 400, {}, {880, 640},
                  {}},
        // Content that cannot get shorter scrolls.
        Placement{"welcomeAtScale2On1280x720", {640, 360}, {0, 0, 640, 360}, {1, 10, 1, 1}, {500, 560}, 560, {}, {}, {}},
        // Left almost off screen in an earlier run: back inside, moved the least.
        Placement{"savedFarOffScreen", {1920, 1200}, {0, 0, 1920, 1200}, {1, 20, 1, 1}, {880, 640}, 640,
                  QPoint(1529, -486), {880, 640}, QPoint(1920 - 882, 0)},
        Placement{"savedInside", {1920, 1200}, {0, 0, 1920, 1200}, {1, 20, 1, 1}, {880, 640}, 640, QPoint(40, 50),
                  {880, 640}, QPoint(40, 50)}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(HostedWindowTest, AReopenedWindowFitsThoughTheWindowSystemReportsANonsenseFrame)
{
    // 1920 x 1200 at scale 2; the title bar is 10 points.
    useScreen({960, 600}, {0, 0, 960, 600}, {1, 10, 1, 1});
    QMargins reported(1, 10, 1, 1);
    platform::sim::WindowSystemHooks hooks;
    hooks.frameMargins = [&reported](const QWidget*) { return reported; };
    platform::sim::setWindowSystemHooks(hooks);
    HostedWindow window(page({880, 640}, 400), std::nullopt, QString::fromLatin1(autosaveName));
    window.show();
    EXPECT_TRUE(visibleArea().contains(frameOf(window)));
    window.close();
    // Closed and shown again, the window manager's answer is made up.
    reported = QMargins(0, -40, 0, 0);
    window.show();
    EXPECT_TRUE(visibleArea().contains(frameOf(window)))
        << "frame " << frameOf(window).y() << " tall " << frameOf(window).height();
    EXPECT_EQ(window.window()->height(), 600 - 11);
}

TEST_F(HostedWindowTest, AShownWindowIsKeyKeepsAFocusThatLeavesAsItOpensAndResignsWhenClosed)
{
    useScreen({1920, 1200}, {0, 0, 1920, 1200}, {1, 20, 1, 1});
    HostedWindow window(page({400, 300}), std::nullopt, QString::fromLatin1(autosaveName));
    window.show();
    ASSERT_TRUE(platform::KeyWindow::isKey(window.window()));
    // A closing menu's focus fallback to the program that had it before.
    QApplication::setActiveWindow(window.window());
    QApplication::setActiveWindow(nullptr);
    EXPECT_TRUE(platform::KeyWindow::isKey(window.window())) << "the opening window takes the focus back";
    auto* field = window.window()->findChild<QLineEdit*>(QStringLiteral("field"));
    platform::KeyWindow::makeFirstResponder(window.window(), field);
    platform::sim::typeText(QStringLiteral("ok"));
    EXPECT_EQ(field->text(), QStringLiteral("ok"));

    window.close();
    EXPECT_EQ(platform::KeyWindow::current(), nullptr) << "typing never goes to a closed window";
}

// --- the remembered frame --------------------------------------------------------------------

TEST_F(HostedWindowTest, MovingTheWindowWritesItsFrameSoonAndOnceNotOnEveryStep)
{
    useScreen({1920, 1200}, {0, 0, 1920, 1200}, {1, 20, 1, 1});
    HostedWindow window(page({400, 300}), std::nullopt, QString::fromLatin1(autosaveName));
    window.show();
    advance(1);
    QFile file(platform::PreferenceDomain::standard().filePath());
    const auto stored = [&file] {
        file.open(QIODevice::ReadOnly);
        const QByteArray bytes = file.readAll();
        file.close();
        return bytes;
    };
    const QByteArray before = stored();
    // A drag under a window manager: one move per pointer motion.
    for (int step = 1; step <= 40; ++step)
        window.window()->move(100 + step, 200 + step);
    QCoreApplication::processEvents();
    EXPECT_EQ(stored(), before) << "a move wrote the preferences file at once";
    advance(platform::PreferenceDomain::writeInterval);
    EXPECT_TRUE(stored().contains("140 240 400 300"));
    EXPECT_EQ(platform::PreferenceDomain::standard().string(HostedWindow::frameKey(QString::fromLatin1(autosaveName))),
              "140 240 400 300");
}

TEST_F(HostedWindowTest, ATitleBarReportedOnlyOnceOnScreenIsMadeRoomFor)
{
    // The window manager tells its title bar's size after mapping the window.
    useScreen({960, 600}, {0, 0, 960, 600}, {});
    HostedWindow window(page({880, 640}, 400));
    window.show();
    EXPECT_EQ(window.window()->height(), 600);
    useScreen({960, 600}, {0, 0, 960, 600}, {1, 10, 1, 1});
    QMoveEvent moved(window.window()->pos(), window.window()->pos());
    QApplication::sendEvent(window.window(), &moved);
    const QRect frame = frameOf(window);
    EXPECT_EQ(frame, QRect((960 - 882) / 2, 0, 882, 600));

    // Moved by its title bar, then on a screen of another scale: it stays.
    window.window()->move(20, 0);
    useScreen({960, 600}, {0, 0, 960, 600}, {1, 12, 1, 1});
    QApplication::sendEvent(window.window(), &moved);
    EXPECT_EQ(frameOf(window).topLeft(), QPoint(20, 0));
}

TEST_F(HostedWindowTest, EveryControlOfAWindowTallerThanTheScreenIsReachedByTab)
{
    useScreen({640, 360}, {0, 0, 640, 360}, {1, 20, 1, 1});
    HostedWindow window(page({500, 560}));
    activate(*window.window());
    window.show();
    auto* button = window.window()->findChild<QPushButton*>(QStringLiteral("bottomButton"));
    for (int i = 0; i < 4 && QApplication::focusWidget() != button; ++i)
        tab(*window.window());
    ASSERT_EQ(QApplication::focusWidget(), button);
    const auto* scroll = window.window()->findChild<QScrollArea*>(QStringLiteral("hostedScroll"));
    const QRect shown(button->mapTo(scroll->viewport(), QPoint()), button->size());
    EXPECT_TRUE(scroll->viewport()->rect().contains(shown));
}

// --- dragging by the background --------------------------------------------------------------

struct Gesture {
    const char* name;
    // Steps on the background (or the field): 'p' press, 'm' move with the
    // button held, 'h' move with no button, 'r' release; each after moving
    // by the step's offset.
    std::vector<std::pair<char, QPointF>> steps;
    bool onField;
    QList<WindowDragStep> drags;
};

class BackgroundDragTest : public HostedWindowTest, public ::testing::WithParamInterface<Gesture> {};

TEST_P(BackgroundDragTest, OnlyAPressThatTravelsWithTheButtonHeldDragsTheWindow)
{
    HostedWindow window(page({300, 200}));
    window.show();
    QWidget* target = GetParam().onField ? window.window()->findChild<QLineEdit*>(QStringLiteral("field"))
                                         : window.rootView();
    QPointF at(20, 10);
    for (const auto& [step, offset] : GetParam().steps) {
        at += offset;
        switch (step) {
        case 'p':
            send(target, QEvent::MouseButtonPress, at, Qt::LeftButton);
            break;
        case 'm':
            send(target, QEvent::MouseMove, at, Qt::LeftButton);
            break;
        case 'h':
            send(target, QEvent::MouseMove, at, Qt::NoButton);
            break;
        default:
            send(target, QEvent::MouseButtonRelease, at, Qt::NoButton);
            break;
        }
    }
    EXPECT_EQ(platform::sim::windowDragSteps(), GetParam().drags);
}

INSTANTIATE_TEST_SUITE_P(
    Gestures, BackgroundDragTest,
    ::testing::Values(
        Gesture{"clickThenPointerMoves", {{'p', {}}, {'r', {}}, {'h', {200, 40}}, {'h', {50, 0}}}, false, {}},
        Gesture{"jitterWhileHeld", {{'p', {}}, {'m', {2, 2}}, {'m', {-1, 1}}, {'r', {}}}, false, {}},
        Gesture{"dragPastTheThreshold", {{'p', {}}, {'m', {2, 0}}, {'m', {8, 3}}, {'m', {30, 0}}}, false,
                {WindowDragStep::started}},
        Gesture{"releaseBeforeTheWindowSystemTookOver", {{'p', {}}, {'m', {10, 0}}, {'r', {}}}, false,
                {WindowDragStep::started, WindowDragStep::endedEarly}},
        Gesture{"dragOnAControl", {{'p', {}}, {'m', {40, 0}}, {'r', {}}}, true, {}}),
    [](const auto& test) { return std::string(test.param.name); });

} // namespace
