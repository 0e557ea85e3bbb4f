#include "debug/Capture.h"

#include "debug/DebugTools.h"
#include "engine/SpaceEngine.h"
#include "menubar/MenuPopoverController.h"
#include "menubar/StatusBarController.h"
#include "missioncontrol/MissionControlTest.h"
#include "platform/AtomicFile.h"
#include "platform/Menu.h"
#include "platform/WindowCapture.h"
#include "platform/sim/StatusBar.h"
#include "settings/OnboardingView.h"
#include "settings/SettingsModel.h"
#include "settings/SettingsServices.h"
#include "settings/SettingsView.h"
#include "surfaces/HUDPanel.h"
#include "surfaces/NotchName.h"
#include "surfaces/QuickSwitcher.h"
#include "surfaces/SpaceHover.h"
#include "surfaces/SwitchHUD.h"
#include "switching/Accessibility.h"
#include "ui/AppCommands.h"
#include "ui/FloatingPanel.h"
#include "ui/HostedWindow.h"
#include "update/Updates.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPointer>
#include <QRegularExpression>
#include <QScrollBar>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTextStream>
#include <QVBoxLayout>

#include <cmath>
#include <memory>

namespace {

// What the launched app's delegate does for the capture: the popover under
// the tile, the settings and welcome windows made once and shown.
class CaptureCommands final : public InertCommands {
public:
    std::function<void()> onTogglePopover;
    std::function<void()> onClosePopover;
    std::function<void()> onOpenSettings;
    std::function<void()> onShowOnboarding;

    void openSettings(std::optional<SettingsPage>) override { onOpenSettings(); }
    void showOnboarding() override { onShowOnboarding(); }
    void togglePopover() override { onTogglePopover(); }
    void closePopover() override { onClosePopover(); }
};

// A panel of a given size, standing in for the demo picture's panel.
std::unique_ptr<FloatingPanel> plainPanel(QSize size)
{
    auto panel = std::make_unique<FloatingPanel>(
        FloatingPanel::Options{.size = QSizeF(size), .level = WindowLevel::screenSaver});
    panel->resize(size);
    return panel;
}

class CaptureTest : public MissionControlTest {
protected:
    CaptureTest()
    {
        addDisplays({3});
        name(1, "Code");
        name(2, "Mail");
        commands.onTogglePopover = [this] {
            if (popover.isShown())
                popover.close();
            else
                popover.toggle(MenuPopoverController::anchorOf(*statusBar.button()));
        };
        commands.onClosePopover = [this] { popover.close(); };
        commands.onOpenSettings = [this] {
            if (!settingsWindow)
                settingsWindow = std::make_unique<HostedWindow>(
                    new SettingsView(settingsModel, SettingsServices::shared()), std::nullopt);
            settingsWindow->show();
        };
        commands.onShowOnboarding = [this] {
            if (!onboardingWindow)
                onboardingWindow = std::make_unique<HostedWindow>(
                    new OnboardingView(settings(), access(), [this] { onboardingWindow->close(); }),
                    QSizeF(OnboardingView::windowSize));
            onboardingWindow->show();
        };
        statusBar.render();
        clock().runPending();
    }

    ~CaptureTest() override
    {
        // Gone before the shared engine and settings they watch.
        settingsWindow.reset();
        onboardingWindow.reset();
    }

    LateModeContext context()
    {
        return LateModeContext{
            .engine = engine(),
            .settings = settings(),
            .access = Accessibility::shared(),
            .updates = Updates::shared(),
            .commands = commands,
            .hud = hud,
            .switcher = switcher,
            .overlay = *overlay,
            .statusBar = statusBar,
            .popover = popover,
            .settingsModel = settingsModel,
            .hover = [this]() -> SpaceHover& { return hover; },
            .notch = [this]() -> NotchName& { return notch; },
            .settingsWindow = [this] { return settingsWindow.get(); },
            .onboardingWindow = [this] { return onboardingWindow.get(); },
            .out = out,
            .exit = [this](int status) { exitStatus = status; },
        };
    }

    // Starts the script into folder (default: a fresh temporary one).
    std::shared_ptr<Capture> start(Capture::Options options, std::optional<QString> folder = std::nullopt)
    {
        directory = folder.value_or(outputs.path() + QStringLiteral("/shots"));
        return Capture::start(directory, context(), std::move(options));
    }

    // Output lines printed so far, and forgets them.
    QStringList takeLines()
    {
        out.flush();
        QStringList lines = printed.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        printed.clear();
        return lines;
    }

    // "wrote <dir>/<file> (...)" for each line, the file names only.
    QStringList writtenFiles(const QStringList& lines) const
    {
        QStringList files;
        const QString prefix = QStringLiteral("wrote ") + directory + QLatin1Char('/');
        for (const QString& line : lines) {
            if (line.startsWith(prefix))
                files.append(line.mid(prefix.size()).section(QLatin1Char(' '), 0, 0));
        }
        return files;
    }

    // The size a "wrote" line reports for file.
    QSize reportedSize(const QStringList& lines, const QString& file) const
    {
        const QString prefix = QStringLiteral("wrote ") + directory + QLatin1Char('/') + file + QStringLiteral(" (");
        for (const QString& line : lines) {
            if (line.startsWith(prefix)) {
                const QStringList size = line.mid(prefix.size()).chopped(1).split(QLatin1Char('x'));
                return QSize(size.value(0).toInt(), size.value(1).toInt());
            }
        }
        return {};
    }

    CaptureCommands commands;
    SwitchHUD hud{engine(), settings()};
    QuickSwitcher switcher{engine()};
    std::unique_ptr<MissionControlOverlay> overlay = makeOverlay();
    StatusBarController statusBar{commands};
    MenuPopoverController popover{commands};
    SettingsModel settingsModel;
    SpaceHover hover{engine(), settings(), [] { return false; }};
    NotchName notch{engine(), settings()};
    std::unique_ptr<HostedWindow> settingsWindow;
    std::unique_ptr<HostedWindow> onboardingWindow;

    QString printed;
    QTextStream out{&printed};
    std::optional<int> exitStatus;
    QTemporaryDir outputs;
    QString directory;
};

// --- the whole script ---

TEST_F(CaptureTest, EveryStepWritesItsFilesInOrderAndTheScriptEndsAt26Point6Seconds)
{
    std::optional<qsizetype> demoDesktops;
    start({.missionControlPanel = [&](const QList<Desktop>& desktops, const platform::Screen&) {
        demoDesktops = desktops.size();
        return plainPanel(QSize(600, 120));
    }});
    EXPECT_EQ(Capture::duration(), 26.6);
    advance(26.59);
    EXPECT_FALSE(exitStatus.has_value());
    advance(0.02);
    EXPECT_EQ(exitStatus, 0);
    EXPECT_EQ(demoDesktops, 3);

    const QStringList lines = takeLines();
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.last(), "capture complete");
    for (const QString& line : lines.mid(0, lines.size() - 1))
        EXPECT_TRUE(line.startsWith("wrote " + directory + "/")) << qPrintable(line);
    // Pages longer than the window get their "_end" shot right after their
    // first; the offscreen session has no menu window to write.
    const QStringList files = writtenFiles(lines);
    EXPECT_EQ(files, (QStringList{"menubar.png", "hud_1.png", "switcher.png", "hover_1.png", "notch_1.png",
                                  "notch_2.png", "mission_control_labels.png", "popover_1.png", "popover_edit_1.png",
                                  "settings_spaces.png", "settings_missionControl.png",
                                  "settings_missionControl_end.png", "settings_switchTag.png",
                                  "settings_switchTag_end.png", "settings_spaceHover.png", "settings_shortcuts.png",
                                  "settings_shortcuts_end.png", "settings_timeTracking.png",
                                  "settings_timeTracking_end.png", "settings_general.png",
                                  "settings_general_end.png", "settings_about.png", "settings_about_end.png",
                                  "onboarding.png"}));
    // Each file decodes as a picture of the size its line gives.
    for (const QString& file : files) {
        const QImage image(directory + "/" + file);
        ASSERT_FALSE(image.isNull()) << qPrintable(file);
        EXPECT_EQ(image.size(), reportedSize(lines, file)) << qPrintable(file);
    }
    EXPECT_EQ(reportedSize(lines, "mission_control_labels.png"), QSize(600, 120));
    EXPECT_EQ(reportedSize(lines, "onboarding.png"), OnboardingView::windowSize);
    EXPECT_EQ(QDir(directory).entryList(QDir::Files).size(), files.size());
    // Everything it opened is closed again.
    EXPECT_FALSE(hud.isShowing());
    EXPECT_FALSE(switcher.isVisible());
    EXPECT_FALSE(popover.isShown());
    EXPECT_FALSE(settingsWindow->isVisible());
    EXPECT_FALSE(onboardingWindow->isVisible());
    EXPECT_FALSE(statusBar.menu().isOpen());
}

TEST_F(CaptureTest, TheFolderIsMadeWithItsParentsAndEachLineComesWhenItsStepRuns)
{
    start({}, outputs.path() + "/a/b/shots");
    EXPECT_TRUE(QFileInfo(directory).isDir());
    advance(0.59);
    EXPECT_TRUE(takeLines().isEmpty());
    advance(0.02);
    const QStringList lines = takeLines();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith("wrote " + directory + "/menubar.png (")) << qPrintable(lines[0]);
    // The tile's own picture at the bar's scale: its width and the bar's
    // thickness, two pixels per point.
    const platform::StatusItem& item = statusBar.item();
    EXPECT_EQ(reportedSize(lines, "menubar.png"),
              QSize(int(std::ceil(item.width() * 2)), int(platform::StatusItem::thickness * 2)));
    advance(1.0);
    EXPECT_EQ(writtenFiles(takeLines()), QStringList{"hud_1.png"});
}

TEST_F(CaptureTest, WithoutATileWindowTheTileStepSaysSoAndNothingIsExcluded)
{
    platform::sim::setWindowless(statusBar.item(), true);
    auto capture = start({});
    EXPECT_EQ(capture->excludedWindows(), QSet<qint64>{-1});
    advance(0.61);
    EXPECT_EQ(takeLines(), QStringList{"capture: no window for menubar.png"});
    capture.reset();
    advance(26.0);
    EXPECT_EQ(exitStatus, 0);
}

TEST_F(CaptureTest, TheTileWindowIsExcluded)
{
    auto capture = start({});
    EXPECT_EQ(capture->excludedWindows(), QSet<qint64>{statusBar.item().windowNumber()});
}

// --- own windows ---

TEST_F(CaptureTest, TwoOwnWindowsDuringTheTagStepAreWrittenFrontMostFirst)
{
    start({});
    advance(1.0);
    auto behind = plainPanel(QSize(200, 100));
    behind->orderFront();
    advance(0.2); // the tag preview comes in front at 1.1 s
    ASSERT_TRUE(hud.isShowing());
    takeLines();
    advance(0.45);
    const QStringList lines = takeLines();
    EXPECT_EQ(writtenFiles(lines), (QStringList{"hud_1.png", "hud_2.png"}));
    EXPECT_EQ(reportedSize(lines, "hud_2.png"), QSize(200, 100));
    EXPECT_NE(reportedSize(lines, "hud_1.png"), QSize(200, 100));
}

TEST_F(CaptureTest, AToastUpDuringTheTagStepIsNotWrittenAsTheTag)
{
    start({});
    advance(1.2); // the tag preview came in at 1.1 s
    // A notice of the launch, in front of the tag.
    hud.toast(QStringLiteral("Turned on macOS shortcuts so switching is instant."), QStringLiteral("keyboard"), 5.0);
    advance(0.1);
    HUDPanel* toast = hud.panel(SwitchHUD::toastKey);
    HUDPanel* tag = hud.panel(SwitchHUD::previewKey);
    ASSERT_TRUE(toast && tag && toast->isOnScreen() && tag->isOnScreen());
    takeLines();
    advance(0.35);
    const QStringList lines = takeLines();
    EXPECT_EQ(writtenFiles(lines), QStringList{"hud_1.png"});
    const QImage written(directory + "/hud_1.png");
    EXPECT_EQ(written.size(), platform::WindowCapture::windowImage(platform::WindowCapture::windowNumber(tag)).size());
    EXPECT_NE(written.size(), platform::WindowCapture::windowImage(platform::WindowCapture::windowNumber(toast)).size());
}

TEST_F(CaptureTest, WindowsOfFortyByTwentyPointsOrLessAreNeverWritten)
{
    auto capture = start({});
    auto wide = plainPanel(QSize(41, 21));
    auto narrow = plainPanel(QSize(40, 200));
    auto flat = plainPanel(QSize(200, 20));
    wide->orderFront();
    narrow->orderFront();
    flat->orderFront();
    capture->writeOwnWindow("probe");
    const QStringList lines = takeLines();
    EXPECT_EQ(writtenFiles(lines), QStringList{"probe_1.png"});
    EXPECT_EQ(reportedSize(lines, "probe_1.png"), QSize(41, 21));
}

TEST_F(CaptureTest, HiddenWindowsAreNotWrittenAndNoWindowWritesNothing)
{
    auto capture = start({});
    auto panel = plainPanel(QSize(300, 200));
    panel->orderFront();
    panel->orderOut();
    capture->writeOwnWindow("probe");
    EXPECT_TRUE(takeLines().isEmpty());
    EXPECT_TRUE(QDir(directory).entryList(QDir::Files).isEmpty());
}

TEST_F(CaptureTest, AWindowWithoutAPictureIsReportedAsFailed)
{
    auto capture = start({});
    capture->writeWindowImage(987654, "ghost.png");
    EXPECT_EQ(takeLines(), QStringList{"capture failed: " + directory + "/ghost.png"});
    EXPECT_FALSE(QFile::exists(directory + "/ghost.png"));
}

TEST_F(CaptureTest, AShotThatMeetsAFullDiskIsReportedAndLeavesNoFile)
{
    auto capture = start({});
    auto panel = plainPanel(QSize(300, 200));
    panel->orderFront();
    platform::AtomicFile::failNextWrite({.step = platform::AtomicFile::Step::flush});
    capture->writeOwnWindow("probe");
    platform::AtomicFile::clearInjectedFailure();
    EXPECT_EQ(takeLines(),
              QStringList{"could not write " + directory + "/probe_1.png: could not write: No space left on device"});
    EXPECT_TRUE(QDir(directory).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
}

// --- settings pages ---

TEST_F(CaptureTest, AFittingPageGivesOneShotAndALongOneItsEndShotAThirdOfASecondLater)
{
    start({});
    advance(14.2);
    takeLines();
    // Spaces (page 0) fits: 13.7 + 0.55.
    advance(0.1);
    EXPECT_EQ(writtenFiles(takeLines()), QStringList{"settings_spaces.png"});
    advance(0.9);
    EXPECT_TRUE(takeLines().isEmpty());
    // Mission Control (page 1) is longer than the window: 14.7 + 0.55, then 0.3 s.
    advance(0.1);
    EXPECT_EQ(writtenFiles(takeLines()), QStringList{"settings_missionControl.png"});
    QScrollArea* scroll = Capture::firstScrollView(settingsWindow->window());
    ASSERT_NE(scroll, nullptr);
    EXPECT_EQ(scroll->verticalScrollBar()->value(), scroll->widget()->height() - scroll->viewport()->height());
    advance(0.2);
    EXPECT_TRUE(takeLines().isEmpty());
    advance(0.1);
    EXPECT_EQ(writtenFiles(takeLines()), QStringList{"settings_missionControl_end.png"});
    // The end shot shows another part of the page than the first.
    EXPECT_NE(QImage(directory + "/settings_missionControl.png"),
              QImage(directory + "/settings_missionControl_end.png"));
}

TEST_F(CaptureTest, WithoutTheSettingsOrWelcomeWindowTheirStepsSaySo)
{
    commands.onOpenSettings = [] {};
    commands.onShowOnboarding = [] {};
    start({});
    advance(12.9);
    takeLines();
    advance(13.8);
    EXPECT_EQ(exitStatus, 0);
    EXPECT_EQ(takeLines(), (QStringList{"capture: no window for settings_spaces.png",
                                        "capture: no window for settings_missionControl.png",
                                        "capture: no window for settings_switchTag.png",
                                        "capture: no window for settings_spaceHover.png",
                                        "capture: no window for settings_shortcuts.png",
                                        "capture: no window for settings_timeTracking.png",
                                        "capture: no window for settings_general.png",
                                        "capture: no window for settings_about.png",
                                        "capture: no window for onboarding.png", "capture complete"}));
}

TEST_F(CaptureTest, TheFirstScrollViewIsFoundDepthFirstInOrder)
{
    QWidget root;
    auto* layout = new QVBoxLayout(&root);
    auto* holder = new QWidget;
    new QVBoxLayout(holder);
    auto* inner = new QScrollArea;
    holder->layout()->addWidget(inner);
    layout->addWidget(holder);
    auto* later = new QScrollArea;
    layout->addWidget(later);
    EXPECT_EQ(Capture::firstScrollView(&root), inner);
    EXPECT_EQ(Capture::firstScrollView(later), later);
    QWidget empty;
    EXPECT_EQ(Capture::firstScrollView(&empty), nullptr);
    EXPECT_EQ(Capture::firstScrollView(nullptr), nullptr);
}

// --- the other steps ---

TEST_F(CaptureTest, TheDemoShowsAtMostSevenDesktopsAndIsOrderedOutAfterItsShot)
{
    for (quint64 id = 4; id <= 9; ++id)
        world().addSpace("D1", platform::sim::SpaceSpec{.id = id, .managedID = qint64(id) + 1000, .type = 0, .name = std::nullopt});
    clock().runPending();
    engine().refresh(false);
    ASSERT_EQ(engine().desktops().size(), 9);
    QPointer<FloatingPanel> shown;
    std::optional<qsizetype> count;
    start({.missionControlPanel = [&](const QList<Desktop>& desktops, const platform::Screen&) {
        count = desktops.size();
        auto panel = plainPanel(QSize(500, 90));
        shown = panel.get();
        return panel;
    }});
    advance(6.01);
    EXPECT_EQ(count, 7);
    ASSERT_TRUE(shown);
    EXPECT_TRUE(shown->isOnScreen());
    takeLines();
    advance(0.5);
    EXPECT_EQ(writtenFiles(takeLines()), QStringList{"mission_control_labels.png"});
    EXPECT_FALSE(shown);
}

TEST_F(CaptureTest, WithoutAPanelBuilderTheDemoStepWritesNothing)
{
    start({});
    advance(5.9);
    takeLines();
    advance(1.0);
    EXPECT_TRUE(takeLines().isEmpty());
}

TEST_F(CaptureTest, ThePopoverTurnsToTheActiveDesktopsEditor)
{
    start({});
    advance(8.0);
    EXPECT_TRUE(popover.isShown());
    EXPECT_EQ(popover.model().page(), PopoverPage::list());
    advance(0.2);
    ASSERT_TRUE(engine().activeDesktop().has_value());
    EXPECT_EQ(popover.model().page(), PopoverPage::edit(*engine().activeDesktop()));
    advance(0.7);
    EXPECT_FALSE(popover.isShown());
}

TEST_F(CaptureTest, TheRightClickMenuOpensAndIsClosedSixTenthsOfASecondLater)
{
    start({});
    advance(25.09);
    EXPECT_FALSE(statusBar.menu().isOpen());
    advance(0.02);
    EXPECT_TRUE(statusBar.menu().isOpen());
    advance(0.57);
    EXPECT_TRUE(statusBar.menu().isOpen());
    advance(0.03);
    EXPECT_FALSE(statusBar.menu().isOpen());
    EXPECT_FALSE(exitStatus.has_value());
}

// --- failures ---

TEST_F(CaptureTest, AnUnwritableFolderGivesOneLinePerFileAndTheScriptStillCompletes)
{
    QFile blocker(outputs.path() + "/blocker");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    start({}, blocker.fileName() + "/shots");
    advance(26.7);
    EXPECT_EQ(exitStatus, 0);
    const QStringList lines = takeLines();
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines.last(), "capture complete");
    EXPECT_TRUE(lines[0].startsWith("could not write " + directory + "/menubar.png: ")) << qPrintable(lines[0]);
    EXPECT_GT(lines[0].size(), QString("could not write " + directory + "/menubar.png: ").size());
    for (const QString& line : lines.mid(0, lines.size() - 1))
        EXPECT_TRUE(line.startsWith("could not write " + directory + "/")) << qPrintable(line);
    EXPECT_FALSE(QFileInfo::exists(directory));
}

} // namespace
