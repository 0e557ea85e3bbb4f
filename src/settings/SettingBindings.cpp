#include "settings/SettingBindings.h"

#include "settings/SettingsWidgets.h"
#include "store/Settings.h"

SettingBindings::SettingBindings(Settings& settings, QWidget* owner)
    : settings_(settings)
{
    SettingsWidgets::afterSettingsChange(settings_, owner, [this] { refresh(); });
}

DarkToggle* SettingBindings::toggle(const QString& name, std::function<bool()> read, std::function<void(bool)> write)
{
    auto* control = new DarkToggle(read());
    control->setObjectName(name);
    QObject::connect(control, &QAbstractButton::clicked, control, [write](bool on) { write(on); });
    refreshers_.push_back([control, read] { control->setOn(read()); });
    return control;
}

ValueSlider* SettingBindings::slider(const QString& name, std::function<double()> read,
                                     std::function<void(double)> write, double minimum, double maximum, double step,
                                     ValueSlider::Format format)
{
    auto* control = new ValueSlider(read(), minimum, maximum, step, std::move(format));
    control->setObjectName(name);
    QObject::connect(control, &ValueSlider::valueChanged, control, [write](double value) { write(value); });
    refreshers_.push_back([control, read] { control->setValue(read()); });
    return control;
}

SegmentPicker* SettingBindings::picker(const QString& name, const QList<SegmentPicker::Option>& options,
                                       std::function<QVariant()> read, std::function<void(const QVariant&)> write)
{
    auto* control = new SegmentPicker(options, read());
    control->setObjectName(name);
    QObject::connect(control, &SegmentPicker::activated, control, [write](const QVariant& value) { write(value); });
    refreshers_.push_back([control, read] { control->setSelection(read()); });
    return control;
}

void SettingBindings::refresh()
{
    for (const auto& refresher : refreshers_)
        refresher();
}
