#pragma once

#include "store/SettingEnums.h"
#include "ui/DarkToggle.h"
#include "ui/SegmentPicker.h"
#include "ui/ValueSlider.h"

#include <QString>
#include <QVariant>

#include <functional>
#include <vector>

class Settings;
class QWidget;

// Controls bound two ways to one setting each: a control shows the stored
// value, writes a user's change at once, and takes the stored value again
// whenever the settings change (after they have stored it).
class SettingBindings {
public:
    // Follows the settings for as long as owner exists.
    SettingBindings(Settings& settings, QWidget* owner);

    DarkToggle* toggle(const QString& name, std::function<bool()> read, std::function<void(bool)> write);
    ValueSlider* slider(const QString& name, std::function<double()> read, std::function<void(double)> write,
                        double minimum, double maximum, double step, ValueSlider::Format format);

    // One segment per case, in order, labelled by the case's title.
    template <SettingEnumeration E>
    SegmentPicker* picker(const QString& name, std::function<E()> read, std::function<void(E)> write)
    {
        QList<SegmentPicker::Option> options;
        for (E value : SettingEnum<E>::allCases)
            options.append({QVariant::fromValue<qint64>(rawValue(value)), title(value)});
        return picker(
            name, options, [read] { return QVariant::fromValue<qint64>(rawValue(read())); },
            [write](const QVariant& value) {
                if (const std::optional<E> chosen = fromRawValue<E>(value.toLongLong()))
                    write(*chosen);
            });
    }

    SegmentPicker* picker(const QString& name, const QList<SegmentPicker::Option>& options,
                          std::function<QVariant()> read, std::function<void(const QVariant&)> write);

    // Sets every control from its setting.
    void refresh();

private:
    Settings& settings_;
    std::vector<std::function<void()>> refreshers_;
};
