#include "SettingsTest.h"

#include "platform/AtomicFile.h"
#include "platform/EventSource.h"
#include "platform/sim/DialogScript.h"
#include "settings/TimeBar.h"
#include "settings/TimeTotalsRow.h"
#include "settings/TimeTrackingPage.h"
#include "store/Settings.h"
#include "ui/AccentButton.h"
#include "ui/DarkToggle.h"
#include "ui/SegmentPicker.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QUrl>

using platform::ModalResponse;
using platform::sim::SavePanelAnswer;

namespace {

class TimeTrackingPageTest : public SettingsTest {
protected:
    static SpaceMeta timed(const QString& name, double seconds)
    {
        SpaceMeta meta;
        meta.name = name;
        meta.seconds = seconds;
        return meta;
    }

    static QByteArray read(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static void answerSave(const QString& path)
    {
        platform::sim::answerNextSavePanel({ModalResponse::ok, QUrl::fromLocalFile(path)});
    }

    static QStringList durations(const TimeTrackingPage& page)
    {
        QStringList texts;
        for (TimeTotalsRow* row : page.totals())
            texts << row->durationLabel()->text();
        return texts;
    }
};

} // namespace

// --- controls ------------------------------------------------------------------

TEST_F(TimeTrackingPageTest, ToggleAndIdlePickerWriteTheirSettingsAndFollowThem)
{
    layOut({2});
    TimeTrackingPage page(services());
    EXPECT_TRUE(page.trackToggle()->isOn());
    EXPECT_EQ(page.idlePicker()->selection().toLongLong(), 3);
    QStringList labels;
    for (const auto& option : page.idlePicker()->options())
        labels << option.second;
    EXPECT_EQ(labels, QStringList({"1 min", "3 min", "5 min", "10 min"}));

    click(*page.trackToggle());
    EXPECT_FALSE(Settings::shared().trackTime());
    const QRectF tenMinutes = page.idlePicker()->segmentRect(3);
    leftClick(*page.idlePicker(), tenMinutes.center());
    EXPECT_EQ(Settings::shared().idleMinutes(), 10);

    Settings::shared().setTrackTime(true);
    Settings::shared().setIdleMinutes(1);
    clock().runPending();
    EXPECT_TRUE(page.trackToggle()->isOn());
    EXPECT_EQ(page.idlePicker()->selection().toLongLong(), 1);
}

// --- totals --------------------------------------------------------------------

TEST_F(TimeTrackingPageTest, RowsShowNamesDurationsAndSharesOfAllTime)
{
    layOut({3});
    store(1, timed("Code", 3725.9));
    store(2, timed({}, 59.9));
    TimeTrackingPage page(services());
    page.resize(824, page.sizeHint().height());
    render(page);
    ASSERT_EQ(page.totals().size(), 3);
    EXPECT_EQ(page.totals()[0]->nameLabel()->text(), "Code");
    EXPECT_EQ(page.totals()[1]->nameLabel()->text(), "Desktop 2");
    EXPECT_EQ(durations(page), QStringList({"1h 2m", "59s", "0s"}));

    const double total = 3725.9 + 59.9;
    const TimeBar* first = page.totals()[0]->bar();
    EXPECT_GT(first->width(), 100);
    EXPECT_NEAR(first->fillWidth(), first->width() * 3725.9 / total, 1e-9);
    EXPECT_DOUBLE_EQ(page.totals()[2]->bar()->fillWidth(), 4);
    keep(page, "time_tracking");
}

TEST_F(TimeTrackingPageTest, NothingTrackedShowsStubsAndZeroDurations)
{
    layOut({2});
    TimeTrackingPage page(services());
    EXPECT_EQ(durations(page), QStringList({"0s", "0s"}));
    EXPECT_DOUBLE_EQ(TimeBar::scale(0), 1);
    EXPECT_DOUBLE_EQ(TimeBar::fillWidth(500, 0, 1), 4);
    EXPECT_DOUBLE_EQ(TimeBar::fillWidth(500, 0.5, 1), 250);
}

TEST_F(TimeTrackingPageTest, ResetTimesZeroesEveryDesktopAtOnceAndKeepsTheNames)
{
    layOut({2});
    store(1, timed("Code", 4000));
    store(2, timed({}, 100));
    TimeTrackingPage page(services());
    click(*page.resetButton());
    EXPECT_EQ(desktop(1).meta().seconds, 0);
    EXPECT_EQ(desktop(1).meta().name, "Code");
    EXPECT_EQ(desktop(2).meta().seconds, 0);
    EXPECT_EQ(durations(page), QStringList({"0s", "0s"}));
    EXPECT_TRUE(platform::sim::shownConfirmations().empty());
}

// --- export ----------------------------------------------------------------------

TEST_F(TimeTrackingPageTest, ExportWritesEveryDesktopWhereTheUserChose)
{
    layOut({2, 1});
    store(1, timed("Code", 3725.9));
    store(3, timed("Mail \"work\"", 5400));
    // Metadata of a desktop that is gone is not exported.
    store().change(99999, [](SpaceMeta& meta) { meta.name = "Gone"; });
    TimeTrackingPage page(services());
    const QString path = home() + "/Tessaroom time.csv";
    answerSave(path);
    click(*page.exportButton());

    const auto panels = platform::sim::shownSavePanels();
    ASSERT_EQ(panels.size(), 1u);
    EXPECT_EQ(panels[0].nameFieldStringValue, "Tessaroom time.csv");
    EXPECT_EQ(panels[0].allowedContentTypes, QStringList({platform::UTType::commaSeparatedText}));
    EXPECT_EQ(read(path), QByteArray("desktop,name,seconds,hours\n"
                                     "1,\"Code\",3725,1.03\n"
                                     "2,\"Desktop 2\",0,0.00\n"
                                     "3,\"Mail \"\"work\"\"\",5400,1.50\n"));
    EXPECT_TRUE(platform::sim::shownAlerts().empty());
    EXPECT_EQ(page.exportButton()->text(), QStringLiteral("Export CSV\u2026"));
    EXPECT_TRUE(page.exportButton()->isProminent());
    EXPECT_FALSE(page.resetButton()->isProminent());
}

TEST_F(TimeTrackingPageTest, TheSavePanelOpensInTheFolderUsedLastElseTheHomeFolder)
{
    layOut({1});
    TimeTrackingPage page(services());
    const QString exports = home() + "/exports";
    ASSERT_TRUE(QDir().mkpath(exports));
    answerSave(exports + "/t.csv");
    page.exportCSV();
    platform::sim::answerNextSavePanel({ModalResponse::cancel, {}});
    page.exportCSV();
    answerSave(exports + "/u.csv");
    page.exportCSV();
    // A folder where the save failed is not remembered.
    answerSave("/proc/t.csv");
    page.exportCSV();
    platform::sim::answerNextSavePanel({ModalResponse::cancel, {}});
    page.exportCSV();
    // A folder that is gone is not used.
    ASSERT_TRUE(QDir(exports).removeRecursively());
    platform::sim::answerNextSavePanel({ModalResponse::cancel, {}});
    page.exportCSV();

    QStringList folders;
    for (const platform::sim::ShownSavePanel& panel : platform::sim::shownSavePanels())
        folders << panel.directory;
    EXPECT_EQ(folders, QStringList({home(), exports, exports, exports, exports, home()}));
}

TEST_F(TimeTrackingPageTest, ExportIncludesTheTimeSinceTheLastSample)
{
    layOut({2});
    Settings::shared().setTrackTime(true);
    engine().sampleTime();
    world().setSecondsSinceLastEvent(platform::EventSource::EventType::anyInput, 0);
    advance(12);
    TimeTrackingPage page(services());
    const QString path = home() + "/t.csv";
    answerSave(path);
    page.exportCSV();
    EXPECT_EQ(read(path), QByteArray("desktop,name,seconds,hours\n1,\"Desktop 1\",12,0.00\n2,\"Desktop 2\",0,0.00\n"));
}

TEST_F(TimeTrackingPageTest, PresentationModeExportsTheShownNames)
{
    layOut({1});
    store(1, timed("Secret", 7200));
    Settings::shared().setPresenting(true);
    TimeTrackingPage page(services());
    const QString path = home() + "/t.csv";
    answerSave(path);
    page.exportCSV();
    EXPECT_EQ(read(path), QByteArray("desktop,name,seconds,hours\n1,\"Desktop 1\",7200,2.00\n"));
}

TEST_F(TimeTrackingPageTest, CancellingThePanelWritesAndShowsNothing)
{
    layOut({1});
    TimeTrackingPage page(services());
    platform::sim::answerNextSavePanel({ModalResponse::cancel, {}});
    page.exportCSV();
    platform::sim::answerNextSavePanel({ModalResponse::ok, QUrl()});
    page.exportCSV();
    EXPECT_EQ(platform::sim::shownSavePanels().size(), 2u);
    EXPECT_TRUE(platform::sim::shownAlerts().empty());
    EXPECT_EQ(QDir(home()).entryList(QDir::Files), QStringList());
}

TEST_F(TimeTrackingPageTest, AFailedWriteShowsTheAlertAndLeavesWhatWasThere)
{
    layOut({1});
    TimeTrackingPage page(services());
    answerSave(home() + "/missing/Tessaroom time.csv");
    page.exportCSV();
    const QString folder = home() + "/Tessaroom time.csv";
    ASSERT_TRUE(QDir().mkpath(folder));
    answerSave(folder);
    page.exportCSV();
    answerSave("/proc/Tessaroom time.csv");
    page.exportCSV();

    const auto alerts = platform::sim::shownAlerts();
    ASSERT_EQ(alerts.size(), 3u);
    for (const auto& alert : alerts) {
        EXPECT_EQ(alert.messageText, "Could not save the CSV");
        EXPECT_TRUE(alert.informativeText.contains("Tessaroom time.csv")) << alert.informativeText.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(home() + "/missing"));
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_TRUE(QDir(folder).isEmpty());
}

TEST_F(TimeTrackingPageTest, AFullDiskShowsTheAlertAndKeepsTheEarlierExport)
{
    layOut({1});
    store(1, timed("Code", 60));
    TimeTrackingPage page(services());
    const QString path = home() + "/Tessaroom time.csv";
    answerSave(path);
    page.exportCSV();
    const QByteArray earlier = read(path);
    ASSERT_FALSE(earlier.isEmpty());

    store(1, timed("Code", 7200));
    answerSave(path);
    platform::AtomicFile::failNextWrite({.step = platform::AtomicFile::Step::flush});
    page.exportCSV();
    platform::AtomicFile::clearInjectedFailure();
    EXPECT_EQ(read(path), earlier);
    const auto alerts = platform::sim::shownAlerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].messageText, "Could not save the CSV");
    EXPECT_TRUE(alerts[0].informativeText.contains("No space left on device"))
        << alerts[0].informativeText.toStdString();
}

TEST_F(TimeTrackingPageTest, WithNoDesktopsTheFileHoldsTheHeaderAlone)
{
    TimeTrackingPage page(services());
    EXPECT_TRUE(page.totals().isEmpty());
    const QString path = home() + "/t.csv";
    answerSave(path);
    page.exportCSV();
    EXPECT_EQ(read(path), QByteArray("desktop,name,seconds,hours\n"));
}
