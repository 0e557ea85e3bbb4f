#pragma once

#include "platform/NotificationCenter.h"
#include "ui/EditSpaceView.h"
#include "ui/PopoverPage.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <vector>

class PopoverModel;
class PopoverNotice;
class PopoverSpaceRow;
class QLabel;
class QScrollArea;
class QVBoxLayout;
class SpaceStripView;

// The popover's content: the list page (desktop strip, header, the desktops
// of every display, notices, footer) or the editor of one desktop. Every
// action goes through the commands of its environment. It redraws when the
// engine, the settings, the permission or the model change; rows whose
// content did not change are kept as they are.
class MenuPopoverView : public QWidget {
    Q_OBJECT
public:
    static constexpr int popoverWidth = 350;
    static constexpr double rowHeight = 44;
    static constexpr double listPadding = 12;
    // Lines the list shows before it scrolls.
    static constexpr int visibleLines = 8;
    static constexpr int jumpBackMaxWidth = 170;

    explicit MenuPopoverView(PopoverModel& model, QWidget* parent = nullptr);
    ~MenuPopoverView() override;

    PopoverModel& model() { return model_; }
    // Rebuilds at once what changed.
    void reload();
    void reloadIfNeeded();
    bool needsReload() const { return needsReload_; }
    void setTerminate(std::function<void()> terminate) { terminate_ = std::move(terminate); }

    // For the list page: the rows in order, the list's fixed height (none
    // when flat), the notices shown, the editor on the edit page.
    QList<PopoverSpaceRow*> rows() const;
    std::optional<double> listHeight() const;
    QList<PopoverNotice*> notices() const;
    EditSpaceView* editor() const { return editor_; }
    SpaceStripView* strip() const { return strip_; }
    QWidget* listPage() const { return listPage_; }

    // Lines of the list for r desktops on d displays.
    static int lineCount(qsizetype desktops, qsizetype displays);
    static double listHeightFor(int lines);

protected:
    bool event(QEvent* event) override;
    // Return on a focused button presses it, as Space does; the main menu's
    // keys work here as in the app's other windows.
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    // Paints the header tile's glow on the list page, under the header, so
    // it spreads past the header's edges.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setNeedsReload();
    void showPage();
    void buildHeader();
    void buildList();
    void buildNotices();
    void buildFooter();
    void quit();

    PopoverModel& model_;
    bool needsReload_ = true;
    bool reloadScheduled_ = false;
    std::function<void()> terminate_;
    PopoverPage shownPage_;

    QWidget* listPage_ = nullptr;
    SpaceStripView* strip_ = nullptr;
    QWidget* header_ = nullptr;
    QVBoxLayout* headerBox_ = nullptr;
    QPointer<QWidget> headerTile_;
    QColor headerGlow_;
    QWidget* listArea_ = nullptr;
    QVBoxLayout* listAreaBox_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    QWidget* listContent_ = nullptr;
    QVBoxLayout* listBox_ = nullptr;
    QList<QWidget*> sectionHeaders_;
    QHash<quint64, PopoverSpaceRow*> rowsByID_;
    QList<PopoverSpaceRow*> rowOrder_;
    QWidget* noticeArea_ = nullptr;
    QVBoxLayout* noticeBox_ = nullptr;
    QList<PopoverNotice*> notices_;
    QWidget* footer_ = nullptr;
    QVBoxLayout* footerBox_ = nullptr;
    QPointer<EditSpaceView> editor_;
    std::vector<platform::NotificationCenter::Subscription> subscriptions_;
};
