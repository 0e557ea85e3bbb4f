#include "menubar/PopoverModel.h"

void PopoverModel::setPage(const PopoverPage& page)
{
    // An edit page is replaced even when it edits the same desktop: the
    // desktop's number or state may have moved on.
    const bool same = page == page_ && page.desktop == page_.desktop;
    page_ = page;
    if (!same)
        emit pageChanged();
}

void PopoverModel::setUpdateOffer(const std::optional<UpdateOffer>& offer)
{
    if (offer == updateOffer_)
        return;
    updateOffer_ = offer;
    emit updateOfferChanged();
}
