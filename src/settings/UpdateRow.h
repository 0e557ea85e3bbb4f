#pragma once

#include "settings/UpdateRowModel.h"
#include "ui/SettingRow.h"

#include <functional>
#include <memory>
#include <optional>

class QHBoxLayout;
class RepeatingTimer;
class UpdateProgress;
class Updates;

// The About page's row that shows where the updater stands and offers the
// next step. It holds no state of its own: every published change of the
// updater rebuilds it from UpdateRowModel, and while it is shown the
// relative time of the last check is brought up to date twice a minute.
// Buttons start the updater's operations and never wait for them; the row
// learns how they went only from the published state. The keyboard focus
// stays in the row while its buttons change (a disabled "Check Now" keeps
// it until it comes back), so it never jumps on and scrolls the page.
class UpdateRow : public SettingRow {
    Q_OBJECT
public:
    static constexpr double refreshInterval = 30; // seconds between redraws of the last-check time

    explicit UpdateRow(Updates& updates, QWidget* parent = nullptr);
    ~UpdateRow() override;

    const UpdateRowModel& model() const { return model_; }
    // Rebuilds from the updater's state at the current time.
    void refresh();
    // Shows a model as it is.
    void showModel(const UpdateRowModel& model);
    // What a click on a button of the row does.
    void perform(UpdateRowModel::Action action);

    UpdateProgress* progress() const { return progress_; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void rebuildControl();
    // Keeps the keyboard focus in the row while its control changes: taken
    // by the row when one of its buttons has it (answering that button's
    // action), handed back to a button once one can take it.
    std::optional<UpdateRowModel::Action> holdFocus();
    void returnFocus(std::optional<UpdateRowModel::Action> was);

    Updates& updates_;
    UpdateRowModel model_;
    QHBoxLayout* controls_ = nullptr;
    UpdateProgress* progress_ = nullptr;
    bool built_ = false;
    std::unique_ptr<RepeatingTimer> refreshTimer_;
};
