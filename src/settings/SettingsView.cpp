#include "settings/SettingsView.h"

#include "engine/SpaceEngine.h"
#include "settings/AboutPage.h"
#include "settings/AccessibilityBadge.h"
#include "settings/GeneralPage.h"
#include "settings/HeroStrip.h"
#include "settings/MissionControlPage.h"
#include "settings/PageTab.h"
#include "settings/SettingsModel.h"
#include "settings/SettingsTexts.h"
#include "settings/SettingsWidgets.h"
#include "settings/ShortcutsPage.h"
#include "settings/SpaceHoverPage.h"
#include "settings/SpacesPage.h"
#include "settings/SwitchTagPage.h"
#include "settings/TimeTrackingPage.h"
#include "ui/AppIcon.h"
#include "ui/HintedScrollView.h"
#include "ui/RowDivider.h"
#include "ui/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QRadialGradient>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int sideMargin = 28;
constexpr int appIconSize = 40;

QColor withAlpha(QColor color, double alpha)
{
    color.setAlphaF(float(alpha));
    return color;
}

// The header's backdrop: a vertical gradient under three soft glows.
class HeaderBand : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const double ratio = painter.device()->devicePixelRatioF();
        if (backdrop_.isNull() || backdrop_.devicePixelRatio() != ratio
            || backdrop_.deviceIndependentSize() != QSizeF(size())) {
            backdrop_ = QPixmap(size() * ratio);
            backdrop_.setDevicePixelRatio(ratio);
            QPainter drawing(&backdrop_);
            paintBackdrop(drawing);
        }
        painter.drawPixmap(0, 0, backdrop_);
    }

private:
    // Drawn once per size and scale: the gradients fill the whole band.
    void paintBackdrop(QPainter& painter)
    {
        const QRectF bounds = rect();
        QLinearGradient base(bounds.topLeft(), bounds.bottomLeft());
        base.setColorAt(0, Theme::surface());
        base.setColorAt(1, Theme::canvas());
        painter.fillRect(bounds, base);
        glow(painter, bounds.topRight(), 560, withAlpha(Theme::blue(), 0.26));
        glow(painter, bounds.topLeft(), 420, withAlpha(Theme::lilac(), 0.2));
        glow(painter, {bounds.width() * 0.55, 0}, 260, withAlpha(Theme::coral(), 0.1));
    }

    void glow(QPainter& painter, QPointF centre, double radius, const QColor& color)
    {
        QRadialGradient gradient(centre, radius);
        gradient.setColorAt(0, color);
        gradient.setColorAt(1, withAlpha(color, 0));
        painter.fillRect(rect(), gradient);
    }

    QPixmap backdrop_;
};

// The app's icon.
class HeaderIcon : public QWidget {
public:
    HeaderIcon()
    {
        setObjectName(QStringLiteral("appIcon"));
        setFixedSize(appIconSize, appIconSize);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        AppIcon::paint(painter, QRectF(rect()));
    }
};

} // namespace

SettingsView::SettingsView(SettingsModel& model, const SettingsServices& services, QWidget* parent)
    : QWidget(parent)
    , model_(model)
    , services_(services)
{
    setObjectName(QStringLiteral("settingsView"));
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Theme::canvas());
    setPalette(palette);

    auto* layout = SettingsWidgets::column(this, 0);
    layout->addWidget(makeHeader());
    QWidget* tabs = makeTabs();
    layout->addWidget(tabs);
    auto* divider = new RowDivider;
    layout->addWidget(divider);
    layout->addWidget(makePageArea(), 1);
    // A screen too short for the whole view shrinks the page area, which
    // scrolls anyway; the header and the tabs keep their place.
    setMinimumSize(windowSize.width(),
                   heroHeight + tabs->sizeHint().height() + divider->sizeHint().height() + leastPageHeight);
    setMaximumSize(windowSize);
    resize(windowSize);

    connect(&model_, &SettingsModel::pageChanged, this, &SettingsView::showPage);
    connect(&services_.engine, &SpaceEngine::changed, this, &SettingsView::refreshCounts);
    SettingsWidgets::afterSettingsChange(services_.settings, this, [this] {
        refreshCounts();
        heroStrip_->reload();
    });
    refreshCounts();
    showPage(model_.page());
}

QWidget* SettingsView::makeHeader()
{
    auto* band = new HeaderBand;
    band->setObjectName(QStringLiteral("headerBand"));
    band->setFixedHeight(heroHeight);
    auto* content = new QVBoxLayout(band);
    content->setContentsMargins(sideMargin, 40, sideMargin, 18);
    content->setSpacing(14);
    content->addStretch(1);

    auto* row = new QHBoxLayout;
    row->setSpacing(12);
    row->addWidget(new HeaderIcon, 0, Qt::AlignVCenter);
    auto* names = new QVBoxLayout;
    names->setSpacing(1);
    QLabel* appName = SettingsWidgets::label(QStringLiteral("Tessaroom"), Theme::displayFont(18, QFont::Bold),
                                             Theme::text());
    appName->setObjectName(QStringLiteral("appName"));
    names->addWidget(appName);
    counts_ = SettingsWidgets::label({}, Theme::font(11.5), Theme::textSecondary());
    counts_->setObjectName(QStringLiteral("countsLine"));
    names->addWidget(counts_);
    row->addLayout(names);
    row->addStretch(1);
    badge_ = new AccessibilityBadge(services_.access);
    row->addWidget(badge_, 0, Qt::AlignVCenter);
    content->addLayout(row);

    heroStrip_ = new HeroStrip(services_.engine);
    content->addWidget(heroStrip_);
    return band;
}

QWidget* SettingsView::makeTabs()
{
    auto* bar = new QWidget;
    bar->setObjectName(QStringLiteral("pageTabs"));
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(sideMargin, 12, sideMargin, 12);
    row->setSpacing(4);
    for (SettingsPage page : SettingsPages::allCases()) {
        auto* tab = new PageTab(page);
        connect(tab, &QAbstractButton::clicked, this, [this, page] { model_.setPage(page); });
        row->addWidget(tab, 0, Qt::AlignVCenter);
        tabs_.append(tab);
    }
    row->addStretch(1);
    return bar;
}

QWidget* SettingsView::makePageArea()
{
    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("pageContent"));
    auto* stack = new QVBoxLayout(content);
    stack->setContentsMargins(sideMargin, 24, sideMargin, 24);
    stack->setSpacing(18);
    stack->setAlignment(Qt::AlignTop);

    auto* heading = new QVBoxLayout;
    heading->setSpacing(3);
    title_ = SettingsWidgets::label({}, Theme::displayFont(22, QFont::Bold), Theme::text());
    title_->setObjectName(QStringLiteral("pageTitle"));
    subtitle_ = SettingsWidgets::label({}, Theme::font(12.5), Theme::textSecondary());
    subtitle_->setObjectName(QStringLiteral("pageSubtitle"));
    heading->addWidget(title_);
    heading->addWidget(subtitle_);
    stack->addLayout(heading);

    pageSlot_ = new QVBoxLayout;
    pageSlot_->setContentsMargins(0, 0, 0, 0);
    stack->addLayout(pageSlot_);

    pageArea_ = new HintedScrollView(content);
    pageArea_->setObjectName(QStringLiteral("pageArea"));
    return pageArea_;
}

QWidget* SettingsView::makePage(SettingsPage page)
{
    switch (page) {
    case SettingsPage::spaces:
        return new SpacesPage(services_);
    case SettingsPage::timeTracking:
        return new TimeTrackingPage(services_);
    case SettingsPage::general:
        return new GeneralPage(services_);
    case SettingsPage::missionControl:
        return new MissionControlPage(services_);
    case SettingsPage::switchTag:
        return new SwitchTagPage(services_);
    case SettingsPage::spaceHover:
        return new SpaceHoverPage(services_);
    case SettingsPage::shortcuts:
        return new ShortcutsPage(services_);
    case SettingsPage::about:
        return new AboutPage(services_);
    }
    // A page still to come shows an empty area.
    return new QWidget;
}

void SettingsView::showPage(SettingsPage page)
{
    for (PageTab* tab : std::as_const(tabs_))
        tab->setSelected(tab->page() == page);
    title_->setText(SettingsPages::title(page));
    subtitle_->setText(SettingsPages::subtitle(page));
    if (page_)
        delete page_;
    page_ = makePage(page);
    page_->setObjectName(page_->objectName().isEmpty() ? QStringLiteral("emptyPage") : page_->objectName());
    pageSlot_->addWidget(page_);
    if (QScrollArea* scroll = pageArea_->scrollArea())
        scroll->verticalScrollBar()->setValue(0);
}

QString SettingsView::countsLine() const
{
    const QList<Desktop>& desktops = services_.engine.desktops();
    const qint64 named = std::count_if(desktops.begin(), desktops.end(), [](const Desktop& d) { return d.hasName(); });
    return SettingsTexts::countsLine(desktops.size(), named);
}

void SettingsView::refreshCounts()
{
    counts_->setText(countsLine());
}
