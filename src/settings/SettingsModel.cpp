#include "settings/SettingsModel.h"

SettingsModel::SettingsModel(QObject* parent)
    : QObject(parent)
{
}

void SettingsModel::setPage(SettingsPage page)
{
    if (page == page_)
        return;
    emit pageWillChange(page);
    page_ = page;
    emit pageChanged(page);
}
