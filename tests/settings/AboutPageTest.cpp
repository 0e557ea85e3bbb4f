#include "SettingsTest.h"

#include "platform/linux/FileViewer.h"
#include "platform/sim/Bundle.h"
#include "platform/sim/DialogScript.h"
#include "platform/sim/SystemVersion.h"
#include "settings/AboutPage.h"
#include "settings/CopyDiagnosticsButton.h"
#include "settings/SettingsModel.h"
#include "settings/SettingsView.h"
#include "settings/UpdateProgress.h"
#include "settings/UpdateRow.h"
#include "store/LogFile.h"
#include "store/Settings.h"
#include "support/MakerFeed.h"
#include "support/ScriptedLoader.h"
#include "support/UrlCatcher.h"
#include "switching/Accessibility.h"
#include "ui/AccentButton.h"
#include "ui/AppCommands.h"
#include "ui/DarkToggle.h"
#include "ui/HintedScrollView.h"
#include "ui/HostedWindow.h"
#include "ui/SectionHeader.h"
#include "ui/SettingRow.h"
#include "update/Updates.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QScrollArea>
#include <QScrollBar>

namespace {

class WelcomeCounter final : public InertCommands {
public:
    int onboardings = 0;
    void showOnboarding() override { ++onboardings; }
    QString diagnosticsText() override { return QStringLiteral("diagnostics"); }
};

constexpr int pageWidth = 824; // the settings window less the page area's margins

class AboutPageTest : public SettingsTest {
protected:
    AboutPageTest()
    {
        qunsetenv("TESSAROOM_UPDATE_FEED");
        platform::sim::setBundleShortVersion(QStringLiteral("1.2"));
        platform::sim::setOperatingSystemVersion({14, 6, 1});
        AppEnvironment::setCommands(&root_, commands_);
    }

    AboutPage* make()
    {
        auto* page = new AboutPage(
            SettingsServices{engine(), Settings::shared(), store(), Accessibility::shared(), updates_}, &root_);
        fit(*page);
        return page;
    }

    static constexpr qint64 imageBytes = 10 * Updates::downloadChunkBytes;

    static QByteArray feed(const QString& version, const QString& notes = QStringLiteral(
                                                       "https://updates.tessaroom.app/notes.html"))
    {
        QJsonObject feed = makerFeed(version, imageBytes);
        feed[QStringLiteral("dmg")] = QStringLiteral("https://updates.tessaroom.app/Tessaroom.dmg");
        feed[QStringLiteral("notes")] = notes;
        return makerFeedBytes(feed);
    }

    // The page at the page area's width and the height its texts need there.
    static void fit(AboutPage& page)
    {
        page.layout()->activate();
        const int height = page.heightForWidth(pageWidth);
        page.resize(pageWidth, height > 0 ? height : page.sizeHint().height());
        page.layout()->activate();
    }
    static void look(AboutPage& page, const QString& name)
    {
        fit(page);
        keep(page, name);
    }

    static UpdateRow& row(const AboutPage& page) { return *page.updateRow(); }
    static QString title(const AboutPage& page) { return page.updateRow()->titleLabel()->text(); }
    static QString caption(const AboutPage& page) { return page.updateRow()->captionLabel()->text(); }
    static AccentButton* button(const AboutPage& page, const QString& name)
    {
        return page.updateRow()->findChild<AccentButton*>(name);
    }
    // The titles of the row's buttons, in order.
    static QStringList buttons(const AboutPage& page)
    {
        QStringList titles;
        QLayout* controls = page.updateRow()->control()->layout();
        for (int i = 0; i < controls->count(); ++i) {
            if (auto* shown = qobject_cast<AccentButton*>(controls->itemAt(i)->widget()))
                titles << shown->text();
        }
        return titles;
    }

    // Every widget of the row lies inside the page's width.
    static void expectWithinPage(AboutPage& page)
    {
        fit(page);
        const UpdateRow& shown = row(page);
        const QList<const QWidget*> parts{&shown, shown.titleLabel(), shown.captionLabel(), shown.control()};
        for (const QWidget* part : parts) {
            const QRect inPage(part->mapTo(&page, QPoint(0, 0)), part->size());
            EXPECT_LE(inPage.right(), pageWidth) << part->objectName().toStdString();
            EXPECT_GE(inPage.left(), 0) << part->objectName().toStdString();
        }
        EXPECT_GT(shown.control()->width(), 0);
    }

    ScriptedLoader loader_;
    Updates updates_{Settings::shared(), loader_};
    WelcomeCounter commands_;
    QWidget root_;
};

} // namespace

// --- the page ----------------------------------------------------------------------

TEST_F(AboutPageTest, ShowsNameVersionTaglineAndTheCardsInOrder)
{
    AboutPage* page = make();
    EXPECT_EQ(page->versionLabel()->text(), "Version 1.2 \u00b7 Native Qt \u00b7 macOS 14+");
    EXPECT_EQ(page->findChild<QLabel*>("tagline")->text(), "Name your desktops. See the names everywhere.");
    QStringList headers;
    for (SectionHeader* header : page->findChildren<SectionHeader*>())
        headers << header->text().toLower();
    EXPECT_EQ(headers, QStringList({"updates", "support", "under the hood"}));
    QStringList rows;
    for (SettingRow* shown : page->findChildren<SettingRow*>())
        rows << shown->titleLabel()->text();
    EXPECT_EQ(rows, QStringList({"Check once a day", "Version 1.2", "Diagnostics", "Log folder", "Welcome screen"}));
    EXPECT_EQ(page->findChild<CopyDiagnosticsButton*>()->text(), "Copy");
    EXPECT_EQ(page->findChildren<QWidget*>("aboutBullet").size(), 4);
    look(*page, "about_fresh");
}

TEST_F(AboutPageTest, BundleWithoutVersionShowsNothingInTheLineAndZeroInTheRow)
{
    platform::sim::setBundleShortVersion(std::nullopt);
    AboutPage* page = make();
    EXPECT_EQ(page->versionLabel()->text(), "Version  \u00b7 Native Qt \u00b7 macOS 14+");
    EXPECT_EQ(title(*page), "Version 0");
}

TEST_F(AboutPageTest, CheckOnceADayTurnsTheScheduleOffButCheckNowStillWorks)
{
    AboutPage* page = make();
    ASSERT_TRUE(page->checkToggle()->isOn());
    click(*page->checkToggle());
    EXPECT_FALSE(Settings::shared().updateCheckEnabled());
    updates_.start();
    advance(Updates::firstTickDelay + 1);
    clock().runPending();
    EXPECT_EQ(loader_.count(), 0u);
    click(*button(*page, "checkNowButton"));
    EXPECT_EQ(loader_.count(), 1u);

    // The switch follows the setting when something else changes it.
    Settings::shared().setUpdateCheckEnabled(true);
    clock().runPending();
    EXPECT_TRUE(page->checkToggle()->isOn());
}

TEST_F(AboutPageTest, RevealSelectsTheLogFileEvenBeforeItExists)
{
    AboutPage* page = make();
    const QString path = LogFile::missionControl().path();
    ASSERT_FALSE(QFile::exists(path));
    click(*page->findChild<AccentButton*>("revealButton"));
    ASSERT_EQ(platform::host::fileViewerSelections().size(), 1);
    EXPECT_EQ(platform::host::fileViewerSelections()[0], QList<QUrl>{QUrl::fromLocalFile(path)});
    EXPECT_TRUE(path.endsWith("mission-control.log"));
}

TEST_F(AboutPageTest, TheCardShowsTheAppsOneIcon)
{
    AboutPage* page = make();
    const QImage image = render(*page, 2);
    const QWidget* icon = page->findChild<QWidget*>(QStringLiteral("aboutIcon"));
    ASSERT_NE(icon, nullptr);
    EXPECT_TRUE(showsAppIcon(image, QRectF(QPointF(icon->mapTo(page, QPoint(0, 0))), QSizeF(icon->size()))));
}

TEST_F(AboutPageTest, OnADesktopSessionRevealOpensTheLogFolderOrSaysWhereItIs)
{
    AboutPage* page = make();
    auto* reveal = page->findChild<AccentButton*>("revealButton");
    const QString folder = QFileInfo(LogFile::missionControl().path()).absolutePath();
    platform::host::setFileViewerOpensFolders(true);
    {
        UrlCatcher files(QStringLiteral("file"));
        click(*reveal);
        EXPECT_EQ(files.opened, QList<QUrl>{QUrl::fromLocalFile(folder)});
        EXPECT_TRUE(platform::sim::shownAlerts().empty());
    }
    // No file manager takes the folder.
    click(*reveal);
    const auto alerts = platform::sim::shownAlerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].messageText, "Could not open the log folder");
    EXPECT_EQ(alerts[0].informativeText, "No file manager could show it. The logs are in \u201c" + folder + "\u201d.");
    EXPECT_EQ(platform::host::fileViewerSelections().size(), 2);
}

TEST_F(AboutPageTest, ShowAgainAsksForTheWelcomeWindowAndCopyPutsTheDiagnostics)
{
    Settings::shared().setOnboardingDismissed(true);
    AboutPage* page = make();
    click(*page->findChild<AccentButton*>("showAgainButton"));
    EXPECT_EQ(commands_.onboardings, 1);
    auto* copy = page->findChild<CopyDiagnosticsButton*>();
    click(*copy);
    EXPECT_EQ(copy->text(), "Copied");
    advance(CopyDiagnosticsButton::copiedSeconds);
    clock().runPending();
    EXPECT_EQ(copy->text(), "Copy");
}

// --- update row: checks ------------------------------------------------------------

TEST_F(AboutPageTest, CheckNowShowsCheckingThenUpToDateAndTheTimeMovesOn)
{
    AboutPage* page = make();
    root_.show();
    EXPECT_EQ(title(*page), "Version 1.2");
    EXPECT_EQ(caption(*page), "Not checked yet.");
    ASSERT_TRUE(button(*page, "checkNowButton")->isEnabled());

    click(*button(*page, "checkNowButton"));
    EXPECT_EQ(title(*page), "Checking\u2026");
    EXPECT_FALSE(button(*page, "checkNowButton")->isEnabled());
    click(*button(*page, "checkNowButton"));
    EXPECT_EQ(loader_.count(), 1u);
    look(*page, "about_checking");

    loader_.answer(200, feed(QStringLiteral("1.2")));
    EXPECT_EQ(title(*page), "Version 1.2");
    EXPECT_TRUE(button(*page, "checkNowButton")->isEnabled());
    EXPECT_EQ(caption(*page), "Up to date. Last check a moment ago.");

    // The shown row brings its relative time up to date on its own.
    advance(2 * 3600);
    clock().runPending();
    EXPECT_EQ(caption(*page), "Up to date. Last check 2 hours ago.");
    root_.hide();
    EXPECT_EQ(clock().pendingCount(), 0u);
}

TEST_F(AboutPageTest, CheckNowKeepsTheKeyboardFocusAndThePageWhereTheyAre)
{
    SettingsModel model;
    model.setPage(SettingsPage::about);
    auto* view = new SettingsView(
        model, SettingsServices{engine(), Settings::shared(), store(), Accessibility::shared(), updates_});
    AppEnvironment::setCommands(view, commands_);
    HostedWindow window(view, std::nullopt, std::nullopt, true);
    window.show();
    QApplication::processEvents();
    auto* page = qobject_cast<AboutPage*>(view->pageView());
    ASSERT_NE(page, nullptr);
    for (int i = 0; i < 40 && QApplication::focusWidget() != button(*page, "checkNowButton"); ++i)
        pressTab(*window.window());
    ASSERT_EQ(QApplication::focusWidget(), button(*page, "checkNowButton"));
    const QScrollBar* bar = view->pageArea()->scrollArea()->verticalScrollBar();
    const int scrolled = bar->value();

    for (const QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
        QKeyEvent space(type, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
        QApplication::sendEvent(QApplication::focusWidget(), &space);
    }
    ASSERT_EQ(title(*page), "Checking\u2026");
    EXPECT_TRUE(row(*page).isAncestorOf(QApplication::focusWidget())) << "the focus stays in the row";
    EXPECT_EQ(bar->value(), scrolled);

    loader_.answer(200, feed(QStringLiteral("1.2")));
    EXPECT_EQ(QApplication::focusWidget(), button(*page, "checkNowButton"));
    int focusMoves = 0;
    const QObject watching;
    QObject::connect(qApp, &QApplication::focusChanged, &watching, [&focusMoves] { ++focusMoves; });
    advance(60);
    clock().runPending();
    EXPECT_EQ(focusMoves, 0) << "the relative time's refresh leaves the focus alone";
    // An offer replaces the button: the focus goes to the new main action.
    click(*button(*page, "checkNowButton"));
    loader_.answer(200, feed(QStringLiteral("1.3")));
    EXPECT_EQ(QApplication::focusWidget(), button(*page, "downloadButton"));
    EXPECT_EQ(bar->value(), scrolled);
}

TEST_F(AboutPageTest, AFailedFirstCheckShowsItsFailureNotNotCheckedYet)
{
    AboutPage* page = make();
    click(*button(*page, "checkNowButton"));
    loader_.fail(QStringLiteral("The Internet connection appears to be offline."));
    EXPECT_EQ(title(*page), "Version 1.2");
    // The description's own full stop is not doubled.
    EXPECT_EQ(caption(*page).toStdString(), "Last check a moment ago: The Internet connection appears to be offline.");
    EXPECT_EQ(updates_.lastChecked(), std::nullopt);
    look(*page, "about_failed_check");
}

TEST_F(AboutPageTest, ALaterFailureCarriesItsOwnMomentNotTheOldSuccess)
{
    AboutPage* page = make();
    click(*button(*page, "checkNowButton"));
    loader_.answer(200, feed(QStringLiteral("1.2")));
    advance(3 * 86400);
    click(*button(*page, "checkNowButton"));
    loader_.answer(404, QByteArray());
    EXPECT_EQ(caption(*page), "Last check a moment ago: the site answered 404.");
    advance(120);
    row(*page).refresh();
    EXPECT_EQ(caption(*page), "Last check 2 minutes ago: the site answered 404.");
}

// --- update row: an offer and its download -----------------------------------------

TEST_F(AboutPageTest, OfferShowsSkipNotesAndDownloadAndSkipBringsBackTheNoOfferRow)
{
    AboutPage* page = make();
    click(*button(*page, "checkNowButton"));
    loader_.answer(200, feed(QStringLiteral("1.3")));
    EXPECT_EQ(title(*page), "Tessaroom 1.3 is available");
    EXPECT_EQ(caption(*page), "Released " + updates_.available()->releasedText() + ". The current version is 1.2.");
    EXPECT_EQ(buttons(*page), QStringList({"Skip", "What's New", "Download"}));
    EXPECT_TRUE(button(*page, "downloadButton")->isProminent());
    EXPECT_FALSE(button(*page, "skipButton")->isProminent());
    look(*page, "about_offer");

    click(*button(*page, "whatsNewButton"));
    ASSERT_EQ(world().openedURLs().size(), 1);
    EXPECT_EQ(world().openedURLs()[0], QUrl("https://updates.tessaroom.app/notes.html"));

    click(*button(*page, "skipButton"));
    EXPECT_EQ(Settings::shared().updateSkipped(), "1.3");
    EXPECT_EQ(title(*page), "Version 1.2");
    EXPECT_EQ(caption(*page), "Up to date. Last check a moment ago.");

    click(*button(*page, "checkNowButton"));
    loader_.answer(200, feed(QStringLiteral("1.3")));
    EXPECT_EQ(caption(*page), "Last check a moment ago: 1.3 skipped.");
}

TEST_F(AboutPageTest, DownloadShowsItsProgressThenAFailureWithTryAgain)
{
    AboutPage* page = make();
    click(*button(*page, "checkNowButton"));
    loader_.answer(200, feed(QStringLiteral("1.3")));
    click(*button(*page, "downloadButton"));
    ASSERT_EQ(loader_.count(), 2u);
    EXPECT_EQ(loader_.request(1).request.url, QUrl("https://updates.tessaroom.app/Tessaroom.dmg"));
    loader_.respond(200, QByteArray(4 * Updates::downloadChunkBytes, 'x'));
    EXPECT_EQ(title(*page), "Downloading Tessaroom 1.3");
    EXPECT_EQ(caption(*page), "Checking the size, the hash and the signature before it opens.");
    ASSERT_NE(row(*page).progress(), nullptr);
    EXPECT_EQ(row(*page).progress()->style(), UpdateProgress::Style::bar);
    EXPECT_DOUBLE_EQ(row(*page).progress()->fraction(), 0.4);
    EXPECT_EQ(row(*page).progress()->width(), 120);
    EXPECT_TRUE(buttons(*page).isEmpty());
    look(*page, "about_downloading");

    loader_.fail(QStringLiteral("the connection was lost"));
    EXPECT_EQ(title(*page), "The download did not go through");
    EXPECT_EQ(caption(*page), UpdateRowModel::failureCaption(updates_.phase().failure));
    EXPECT_TRUE(caption(*page).at(0).isUpper());
    EXPECT_TRUE(caption(*page).endsWith(". Nothing was installed."));
    EXPECT_EQ(buttons(*page), QStringList({"Try Again"}));
    EXPECT_EQ(row(*page).progress(), nullptr);
    look(*page, "about_download_failed");

    click(*button(*page, "tryAgainButton"));
    EXPECT_EQ(loader_.count(), 3u);
    EXPECT_EQ(title(*page), "Downloading Tessaroom 1.3");
}

TEST_F(AboutPageTest, ReadyAndInstallingRowsAndTheInstallHook)
{
    AboutPage* page = make();
    UpdateFeed entry;
    entry.version = QStringLiteral("1.3");
    UpdateRow& shown = row(*page);
    shown.showModel(UpdateRowModel::make(
        {.available = entry, .phase = Updates::Phase::ready(QStringLiteral("/x.dmg"), entry), .currentVersion = "1.2"}));
    EXPECT_EQ(title(*page), "Tessaroom 1.3 is downloaded and verified");
    EXPECT_EQ(buttons(*page), QStringList({"Show Image", "Install and Relaunch"}));
    look(*page, "about_ready");

    // The updater itself holds no image here: the button reaches it, and it does nothing.
    click(*button(*page, "installButton"));
    EXPECT_EQ(updates_.phase(), Updates::Phase::idle());

    // Shown first: showing the row reads the updater again.
    root_.show();
    shown.showModel(UpdateRowModel::make({.available = entry, .phase = Updates::Phase::installing()}));
    EXPECT_EQ(title(*page), "Installing Tessaroom 1.3");
    ASSERT_NE(shown.progress(), nullptr);
    EXPECT_EQ(shown.progress()->style(), UpdateProgress::Style::busy);
    const int before = shown.progress()->turn();
    advance(UpdateProgress::turnInterval);
    clock().runPending();
    EXPECT_NE(shown.progress()->turn(), before);
    look(*page, "about_installing");
    advance(1);
    clock().runPending();
    root_.hide();
    EXPECT_EQ(clock().pendingCount(), 0u);
}

// --- bad input ---------------------------------------------------------------------

TEST_F(AboutPageTest, FeedWithNotesThatAreNotWebLinksOffersAndOpensNothing)
{
    AboutPage* page = make();
    for (const QString& notes : {QStringLiteral("file:///etc/passwd"), QStringLiteral("javascript:alert(1)"),
                                QStringLiteral("tessaroom://settings/about")}) {
        click(*button(*page, "checkNowButton"));
        loader_.answer(200, feed(QStringLiteral("1.3"), notes));
        EXPECT_EQ(updates_.available(), std::nullopt);
        EXPECT_EQ(caption(*page), "Last check a moment ago: the version file did not read.");
        EXPECT_EQ(button(*page, "whatsNewButton"), nullptr);
    }
    updates_.openNotes();
    EXPECT_TRUE(world().openedURLs().isEmpty());
}

TEST_F(AboutPageTest, AThousandCharacterVersionAndAMultiLineFailureStayInsideThePage)
{
    QString version = QStringLiteral("20");
    while (version.size() < 1000)
        version += QStringLiteral(".0");
    ASSERT_EQ(version.size(), 1000);
    AboutPage* page = make();
    click(*button(*page, "checkNowButton"));
    loader_.answer(200, feed(version));
    ASSERT_TRUE(updates_.available());
    EXPECT_EQ(title(*page), "Tessaroom " + UpdateRowModel::shownVersion(version) + " is available");
    EXPECT_EQ(row(*page).titleLabel()->toolTip(), "Tessaroom " + version + " is available");
    expectWithinPage(*page);
    look(*page, "about_long_version");

    click(*button(*page, "downloadButton"));
    loader_.fail(QStringLiteral("first line of the failure\nsecond line\n\nfourth line"));
    EXPECT_TRUE(caption(*page).startsWith("First line of the failure second line fourth line"));
    expectWithinPage(*page);
    look(*page, "about_multiline_failure");
}
