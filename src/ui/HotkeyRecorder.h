#pragma once

#include "store/Hotkey.h"

#include <QWidget>

#include <optional>

class PlainSymbolButton;
class RecorderButton;

// The control that sets or removes a global shortcut: a button that shows the
// shortcut and, once clicked, records the next combination, and beside it a
// small button that removes the shortcut (hidden while there is none or while
// recording). Global hotkeys are suspended while it records.
class HotkeyRecorder : public QWidget {
    Q_OBJECT
public:
    static constexpr int buttonWidth = 150;
    static constexpr int buttonHeight = 24;

    explicit HotkeyRecorder(std::optional<Hotkey> hotkey = std::nullopt, QWidget* parent = nullptr);
    ~HotkeyRecorder() override;

    std::optional<Hotkey> hotkey() const { return hotkey_; }
    // Shows hotkey without announcing it.
    void setHotkey(std::optional<Hotkey> hotkey);
    bool isRecording() const { return recording_; }

    RecorderButton* recorderButton() const { return button_; }
    PlainSymbolButton* clearButton() const { return clear_; }

signals:
    // The user recorded a shortcut or removed it.
    void hotkeyChanged(std::optional<Hotkey> hotkey);
    void recordingChanged(bool recording);

private:
    void userChanged(std::optional<Hotkey> hotkey);
    void updateClearButton();

    std::optional<Hotkey> hotkey_;
    bool recording_ = false;
    RecorderButton* button_;
    PlainSymbolButton* clear_;
};
