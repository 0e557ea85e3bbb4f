#pragma once

#include "ui/SettingsPage.h"

#include <QObject>

// Which page the settings window shows. The application keeps one for the
// whole run (every launch starts on the Spaces page; nothing is stored);
// the settings window observes it, and tabs, links and the capture tool set it.
class SettingsModel : public QObject {
    Q_OBJECT
public:
    explicit SettingsModel(QObject* parent = nullptr);

    SettingsPage page() const { return page_; }
    // Announces the change before storing it, so an observer can redraw with
    // the new page; setting the current page again announces nothing.
    void setPage(SettingsPage page);

signals:
    void pageWillChange(SettingsPage page);
    void pageChanged(SettingsPage page);

private:
    SettingsPage page_ = SettingsPage::spaces;
};
