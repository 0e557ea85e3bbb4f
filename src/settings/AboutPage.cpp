#include "settings/AboutPage.h"

#include "platform/Bundle.h"
#include "platform/FileViewer.h"
#include "settings/AboutTexts.h"
#include "settings/CopyDiagnosticsButton.h"
#include "settings/ErrorAlert.h"
#include "settings/SettingsWidgets.h"
#include "settings/UpdateRow.h"
#include "store/LogFile.h"
#include "store/Settings.h"
#include "ui/AccentButton.h"
#include "ui/AppCommands.h"
#include "ui/AppIcon.h"
#include "ui/Card.h"
#include "ui/DarkToggle.h"
#include "ui/RowDivider.h"
#include "ui/SectionHeader.h"
#include "ui/SettingRow.h"
#include "ui/SettingsCard.h"
#include "ui/Theme.h"
#include "ui/TintPalette.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace {

constexpr int iconSize = 64;
constexpr int bulletSize = 5;
constexpr int bulletDrop = 6;

// The running app's icon.
class AboutIcon : public QWidget {
public:
    AboutIcon()
    {
        setObjectName(QStringLiteral("aboutIcon"));
        setFixedSize(iconSize, iconSize);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        AppIcon::paint(painter, QRectF(rect()));
    }
};

// A dot in the tint colour beside the first line of one note.
class BulletDot : public QWidget {
public:
    BulletDot() { setFixedSize(bulletSize, bulletSize); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(TintPalette::blue().color);
        painter.drawEllipse(QRectF(rect()));
    }
};

QWidget* aboutBullet(const QString& text)
{
    auto* bullet = new QWidget;
    bullet->setObjectName(QStringLiteral("aboutBullet"));
    auto* row = new QHBoxLayout(bullet);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    auto* dot = new QWidget;
    auto* dotColumn = new QVBoxLayout(dot);
    dotColumn->setContentsMargins(0, bulletDrop, 0, 0);
    dotColumn->setSpacing(0);
    dotColumn->addWidget(new BulletDot);
    dotColumn->addStretch(1);
    row->addWidget(dot, 0, Qt::AlignTop);
    row->addWidget(SettingsWidgets::label(text, Theme::font(12), Theme::textSecondary(),
                                          SettingsWidgets::Wrap::wrapping),
                   1, Qt::AlignTop);
    return bullet;
}

AccentButton* plainButton(const QString& title, const QString& name)
{
    auto* button = new AccentButton(title, false);
    button->setObjectName(name);
    return button;
}

} // namespace

AboutPage::AboutPage(const SettingsServices& services, QWidget* parent)
    : QWidget(parent)
    , services_(services)
{
    setObjectName(QStringLiteral("aboutPage"));
    auto* layout = SettingsWidgets::column(this);
    layout->addWidget(makeIdentityCard());
    layout->addWidget(new SectionHeader(QStringLiteral("Updates")));
    layout->addWidget(makeUpdatesCard());
    layout->addWidget(new SectionHeader(QStringLiteral("Support")));
    layout->addWidget(makeSupportCard());
    layout->addWidget(new SectionHeader(QStringLiteral("Under the hood")));
    layout->addWidget(makeNotesCard());
    SettingsWidgets::wrapCaptions(this);
    SettingsWidgets::afterSettingsChange(services_.settings, this, [this] {
        checkToggle_->setOn(services_.settings.updateCheckEnabled());
    });
}

QWidget* AboutPage::makeIdentityCard()
{
    auto* content = new QWidget;
    auto* row = new QHBoxLayout(content);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(16);
    row->addWidget(new AboutIcon, 0, Qt::AlignVCenter);

    auto* texts = new QVBoxLayout;
    texts->setContentsMargins(0, 0, 0, 0);
    texts->setSpacing(4);
    QLabel* name = SettingsWidgets::label(QStringLiteral("Tessaroom"), Theme::displayFont(18, QFont::Bold),
                                          Theme::text());
    name->setObjectName(QStringLiteral("aboutName"));
    // Read from the bundle each time the page is made, not the updater's
    // "0" stand-in.
    version_ = SettingsWidgets::label(AboutTexts::versionLine(platform::Bundle::shortVersion()), Theme::font(12),
                                      Theme::textSecondary(), SettingsWidgets::Wrap::wrapping);
    version_->setObjectName(QStringLiteral("versionLine"));
    QLabel* tagline = SettingsWidgets::label(AboutTexts::tagline(), Theme::font(12), Theme::textTertiary());
    tagline->setObjectName(QStringLiteral("tagline"));
    texts->addWidget(name);
    texts->addWidget(version_);
    texts->addWidget(tagline);
    row->addLayout(texts, 1);

    auto* card = new Card(content);
    card->setObjectName(QStringLiteral("identityCard"));
    return card;
}

QWidget* AboutPage::makeUpdatesCard()
{
    checkToggle_ = new DarkToggle(services_.settings.updateCheckEnabled());
    checkToggle_->setObjectName(QStringLiteral("checkDailyToggle"));
    connect(checkToggle_, &QAbstractButton::clicked, this,
            [this](bool on) { services_.settings.setUpdateCheckEnabled(on); });
    updateRow_ = new UpdateRow(services_.updates);
    auto* card = new SettingsCard({
        new SettingRow(QStringLiteral("Check once a day"), AboutTexts::checkCaption(), checkToggle_),
        new RowDivider,
        updateRow_,
    });
    card->setObjectName(QStringLiteral("updatesCard"));
    return card;
}

QWidget* AboutPage::makeSupportCard()
{
    auto* reveal = plainButton(QStringLiteral("Reveal"), QStringLiteral("revealButton"));
    connect(reveal, &QAbstractButton::clicked, this, &AboutPage::revealLogFolder);
    auto* again = plainButton(QStringLiteral("Show Again"), QStringLiteral("showAgainButton"));
    connect(again, &QAbstractButton::clicked, this, [this] { AppEnvironment::commands(this).showOnboarding(); });
    auto* card = new SettingsCard({
        new SettingRow(QStringLiteral("Diagnostics"),
                       QStringLiteral("Copies the space layout and the Mission Control log to the clipboard."),
                       new CopyDiagnosticsButton(QStringLiteral("Copy"))),
        new RowDivider,
        new SettingRow(QStringLiteral("Log folder"), std::nullopt, reveal),
        new RowDivider,
        new SettingRow(QStringLiteral("Welcome screen"), std::nullopt, again),
    });
    card->setObjectName(QStringLiteral("supportCard"));
    return card;
}

QWidget* AboutPage::makeNotesCard()
{
    auto* content = new QWidget;
    auto* column = SettingsWidgets::column(content, 6);
    for (const QString& note : AboutTexts::underTheHood())
        column->addWidget(aboutBullet(note));
    auto* card = new Card(content);
    card->setObjectName(QStringLiteral("notesCard"));
    return card;
}

void AboutPage::revealLogFolder()
{
    const QString log = LogFile::missionControl().path();
    if (!platform::FileViewer::activateSelecting({QUrl::fromLocalFile(log)}))
        ErrorAlert::show(QStringLiteral("Could not open the log folder"), AboutTexts::noFileManager(log));
}
