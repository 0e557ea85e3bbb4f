#include "settings/UpdateRow.h"

#include "platform/Scheduler.h"
#include "settings/UpdateProgress.h"
#include "store/LogFile.h"
#include "store/Timers.h"
#include "ui/AccentButton.h"
#include "update/Updates.h"

#include <QApplication>
#include <QBoxLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>

namespace {

constexpr int buttonSpacing = 8;

QString buttonName(UpdateRowModel::Action action)
{
    using Action = UpdateRowModel::Action;
    switch (action) {
    case Action::checkNow:
        return QStringLiteral("checkNowButton");
    case Action::skip:
        return QStringLiteral("skipButton");
    case Action::whatsNew:
        return QStringLiteral("whatsNewButton");
    case Action::download:
        return QStringLiteral("downloadButton");
    case Action::showImage:
        return QStringLiteral("showImageButton");
    case Action::installAndRelaunch:
        return QStringLiteral("installButton");
    case Action::tryAgain:
        return QStringLiteral("tryAgainButton");
    }
    return {};
}

// Same control, same buttons: only the fraction or a button's state moved.
bool sameShape(const UpdateRowModel& a, const UpdateRowModel& b)
{
    if (a.control != b.control || a.buttons.size() != b.buttons.size())
        return false;
    for (qsizetype i = 0; i < a.buttons.size(); ++i) {
        if (a.buttons[i].action != b.buttons[i].action || a.buttons[i].title != b.buttons[i].title ||
            a.buttons[i].prominent != b.buttons[i].prominent)
            return false;
    }
    return true;
}

} // namespace

UpdateRow::UpdateRow(Updates& updates, QWidget* parent)
    : SettingRow(QString(), QString(), new QWidget, parent)
    , updates_(updates)
{
    setObjectName(QStringLiteral("updateRow"));
    controls_ = new QHBoxLayout(control());
    controls_->setContentsMargins(0, 0, 0, 0);
    controls_->setSpacing(buttonSpacing);

    // Long versions and failure texts wrap instead of widening the window.
    titleLabel()->setWordWrap(true);
    captionLabel()->setWordWrap(true);
    titleLabel()->setObjectName(QStringLiteral("updateTitle"));
    captionLabel()->setObjectName(QStringLiteral("updateCaption"));
    if (auto* box = qobject_cast<QBoxLayout*>(layout()); box && box->count() > 2) {
        box->setStretch(0, 1);
        box->setStretch(2, 0);
    }

    connect(&updates_, &Updates::availableChanged, this, &UpdateRow::refresh);
    connect(&updates_, &Updates::checkingChanged, this, &UpdateRow::refresh);
    connect(&updates_, &Updates::phaseChanged, this, &UpdateRow::refresh);
    connect(&updates_, &Updates::lastCheckedChanged, this, &UpdateRow::refresh);
    connect(&updates_, &Updates::lastOutcomeChanged, this, &UpdateRow::refresh);
    refresh();
}

UpdateRow::~UpdateRow() = default;

void UpdateRow::refresh()
{
    showModel(UpdateRowModel::make(UpdateRowModel::State::of(updates_, platform::now())));
}

void UpdateRow::showModel(const UpdateRowModel& model)
{
    const bool rebuild = !built_ || !sameShape(model_, model);
    // Held only when the focused button goes or is disabled: a refresh of
    // the texts alone (the relative time, twice a minute) leaves it be.
    bool losesFocus = rebuild;
    for (qsizetype i = 0; !losesFocus && i < controls_->count() && i < model.buttons.size(); ++i) {
        const QWidget* button = controls_->itemAt(int(i))->widget();
        losesFocus = button && button->hasFocus() && !model.buttons[i].enabled;
    }
    const std::optional<UpdateRowModel::Action> focused = losesFocus ? holdFocus() : std::nullopt;
    model_ = model;
    titleLabel()->setText(model_.title);
    titleLabel()->setToolTip(model_.toolTip);
    captionLabel()->setText(model_.caption);
    if (rebuild) {
        rebuildControl();
        built_ = true;
    } else {
        for (qsizetype i = 0; i < model_.buttons.size(); ++i) {
            if (QLayoutItem* item = controls_->itemAt(int(i)); item && item->widget())
                item->widget()->setEnabled(model_.buttons[i].enabled);
        }
    }
    if (progress_)
        progress_->setFraction(model_.fraction);
    if (control()->hasFocus())
        returnFocus(focused);
}

std::optional<UpdateRowModel::Action> UpdateRow::holdFocus()
{
    QWidget* focused = QApplication::focusWidget();
    if (!focused || (focused != control() && !control()->isAncestorOf(focused)))
        return std::nullopt;
    std::optional<UpdateRowModel::Action> action;
    for (qsizetype i = 0; i < controls_->count() && i < model_.buttons.size(); ++i) {
        if (controls_->itemAt(int(i))->widget() == focused)
            action = model_.buttons[i].action;
    }
    // A focused button that goes away or is disabled would pass the focus
    // on to the next control, and the page would scroll to it: the row
    // holds it meanwhile.
    if (focused != control())
        control()->setFocus(Qt::OtherFocusReason);
    return action;
}

void UpdateRow::returnFocus(std::optional<UpdateRowModel::Action> was)
{
    // The button that had it, else the row's main action, else its first.
    QWidget* next = nullptr;
    int rank = 0;
    for (qsizetype i = 0; i < controls_->count() && i < model_.buttons.size(); ++i) {
        QWidget* button = controls_->itemAt(int(i))->widget();
        if (!button || !model_.buttons[i].enabled)
            continue;
        const int score = model_.buttons[i].action == was ? 3 : model_.buttons[i].prominent ? 2 : 1;
        if (score > rank) {
            rank = score;
            next = button;
        }
    }
    if (next)
        next->setFocus(Qt::OtherFocusReason);
}

void UpdateRow::rebuildControl()
{
    while (QLayoutItem* item = controls_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    progress_ = nullptr;
    switch (model_.control) {
    case UpdateRowModel::Control::buttons:
        for (const UpdateRowModel::Button& shown : std::as_const(model_.buttons)) {
            auto* button = new AccentButton(shown.title, shown.prominent);
            button->setObjectName(buttonName(shown.action));
            button->setEnabled(shown.enabled);
            const UpdateRowModel::Action action = shown.action;
            connect(button, &QAbstractButton::clicked, this, [this, action] { perform(action); });
            controls_->addWidget(button, 0, Qt::AlignVCenter);
        }
        break;
    case UpdateRowModel::Control::progressBar:
        progress_ = new UpdateProgress(UpdateProgress::Style::bar);
        controls_->addWidget(progress_, 0, Qt::AlignVCenter);
        break;
    case UpdateRowModel::Control::busyIndicator:
        progress_ = new UpdateProgress(UpdateProgress::Style::busy);
        controls_->addWidget(progress_, 0, Qt::AlignVCenter);
        break;
    }
    // A widget added to a shown layout would otherwise wait for the event
    // loop before it appears (and before a busy indicator starts turning).
    if (control()->isVisible()) {
        for (int i = 0; i < controls_->count(); ++i)
            controls_->itemAt(i)->widget()->show();
    }
    control()->updateGeometry();
}

void UpdateRow::perform(UpdateRowModel::Action action)
{
    using Action = UpdateRowModel::Action;
    switch (action) {
    case Action::checkNow:
        updates_.check();
        break;
    case Action::skip:
        updates_.skip();
        break;
    case Action::whatsNew:
        updates_.openNotes();
        break;
    case Action::download:
    case Action::tryAgain:
        updates_.download();
        break;
    case Action::showImage:
        updates_.openImage();
        break;
    case Action::installAndRelaunch:
        updates_.install();
        break;
    }
}

void UpdateRow::showEvent(QShowEvent* event)
{
    SettingRow::showEvent(event);
    refresh();
    if (refreshTimer_)
        return;
    QPointer<UpdateRow> self(this);
    refreshTimer_ = RepeatingTimer::start(refreshInterval, std::nullopt, [self] {
        if (self)
            self->refresh();
    });
}

void UpdateRow::hideEvent(QHideEvent* event)
{
    SettingRow::hideEvent(event);
    refreshTimer_.reset();
}
