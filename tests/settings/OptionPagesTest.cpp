#include "RecordingCommands.h"
#include "SettingsTest.h"

#include "settings/CopyDiagnosticsButton.h"
#include "settings/MissionControlPage.h"
#include "settings/SpaceHoverPage.h"
#include "settings/SwitchTagPage.h"
#include "store/Settings.h"
#include "switching/Accessibility.h"
#include "ui/AccentButton.h"
#include "ui/Card.h"
#include "ui/DarkToggle.h"
#include "ui/RowDivider.h"
#include "ui/SectionHeader.h"
#include "ui/SegmentPicker.h"
#include "ui/SettingRow.h"
#include "ui/ValueSlider.h"

#include "platform/PreferenceDomain.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>

#include <utility>

#include <sys/inotify.h>
#include <unistd.h>

namespace {

class OptionPagesTest : public SettingsTest {
protected:
    OptionPagesTest() { AppEnvironment::setCommands(&root_, commands_); }

    template <typename Page>
    Page* make()
    {
        return new Page(services(), &root_);
    }

    template <typename T>
    static T& child(const QWidget& page, const QString& name)
    {
        T* found = page.findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name.toStdString();
        return *found;
    }

    // (title, has a caption) of every row, in order.
    static QList<std::pair<QString, bool>> rows(const QWidget& page)
    {
        QList<std::pair<QString, bool>> found;
        for (SettingRow* row : page.findChildren<SettingRow*>())
            found.append({row->titleLabel()->text(), row->captionLabel() != nullptr});
        return found;
    }

    static QStringList labels(const SegmentPicker& picker)
    {
        QStringList texts;
        for (const auto& option : picker.options())
            texts << option.second;
        return texts;
    }

    RecordingCommands commands_;
    QWidget root_;
};

} // namespace

// --- Mission Control ----------------------------------------------------------------

TEST_F(OptionPagesTest, MissionControlAccessCardComesFirstAndGoesWhenTrusted)
{
    world().setTrusted(false);
    Accessibility::shared().refresh(false);
    auto* page = make<MissionControlPage>();
    ASSERT_NE(page->accessCard(), nullptr);
    EXPECT_EQ(page->layout()->itemAt(0)->widget(), page->accessCard());
    click(child<AccentButton>(*page, "openSystemSettingsButton"));
    ASSERT_EQ(world().openedURLs().size(), 1);
    page->resize(824, page->sizeHint().height());
    keep(*page, "mission_control_untrusted");

    world().setTrusted(true);
    Accessibility::shared().refresh(false);
    EXPECT_EQ(page->accessCard(), nullptr);
    EXPECT_EQ(page->findChild<Card*>("accessCard"), nullptr);
    EXPECT_TRUE(page->findChild<SectionHeader*>()->text().toLower() == "labels");
}

TEST_F(OptionPagesTest, MissionControlRowsInOrderWithTheirCaptions)
{
    world().setTrusted(true);
    Accessibility::shared().refresh(false);
    auto* page = make<MissionControlPage>();
    EXPECT_EQ(page->accessCard(), nullptr);
    const QList<std::pair<QString, bool>> expected{
        {"Show names in Mission Control", true}, {"Also label desktops without a custom name", true},
        {"Prefix the desktop number", false},    {"When the previews expand", true},
        {"Size", false},                         {"Vertical offset", true},
    };
    EXPECT_EQ(rows(*page), expected);
    EXPECT_EQ(page->findChildren<RowDivider*>().size(), 5);
    EXPECT_EQ(labels(child<SegmentPicker>(*page, "placementPicker")),
              QStringList({"Below the preview", "Inside the preview"}));
    EXPECT_NE(page->findChild<CopyDiagnosticsButton*>(), nullptr);
    click(child<AccentButton>(*page, "openMissionControlButton"));
    EXPECT_EQ(commands_.missionControl, 1);
}

TEST_F(OptionPagesTest, MissionControlControlsWriteAndFollowTheirSettings)
{
    auto* page = make<MissionControlPage>();
    Settings& settings = Settings::shared();
    auto& scale = child<ValueSlider>(*page, "scaleSlider");
    EXPECT_EQ(scale.minimum(), 0.8);
    EXPECT_EQ(scale.maximum(), 1.6);
    EXPECT_EQ(scale.step(), 0.05);
    EXPECT_EQ(scale.text(), "100%");
    auto& offset = child<ValueSlider>(*page, "offsetSlider");
    EXPECT_EQ(offset.minimum(), -80);
    EXPECT_EQ(offset.maximum(), 80);
    EXPECT_EQ(offset.step(), 1);
    EXPECT_EQ(offset.text(), "0 pt");

    click(child<DarkToggle>(*page, "labelsToggle"));
    EXPECT_FALSE(settings.mcLabelsEnabled());
    // The other rows stay changeable with the names off.
    click(child<DarkToggle>(*page, "numberToggle"));
    EXPECT_TRUE(settings.mcShowNumber());
    auto& placement = child<SegmentPicker>(*page, "placementPicker");
    leftClick(placement, placement.segmentRect(1).center());
    EXPECT_EQ(settings.mcPlacement(), PillPlacement::insidePreview);

    settings.setMcScale(0.85);
    settings.setMcOffsetY(-12);
    settings.setMcShowUnnamed(false);
    clock().runPending();
    EXPECT_EQ(scale.text(), "85%");
    EXPECT_EQ(offset.text(), "-12 pt");
    EXPECT_FALSE(child<DarkToggle>(*page, "unnamedToggle").isOn());
}

namespace {

// Counts the times a file of a folder is put in place: every write of the
// preferences renames a finished file onto theirs.
class RenameCount {
public:
    explicit RenameCount(const QString& folder)
        : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        EXPECT_GE(::inotify_add_watch(fd_, QFile::encodeName(folder).constData(), IN_MOVED_TO), 0);
    }
    ~RenameCount() { ::close(fd_); }

    // Renames onto name since the last call. Call it after each one: the
    // system merges identical events that were not read yet.
    int onto(const QString& name)
    {
        alignas(inotify_event) char buffer[4096];
        ssize_t size = 0;
        while ((size = ::read(fd_, buffer, sizeof buffer)) > 0) {
            for (char* at = buffer; at < buffer + size;) {
                const auto* event = reinterpret_cast<const inotify_event*>(at);
                renames_ += event->len > 0 && QFile::decodeName(event->name) == name;
                at += sizeof(inotify_event) + event->len;
            }
        }
        return std::exchange(renames_, 0);
    }

private:
    int fd_;
    int renames_ = 0;
};

} // namespace

TEST_F(OptionPagesTest, DraggingASliderWritesThePreferencesAFewTimesASecond)
{
    auto* page = make<MissionControlPage>();
    auto& offset = child<ValueSlider>(*page, "offsetSlider");
    offset.resize(offset.sizeHint());
    const QFileInfo file(platform::PreferenceDomain::standard().filePath());
    QDir().mkpath(file.path());
    RenameCount renames(file.path());

    // A second of dragging, one step per frame.
    const auto send = [&](QEvent::Type type, double x, Qt::MouseButtons held) {
        const QPointF at(x, offset.height() / 2.0);
        QMouseEvent event(type, at, offset.mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                          held, Qt::NoModifier);
        QApplication::sendEvent(&offset, &event);
    };
    int writes = 0;
    send(QEvent::MouseButtonPress, 10, Qt::LeftButton);
    for (int frame = 1; frame <= 60; ++frame) {
        send(QEvent::MouseMove, 10 + 2 * frame, Qt::LeftButton);
        EXPECT_EQ(Settings::shared().mcOffsetY(), offset.value()); // stored at once
        advance(1.0 / 60);
        writes += renames.onto(file.fileName());
    }
    send(QEvent::MouseButtonRelease, 130, Qt::NoButton);
    EXPECT_GE(writes, 2);
    EXPECT_LE(writes, 5);

    advance(1.0);
    const QVariantMap onDisk =
        platform::PreferenceDomain(platform::PreferenceDomain::standardName()).persistentDomain();
    EXPECT_EQ(onDisk.value("mcOffsetY").toDouble(), offset.value());
    EXPECT_LE(renames.onto(file.fileName()), 1);
}

// --- switch tag --------------------------------------------------------------------

TEST_F(OptionPagesTest, SwitchTagRowsControlsAndPreview)
{
    auto* page = make<SwitchTagPage>();
    const QList<std::pair<QString, bool>> expected{
        {"Show a tag when I switch spaces", true}, {"Position", false}, {"Size", false},
        {"Stays on screen", false},                {"Show the desktop number under custom names", false},
    };
    EXPECT_EQ(rows(*page), expected);
    EXPECT_EQ(labels(child<SegmentPicker>(*page, "positionPicker")), QStringList({"Center", "Top", "Bottom"}));
    EXPECT_EQ(labels(child<SegmentPicker>(*page, "sizePicker")), QStringList({"Compact", "Regular", "Large"}));
    auto& duration = child<ValueSlider>(*page, "durationSlider");
    EXPECT_EQ(duration.minimum(), 0.4);
    EXPECT_EQ(duration.maximum(), 4.0);
    EXPECT_EQ(duration.step(), 0.1);
    EXPECT_EQ(duration.text(), "1.2 s");

    click(child<DarkToggle>(*page, "tagToggle"));
    EXPECT_FALSE(Settings::shared().hudEnabled());
    auto& size = child<SegmentPicker>(*page, "sizePicker");
    leftClick(size, size.segmentRect(2).center());
    EXPECT_EQ(Settings::shared().hudSize(), HUDSize::large);
    // The preview works with the tag off.
    click(child<AccentButton>(*page, "previewTagButton"));
    EXPECT_EQ(commands_.tagPreviews, 1);

    Settings::shared().setHudPosition(HUDPosition::bottom);
    Settings::shared().setHudDuration(2.5);
    clock().runPending();
    EXPECT_EQ(child<SegmentPicker>(*page, "positionPicker").selection().toLongLong(),
              rawValue(HUDPosition::bottom));
    EXPECT_EQ(duration.text(), "2.5 s");
}

// --- hover -----------------------------------------------------------------------

TEST_F(OptionPagesTest, HoverRowsControlsAndShowNow)
{
    auto* page = make<SpaceHoverPage>();
    const QList<std::pair<QString, bool>> expected{
        {"Reveal spaces when I hover the top of the screen", true},
        {"Trigger area", true},
        {"Hover delay", true},
    };
    EXPECT_EQ(rows(*page), expected);
    EXPECT_EQ(labels(child<SegmentPicker>(*page, "zonePicker")), QStringList({"Center", "Whole top edge"}));
    auto& delay = child<ValueSlider>(*page, "delaySlider");
    EXPECT_EQ(delay.minimum(), 0.1);
    EXPECT_EQ(delay.maximum(), 1.5);
    EXPECT_EQ(delay.step(), 0.05);
    EXPECT_EQ(delay.text(), "0.45 s");

    click(child<DarkToggle>(*page, "hoverToggle"));
    EXPECT_FALSE(Settings::shared().hoverEnabled());
    auto& zone = child<SegmentPicker>(*page, "zonePicker");
    leftClick(zone, zone.segmentRect(1).center());
    EXPECT_EQ(Settings::shared().hoverZone(), HoverZone::wholeEdge);
    click(child<AccentButton>(*page, "showStripButton"));
    EXPECT_EQ(commands_.hoverPreviews, 1);
    Settings::shared().setHoverDelay(1.0);
    clock().runPending();
    EXPECT_EQ(delay.text(), "1.00 s");
}
