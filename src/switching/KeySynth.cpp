#include "switching/KeySynth.h"

#include "store/LogFile.h"

#include <algorithm>
#include <limits>

namespace KeySynth {

namespace {

using platform::EventFlags;
using platform::KeyEventSource;

bool isArrow(qint64 keyCode)
{
    return std::find(arrowKeyCodes.begin(), arrowKeyCodes.end(), keyCode) != arrowKeyCodes.end();
}

// An event that cannot be made is skipped; the others still go out.
void post(const KeyEventSource* source, quint16 keyCode, bool keyDown, EventFlags flags)
{
    auto event = platform::KeyEvents::createKeyboardEvent(source, keyCode, keyDown);
    if (!event)
        return;
    platform::KeyEvents::setFlags(*event, flags);
    platform::KeyEvents::post(platform::EventTapLocation::hid, *event);
}

} // namespace

void press(qint64 keyCode, EventFlags flags)
{
    if (keyCode < 0 || keyCode > std::numeric_limits<quint16>::max()) {
        LogFile::switches().write(QStringLiteral("could not press key code %1: key codes run from 0 to 65535")
                                      .arg(QString::number(keyCode)));
        return;
    }
    const auto source = platform::KeyEvents::createSource(platform::EventSource::StateID::hidSystemState);
    const KeyEventSource* sourcePointer = source ? &*source : nullptr;
    const auto code = quint16(keyCode);
    const EventFlags keyFlags = isArrow(keyCode) ? (flags | arrowExtraFlags) : flags;
    const bool withControl = (flags & platform::EventFlag::control) != 0;

    if (withControl)
        post(sourcePointer, controlKeyCode, true, platform::EventFlag::control);
    post(sourcePointer, code, true, keyFlags);
    post(sourcePointer, code, false, keyFlags);
    if (withControl)
        post(sourcePointer, controlKeyCode, false, 0);
}

} // namespace KeySynth
