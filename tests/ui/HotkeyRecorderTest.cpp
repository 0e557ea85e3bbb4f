#include "UiTest.h"

#include "platform/KeyCodes.h"
#include "platform/sim/DialogScript.h"
#include "platform/sim/HotKeys.h"
#include "platform/sim/Keyboard.h"
#include "switching/HotkeyCenter.h"
#include "ui/HotkeyRecorder.h"
#include "ui/PlainSymbolButton.h"
#include "ui/RecorderButton.h"
#include "ui/Theme.h"

#include <QApplication>
#include <QKeyEvent>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <memory>
#include <vector>

using platform::EventFlags;
namespace EventFlag = platform::EventFlag;

namespace {

namespace KeyCode = platform::KeyCode;
constexpr EventFlags controlOption = EventFlag::control | EventFlag::option;

const Hotkey controlOptionD{KeyCode::d, Hotkey::defaultModifiers};
const Hotkey controlOptionSpace{KeyCode::space, Hotkey::defaultModifiers};

class HotkeyRecorderTest : public UiTest {
protected:
    // A recorder that logs what it announces.
    std::unique_ptr<HotkeyRecorder> makeRecorder(std::optional<Hotkey> hotkey = std::nullopt)
    {
        auto recorder = std::make_unique<HotkeyRecorder>(hotkey);
        QObject::connect(recorder.get(), &HotkeyRecorder::hotkeyChanged,
                         [this](std::optional<Hotkey> changed) { announced_.push_back(changed); });
        QObject::connect(recorder.get(), &HotkeyRecorder::recordingChanged,
                         [this](bool recording) { recordingChanges_.push_back(recording); });
        return recorder;
    }

    static bool isRegistered(const Hotkey& hotkey)
    {
        for (const auto& registered : platform::sim::registeredHotKeys()) {
            if (registered.keyCode == hotkey.keyCode && registered.modifiers == hotkey.modifiers)
                return true;
        }
        return false;
    }

    static bool isListening(const HotkeyRecorder& recorder)
    {
        return recorder.isRecording() && recorder.recorderButton()->isRecording()
            && HotkeyCenter::shared().isSuspended() && platform::sim::localMonitorCount() == 1;
    }

    static bool isIdle(const HotkeyRecorder& recorder)
    {
        return !recorder.isRecording() && !recorder.recorderButton()->isRecording()
            && !HotkeyCenter::shared().isSuspended() && platform::sim::localMonitorCount() == 0;
    }

    std::vector<std::optional<Hotkey>> announced_;
    std::vector<bool> recordingChanges_;
};

TEST_F(HotkeyRecorderTest, ShowsTheShortcutAndWaitsForOneWithTheGlobalHotkeysSuspended)
{
    int fired = 0;
    HotkeyCenter::shared().registerHotkey(controlOptionSpace, [&fired] { ++fired; });
    auto recorder = makeRecorder(controlOptionD);
    RecorderButton* button = recorder->recorderButton();
    EXPECT_EQ(button->text(), "⌃⌥D");
    EXPECT_EQ(button->size(), QSize(150, 24));
    EXPECT_FALSE(recorder->clearButton()->isHidden());
    EXPECT_EQ(recorder->clearButton()->toolTip(), "Remove shortcut");
    EXPECT_EQ(makeRecorder()->recorderButton()->text(), "Click to record");

    button->click();
    EXPECT_TRUE(isListening(*recorder));
    EXPECT_EQ(button->text(), "Press shortcut…");
    EXPECT_TRUE(recorder->clearButton()->isHidden());
    EXPECT_FALSE(isRegistered(controlOptionSpace));
    EXPECT_EQ(recordingChanges_, std::vector<bool>{true});

    // The combination of a live hotkey is recorded and does not fire.
    userPress(KeyCode::space, controlOption);
    EXPECT_EQ(fired, 0);
    EXPECT_EQ(recorder->hotkey(), controlOptionSpace);
    EXPECT_EQ(announced_, std::vector<std::optional<Hotkey>>{controlOptionSpace});
    EXPECT_TRUE(isIdle(*recorder));
    EXPECT_EQ(recordingChanges_, std::vector<bool>({true, false}));
    EXPECT_EQ(button->text(), "⌃⌥Space");

    // Once recording ends the hotkey works again.
    EXPECT_TRUE(isRegistered(controlOptionSpace));
    userPress(KeyCode::space, controlOption);
    EXPECT_EQ(fired, 1);
}

TEST_F(HotkeyRecorderTest, EscapeAloneCancelsButWithAModifierIsRecorded)
{
    auto recorder = makeRecorder(controlOptionD);
    recorder->recorderButton()->click();
    userPress(KeyCode::escape);
    EXPECT_TRUE(isIdle(*recorder));
    EXPECT_EQ(recorder->hotkey(), controlOptionD);
    EXPECT_TRUE(announced_.empty());
    EXPECT_EQ(recorder->recorderButton()->text(), "⌃⌥D");

    recorder->recorderButton()->click();
    userPress(KeyCode::escape, EventFlag::control);
    EXPECT_EQ(recorder->hotkey(), (Hotkey{KeyCode::escape, Hotkey::controlKey}));
    EXPECT_EQ(recorder->recorderButton()->text(), "⌃⎋");
}

TEST_F(HotkeyRecorderTest, BareKeysOtherThanFunctionKeysAreRefusedWithABeep)
{
    auto recorder = makeRecorder();
    recorder->recorderButton()->click();
    userPress(KeyCode::a);
    userPress(KeyCode::space);
    // Caps Lock makes Escape no longer a bare Escape, and it is no modifier.
    userPress(KeyCode::escape, EventFlag::capsLock);
    EXPECT_EQ(platform::sim::beepCount(), 3);
    EXPECT_TRUE(isListening(*recorder));
    EXPECT_TRUE(announced_.empty());

    userPress(KeyCode::f5, EventFlag::secondaryFn);
    EXPECT_EQ(recorder->hotkey(), (Hotkey{KeyCode::f5, 0}));
    EXPECT_EQ(recorder->recorderButton()->text(), "F5");

    recorder->recorderButton()->click();
    userPress(KeyCode::a, EventFlag::shift | EventFlag::capsLock);
    EXPECT_EQ(recorder->hotkey(), (Hotkey{KeyCode::a, Hotkey::shiftKey}));
    EXPECT_EQ(recorder->recorderButton()->text(), "⇧A");
    EXPECT_EQ(platform::sim::beepCount(), 3);
}

TEST_F(HotkeyRecorderTest, OnlyKeyDownsAreTakenAndOnlyWhileRecording)
{
    auto recorder = makeRecorder();
    RecorderButton* button = recorder->recorderButton();
    const platform::KeyEvent press{platform::KeyEventType::keyDown, KeyCode::k, controlOption, {}};
    EXPECT_EQ(button->handle(press), press);

    button->click();
    const platform::KeyEvent shiftDown{platform::KeyEventType::flagsChanged, 56, EventFlag::shift, {}};
    const platform::KeyEvent release{platform::KeyEventType::keyUp, KeyCode::k, controlOption, {}};
    EXPECT_EQ(platform::sim::deliverLocalEvent(shiftDown), shiftDown);
    EXPECT_EQ(platform::sim::deliverLocalEvent(release), release);
    EXPECT_TRUE(isListening(*recorder));
    EXPECT_EQ(platform::sim::deliverLocalEvent(press), std::nullopt);
    EXPECT_EQ(recorder->hotkey(), (Hotkey{KeyCode::k, Hotkey::defaultModifiers}));
}

TEST_F(HotkeyRecorderTest, ASecondClickCancelsAndTheClearButtonRemovesTheShortcut)
{
    auto recorder = makeRecorder(controlOptionD);
    recorder->recorderButton()->click();
    recorder->recorderButton()->click();
    EXPECT_TRUE(isIdle(*recorder));
    EXPECT_EQ(recorder->hotkey(), controlOptionD);
    EXPECT_FALSE(recorder->clearButton()->isHidden());

    recorder->clearButton()->click();
    EXPECT_EQ(recorder->hotkey(), std::nullopt);
    EXPECT_EQ(announced_, std::vector<std::optional<Hotkey>>{std::nullopt});
    EXPECT_EQ(recorder->recorderButton()->text(), "Click to record");
    EXPECT_TRUE(recorder->clearButton()->isHidden());

    // A shortcut set from outside is shown without being announced.
    recorder->setHotkey(controlOptionSpace);
    EXPECT_EQ(recorder->recorderButton()->text(), "⌃⌥Space");
    EXPECT_FALSE(recorder->clearButton()->isHidden());
    EXPECT_EQ(announced_.size(), 1u);
}

TEST_F(HotkeyRecorderTest, KeysTypedIntoTheWindowAreRecordedBeforeAnyWidgetSeesThem)
{
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    HotkeyRecorder* recorder = makeRecorder().release();
    layout->addWidget(recorder);
    window.show();
    window.activateWindow();
    QApplication::processEvents();
    RecorderButton* button = recorder->recorderButton();
    button->setFocus();
    const auto type = [button](int key, Qt::KeyboardModifiers modifiers) { typeKey(button, key, modifiers); };

    // Space would click the focused button; while recording it is a bare key.
    type(Qt::Key_Space, Qt::NoModifier);
    EXPECT_TRUE(recorder->isRecording());
    type(Qt::Key_Space, Qt::NoModifier);
    EXPECT_TRUE(recorder->isRecording());
    EXPECT_EQ(platform::sim::beepCount(), 1);

    type(Qt::Key_K, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_EQ(recorder->hotkey(), (Hotkey{KeyCode::k, Hotkey::defaultModifiers}));

    button->click();
    type(Qt::Key_Escape, Qt::NoModifier);
    EXPECT_FALSE(recorder->isRecording());
    type(Qt::Key_A, Qt::MetaModifier | Qt::ShiftModifier);
    EXPECT_EQ(recorder->hotkey(), (Hotkey{KeyCode::k, Hotkey::defaultModifiers}));
}

TEST_F(HotkeyRecorderTest, ARecorderTakenOffScreenStopsRecording)
{
    auto hidden = makeRecorder();
    hidden->show();
    hidden->recorderButton()->click();
    hidden->hide();
    EXPECT_TRUE(isIdle(*hidden));
    EXPECT_EQ(recordingChanges_, std::vector<bool>({true, false}));

    // Its window closed.
    QWidget window;
    auto* inWindow = new HotkeyRecorder(std::nullopt, &window);
    window.show();
    inWindow->recorderButton()->click();
    ASSERT_TRUE(isListening(*inWindow));
    window.close();
    EXPECT_TRUE(isIdle(*inWindow));

    // Its page left.
    QStackedWidget pages;
    auto* onPage = new HotkeyRecorder;
    pages.addWidget(onPage);
    pages.addWidget(new QWidget);
    pages.show();
    onPage->recorderButton()->click();
    ASSERT_TRUE(isListening(*onPage));
    pages.setCurrentIndex(1);
    EXPECT_TRUE(isIdle(*onPage));
    EXPECT_EQ(onPage->recorderButton()->text(), "Click to record");
}

TEST_F(HotkeyRecorderTest, ARecorderDestroyedWhileRecordingLeavesNothingBehind)
{
    int fired = 0;
    HotkeyCenter::shared().registerHotkey(controlOptionSpace, [&fired] { ++fired; });
    auto window = std::make_unique<QWidget>();
    auto* recorder = new HotkeyRecorder(std::nullopt, window.get());
    window->show();
    recorder->recorderButton()->click();
    ASSERT_FALSE(isRegistered(controlOptionSpace));
    window.reset();
    EXPECT_EQ(platform::sim::localMonitorCount(), 0);
    EXPECT_FALSE(HotkeyCenter::shared().isSuspended());
    userPress(KeyCode::space, controlOption);
    EXPECT_EQ(fired, 1);
}

TEST_F(HotkeyRecorderTest, OnlyOneRecorderRecordsAtATime)
{
    auto first = makeRecorder();
    auto second = makeRecorder();
    first->recorderButton()->click();
    second->recorderButton()->click();
    EXPECT_FALSE(first->isRecording());
    EXPECT_TRUE(isListening(*second));

    userPress(KeyCode::k, controlOption);
    EXPECT_EQ(first->hotkey(), std::nullopt);
    EXPECT_EQ(second->hotkey(), (Hotkey{KeyCode::k, Hotkey::defaultModifiers}));
    EXPECT_FALSE(HotkeyCenter::shared().isSuspended());
}

TEST_F(HotkeyRecorderTest, TheWaitingTitleIsDrawnInTheAccentColour)
{
    auto recorder = makeRecorder(controlOptionD);
    const auto hasAccent = [](const QImage& image) {
        const QColor accent = RecorderButton::accentColor();
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (sameColor(image.pixelColor(x, y), accent, 24))
                    return true;
            }
        }
        return false;
    };
    RecorderButton* button = recorder->recorderButton();
    EXPECT_FALSE(hasAccent(render(*button, Theme::canvas())));
    button->click();
    EXPECT_TRUE(hasAccent(render(*button, Theme::canvas())));
}

} // namespace
