#include "ui/HotkeyRecorder.h"

#include "ui/PlainSymbolButton.h"
#include "ui/RecorderButton.h"
#include "ui/Theme.h"

#include <QHBoxLayout>

namespace {
constexpr int spacing = 6;
constexpr double clearSymbolSize = 13;
} // namespace

HotkeyRecorder::HotkeyRecorder(std::optional<Hotkey> hotkey, QWidget* parent)
    : QWidget(parent)
    , hotkey_(hotkey)
    , button_(new RecorderButton(this))
    , clear_(new PlainSymbolButton(QStringLiteral("xmark.circle.fill"), clearSymbolSize, Theme::textSecondary(), this))
{
    button_->setFixedSize(buttonWidth, buttonHeight);
    button_->setHotkey(hotkey_);
    button_->setOnChange([this](std::optional<Hotkey> recorded) { userChanged(recorded); });
    button_->setOnRecordingChange([this](bool recording) {
        recording_ = recording;
        updateClearButton();
        emit recordingChanged(recording);
    });

    clear_->setToolTip(QStringLiteral("Remove shortcut"));
    connect(clear_, &QAbstractButton::clicked, this, [this] { userChanged(std::nullopt); });

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    layout->addWidget(button_, 0, Qt::AlignVCenter);
    layout->addWidget(clear_, 0, Qt::AlignVCenter);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    updateClearButton();
}

HotkeyRecorder::~HotkeyRecorder()
{
    // The button outlives this part of the object; a recording it ends while
    // going away must not call back into it.
    button_->setOnChange({});
    button_->setOnRecordingChange({});
}

void HotkeyRecorder::setHotkey(std::optional<Hotkey> hotkey)
{
    hotkey_ = hotkey;
    button_->setHotkey(hotkey);
    updateClearButton();
}

void HotkeyRecorder::userChanged(std::optional<Hotkey> hotkey)
{
    setHotkey(hotkey);
    emit hotkeyChanged(hotkey);
}

void HotkeyRecorder::updateClearButton()
{
    clear_->setVisible(hotkey_.has_value() && !recording_);
}
