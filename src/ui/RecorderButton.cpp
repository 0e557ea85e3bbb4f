#include "ui/RecorderButton.h"

#include "platform/Dialogs.h"
#include "store/KeyNames.h"
#include "switching/HotkeyCenter.h"
#include "ui/KitFocus.h"
#include "ui/KitFonts.h"
#include "ui/KitShapes.h"
#include "ui/KitText.h"
#include "ui/Theme.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPointer>

namespace {

constexpr double radius = 6;
constexpr double labelInset = 8;

const QString recordingTitle = QStringLiteral("Press shortcut\u2026");
const QString emptyTitle = QStringLiteral("Click to record");

// The one button that records right now.
QPointer<RecorderButton>& activeRecorder()
{
    static QPointer<RecorderButton> active;
    return active;
}

platform::KeyEvents::EventMask recordedEvents()
{
    return platform::KeyEvents::maskFor(platform::KeyEventType::keyDown)
        | platform::KeyEvents::maskFor(platform::KeyEventType::flagsChanged);
}

} // namespace

RecorderButton::RecorderButton(QWidget* parent)
    : QPushButton(parent)
{
    KitFocus::pressesOnReturn(*this);
    setFont(KitFonts::system(12, QFont::Medium));
    connect(this, &QPushButton::clicked, this, &RecorderButton::toggleRecording);
    updateLabel();
}

RecorderButton::~RecorderButton()
{
    if (!recording_)
        return;
    detachMonitor();
    HotkeyCenter::shared().resume();
}

void RecorderButton::setHotkey(std::optional<Hotkey> hotkey)
{
    hotkey_ = hotkey;
    updateLabel();
}

void RecorderButton::setOnChange(std::function<void(std::optional<Hotkey>)> onChange)
{
    onChange_ = std::move(onChange);
}

void RecorderButton::setOnRecordingChange(std::function<void(bool)> onRecordingChange)
{
    onRecordingChange_ = std::move(onRecordingChange);
}

QColor RecorderButton::accentColor()
{
    return Theme::recording();
}

void RecorderButton::updateLabel()
{
    if (recording_)
        setText(recordingTitle);
    else if (!hotkey_)
        setText(emptyTitle);
    else
        setText(hotkey_->display());
    update();
}

void RecorderButton::toggleRecording()
{
    if (recording_)
        stopRecording();
    else
        startRecording();
}

void RecorderButton::startRecording()
{
    // A second recorder would leave the first one waiting with the hotkeys
    // live again once either stops.
    if (RecorderButton* other = activeRecorder(); other && other != this && other->isRecording())
        other->stopRecording();
    recording_ = true;
    activeRecorder() = this;
    if (onRecordingChange_)
        onRecordingChange_(true);
    updateLabel();
    HotkeyCenter::shared().suspend();
    QPointer<RecorderButton> button(this);
    monitor_ = platform::KeyEvents::addLocalMonitor(
        recordedEvents(), [button](const platform::KeyEvent& event) -> std::optional<platform::KeyEvent> {
            if (!button)
                return event;
            return button->handle(event);
        });
}

void RecorderButton::stopRecording()
{
    detachMonitor();
    if (onRecordingChange_)
        onRecordingChange_(false);
    updateLabel();
    HotkeyCenter::shared().resume();
}

void RecorderButton::detachMonitor()
{
    if (monitor_)
        platform::KeyEvents::removeMonitor(*monitor_);
    monitor_.reset();
    recording_ = false;
    if (activeRecorder() == this)
        activeRecorder() = nullptr;
}

std::optional<platform::KeyEvent> RecorderButton::handle(const platform::KeyEvent& event)
{
    if (!recording_ || event.type != platform::KeyEventType::keyDown)
        return event;
    if (event.keyCode == escapeKeyCode && (event.flags & modifierFlagsMask) == 0) {
        stopRecording();
        return std::nullopt;
    }
    const quint32 modifiers = Hotkey::carbonModifiers(event.flags);
    if (modifiers == 0 && !KeyNames::functionKeyCodes().contains(event.keyCode)) {
        platform::beep();
        return std::nullopt;
    }
    hotkey_ = Hotkey{event.keyCode, modifiers};
    if (onChange_)
        onChange_(hotkey_);
    stopRecording();
    return std::nullopt;
}

void RecorderButton::hideEvent(QHideEvent* event)
{
    if (recording_)
        stopRecording();
    QPushButton::hideEvent(event);
}

void RecorderButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    const QRectF bounds = rect();
    const QColor face = isDown() ? Theme::keyFacePressed() : Theme::keyFace();
    KitShapes::fill(painter, KitShapes::roundedRect(bounds, radius), face);
    KitShapes::strokeBorder(painter, bounds, radius, hasFocus() ? accentColor() : Theme::hairline());
    const QString shown =
        QFontMetricsF(font()).elidedText(text(), Qt::ElideRight, bounds.width() - 2 * labelInset);
    KitText::drawCentred(painter, shown, font(), recording_ ? accentColor() : Theme::text(), bounds.center());
}
