#include "settings/SystemShortcutRow.h"

#include "engine/SpaceEngine.h"
#include "settings/SettingsTexts.h"
#include "settings/SettingsWidgets.h"
#include "store/KeyNames.h"
#include "store/Timers.h"
#include "switching/SystemShortcuts.h"
#include "ui/AccentButton.h"
#include "ui/Glyph.h"
#include "ui/SettingRow.h"
#include "ui/Theme.h"

#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr double checkSize = 18;

class CheckMark : public QWidget {
public:
    CheckMark()
    {
        setObjectName(QStringLiteral("allOnMark"));
        setFixedSize(int(checkSize), int(checkSize));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        if (const GlyphImagePtr mark = Glyph::symbolImage(QStringLiteral("checkmark.circle.fill"), checkSize,
                                                         Theme::mint()))
            mark->draw(painter, rect());
    }
};

} // namespace

SystemShortcutRow::SystemShortcutRow(SpaceEngine& engine, QWidget* parent)
    : QWidget(parent)
    , engine_(engine)
    , enabled_(SystemShortcuts::enabledDesktopCount())
{
    setObjectName(QStringLiteral("systemShortcutRow"));
    SettingsWidgets::column(this, 0);
    connect(&engine_, &SpaceEngine::changed, this, &SystemShortcutRow::redraw);
    redraw();
}

int SystemShortcutRow::needed() const
{
    return int(std::min<qsizetype>(SystemShortcuts::desktopLimit, engine_.desktops().size()));
}

bool SystemShortcutRow::allOn() const
{
    return enabled_ >= needed();
}

QString SystemShortcutRow::caption() const
{
    const int n = needed();
    const QString label = KeyNames::digitName(n).value_or(QString::number(n));
    return SettingsTexts::systemShortcutState(enabled_, n, label).caption;
}

void SystemShortcutRow::redraw()
{
    // The old row may hold the button whose click got us here.
    if (row_) {
        row_->hide();
        layout()->removeWidget(row_);
        row_->deleteLater();
    }
    button_ = nullptr;
    QWidget* control = nullptr;
    if (allOn()) {
        control = new CheckMark;
    } else {
        button_ = new AccentButton(QStringLiteral("Turn On"));
        button_->setObjectName(QStringLiteral("turnOnButton"));
        connect(button_, &QAbstractButton::clicked, this, &SystemShortcutRow::turnOn);
        control = button_;
    }
    row_ = new SettingRow(QStringLiteral("macOS desktop shortcuts"), caption(), control);
    layout()->addWidget(row_);
    SettingsWidgets::wrapCaptions(this);
}

void SystemShortcutRow::turnOn()
{
    SystemShortcuts::enableDesktopShortcuts(needed());
    reread();
    QPointer<SystemShortcutRow> weak(this);
    runAfter(rereadDelay, [weak] {
        if (weak)
            weak->reread();
    });
}

void SystemShortcutRow::reread()
{
    const int now = SystemShortcuts::enabledDesktopCount();
    if (now == enabled_)
        return;
    enabled_ = now;
    redraw();
}

void SystemShortcutRow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        reread();
}
