#pragma once

#include "platform/KeyCodes.h"
#include "platform/KeyEvents.h"
#include "store/Hotkey.h"

#include <QPushButton>

#include <functional>
#include <optional>

// The push button of the shortcut recorder. A click starts recording: the
// global hotkeys are suspended and a local key monitor takes the next
// combination (at least one modifier, or a bare F1 to F12). Escape without
// modifiers or a second click cancels. A button taken off screen or destroyed
// while recording stops, so the monitor and the suspension never outlive it;
// and only one button records at a time.
class RecorderButton : public QPushButton {
    Q_OBJECT
public:
    // Escape, taken as "cancel" when no modifier is held.
    static constexpr quint16 escapeKeyCode = platform::KeyCode::escape;
    // Device-independent modifier flags, Caps Lock included.
    static constexpr platform::EventFlags modifierFlagsMask = 0xFFFF0000;

    explicit RecorderButton(QWidget* parent = nullptr);
    ~RecorderButton() override;

    std::optional<Hotkey> hotkey() const { return hotkey_; }
    // Shows hotkey; tells no one.
    void setHotkey(std::optional<Hotkey> hotkey);
    bool isRecording() const { return recording_; }

    // Told of each newly recorded shortcut.
    void setOnChange(std::function<void(std::optional<Hotkey>)> onChange);
    // Told when recording starts (true) and stops (false).
    void setOnRecordingChange(std::function<void(bool)> onRecordingChange);

    void updateLabel();
    void toggleRecording();
    void startRecording();
    void stopRecording();
    // The monitor's handler: answers the event to pass on, none to swallow it.
    std::optional<platform::KeyEvent> handle(const platform::KeyEvent& event);

    // The system's control accent, shown while recording.
    static QColor accentColor();

protected:
    void paintEvent(QPaintEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // Removes the monitor and ends the recording state; tells no one.
    void detachMonitor();

    std::optional<Hotkey> hotkey_;
    std::function<void(std::optional<Hotkey>)> onChange_;
    std::function<void(bool)> onRecordingChange_;
    bool recording_ = false;
    std::optional<platform::KeyEvents::MonitorToken> monitor_;
};
