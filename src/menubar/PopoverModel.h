#pragma once

#include "platform/Workspace.h"
#include "ui/PopoverPage.h"

#include <QObject>
#include <QString>

#include <optional>

// A newer version on offer, as the popover's notice shows it.
struct UpdateOffer {
    QString version;
    // The release date as the feed's reader formats it ("3 March 2026").
    QString releasedText;
    bool operator==(const UpdateOffer&) const = default;
};

// What the popover shows: its page, the app that was in front when it last
// opened (the rows offer to send that app's window), and the update on offer,
// which the app hands in from the updater.
class PopoverModel final : public QObject {
    Q_OBJECT
public:
    PopoverModel() = default;

    const PopoverPage& page() const { return page_; }
    void setPage(const PopoverPage& page);

    // Plain state: no signal.
    std::optional<platform::RunningApplication> frontApp;

    const std::optional<UpdateOffer>& updateOffer() const { return updateOffer_; }
    void setUpdateOffer(const std::optional<UpdateOffer>& offer);

signals:
    void pageChanged();
    void updateOfferChanged();

private:
    PopoverPage page_;
    std::optional<UpdateOffer> updateOffer_;
};
