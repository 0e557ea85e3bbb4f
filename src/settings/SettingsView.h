#pragma once

#include "settings/SettingsServices.h"
#include "ui/SettingsPage.h"

#include <QList>
#include <QPointer>
#include <QSize>
#include <QWidget>

class AccessibilityBadge;
class HeroStrip;
class HintedScrollView;
class PageTab;
class QLabel;
class QVBoxLayout;
class SettingsModel;

// The settings window's root view, 880 x 640 (only a shorter screen makes its
// page area shorter, down to leastPageHeight): a header band with the app's
// name, the counts line, the Accessibility badge and a tile per desktop; a
// row of eight page tabs; and below a divider the scrolling page area with
// the selected page's heading and subtitle over the page itself. Only the
// page area scrolls. The selected page lives in the model, which outlives
// the window; the view follows it.
class SettingsView : public QWidget {
    Q_OBJECT
public:
    static constexpr QSize windowSize{880, 640};
    static constexpr int heroHeight = 178;
    // The page area's height on a screen too short for the whole view.
    static constexpr int leastPageHeight = 160;

    SettingsView(SettingsModel& model, const SettingsServices& services, QWidget* parent = nullptr);

    SettingsModel& model() const { return model_; }
    // "<n> desktops · <k> named" as shown now.
    QString countsLine() const;
    const QList<PageTab*>& tabs() const { return tabs_; }
    HeroStrip* heroStrip() const { return heroStrip_; }
    AccessibilityBadge* accessibilityBadge() const { return badge_; }
    HintedScrollView* pageArea() const { return pageArea_; }
    // The view of the selected page (an empty area for a page not built yet).
    QWidget* pageView() const { return page_; }

    QSize sizeHint() const override { return windowSize; }

private:
    QWidget* makeHeader();
    QWidget* makeTabs();
    QWidget* makePageArea();
    QWidget* makePage(SettingsPage page);
    void showPage(SettingsPage page);
    void refreshCounts();

    SettingsModel& model_;
    SettingsServices services_;
    QLabel* counts_ = nullptr;
    HeroStrip* heroStrip_ = nullptr;
    AccessibilityBadge* badge_ = nullptr;
    QList<PageTab*> tabs_;
    HintedScrollView* pageArea_ = nullptr;
    QLabel* title_ = nullptr;
    QLabel* subtitle_ = nullptr;
    QVBoxLayout* pageSlot_ = nullptr;
    QPointer<QWidget> page_;
};
