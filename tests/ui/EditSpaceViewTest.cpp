#include "UiTest.h"

#include "platform/AtomicFile.h"
#include "platform/KeyCodes.h"
#include "platform/Lifetime.h"
#include "platform/NotificationCenter.h"
#include "platform/sim/DialogScript.h"
#include "platform/sim/Keyboard.h"
#include "platform/sim/World.h"
#include "store/Palette.h"
#include "store/Settings.h"
#include "store/SpaceStore.h"
#include "ui/ColorSwatch.h"
#include "ui/EditSpaceView.h"
#include "ui/ElidedLabel.h"
#include "ui/Glyph.h"
#include "ui/HotkeyRecorder.h"
#include "ui/IconCell.h"
#include "ui/PlainSymbolButton.h"
#include "ui/RecorderButton.h"
#include "ui/Theme.h"
#include "ui/TilePreview.h"
#include "ui/TintPalette.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>

#include <memory>

using platform::ModalResponse;

namespace {

// Counts the Escape presses that reach a window unhandled.
class EscapeWatch : public QObject {
public:
    explicit EscapeWatch(QWidget& window) : window_(window) { window.installEventFilter(this); }
    int reached = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == &window_ && event->type() == QEvent::KeyPress
            && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
            ++reached;
        return false;
    }

private:
    QWidget& window_;
};

namespace KeyCode = platform::KeyCode;
const Hotkey controlOptionM{KeyCode::m, Hotkey::defaultModifiers};

class EditSpaceViewTest : public UiTest {
protected:
    EditSpaceViewTest()
        : changes_(platform::NotificationCenter::defaultCenter().observe(SpaceStore::changedNotification,
                                                                        [this] { ++announced_; }))
    {
    }

    // Desktop 2, stored with what the test gives it; the store written and
    // the announcements counted from here on.
    Desktop storedDesktop(const SpaceMeta& meta)
    {
        Desktop made = desktop(2);
        SpaceStore::shared().change(made.managedID(), [&](SpaceMeta& stored) { stored = meta; });
        SpaceStore::shared().flushNow();
        announced_ = 0;
        return made;
    }

    static SpaceMeta mail()
    {
        SpaceMeta meta;
        meta.name = QStringLiteral("Mail");
        meta.icon = SpaceIcon::symbol(QStringLiteral("envelope.fill"));
        meta.color = TileColor::palette(4);
        meta.hotkey = controlOptionM;
        return meta;
    }

    static SpaceMeta stored(const Desktop& desktop) { return SpaceStore::shared().meta(desktop.managedID()); }

    template <typename T>
    static T* child(const EditSpaceView& view, const char* name)
    {
        T* found = view.findChild<T*>(QString::fromLatin1(name));
        EXPECT_TRUE(found) << name;
        return found;
    }

    static QList<IconCell*> visibleCells(const EditSpaceView& view)
    {
        QList<IconCell*> visible;
        for (IconCell* cell : view.findChildren<IconCell*>()) {
            if (!cell->isHidden())
                visible.append(cell);
        }
        return visible;
    }

    static IconCell* cell(const EditSpaceView& view, const QString& title)
    {
        for (IconCell* found : visibleCells(view)) {
            if (found->toolTip() == title)
                return found;
        }
        return nullptr;
    }

    static ColorSwatch* swatch(const EditSpaceView& view, const TileColor& choice)
    {
        for (ColorSwatch* found : view.findChildren<ColorSwatch*>()) {
            if (found->choice() == choice)
                return found;
        }
        return nullptr;
    }

    static QList<QString> selectedCells(const EditSpaceView& view)
    {
        QList<QString> selected;
        for (IconCell* found : visibleCells(view)) {
            if (found->isSelected())
                selected.append(found->toolTip());
        }
        return selected;
    }

    // A picture file on disk, outside the icons folder.
    QString pictureFile(const QString& name, QColor color = Qt::red)
    {
        QImage picture(80, 40, QImage::Format_ARGB32);
        picture.fill(color);
        const QString path = files_.filePath(name);
        EXPECT_TRUE(picture.save(path));
        return path;
    }

    // Shows the view in an active window, so its keyboard shortcuts work.
    static void showActive(EditSpaceView& view)
    {
        view.show();
        view.activateWindow();
        QApplication::processEvents();
    }

    // Lays the view out as it would be on screen.
    static void layOut(EditSpaceView& view)
    {
        view.show();
        QApplication::processEvents();
    }

    int announced_ = 0;
    platform::NotificationCenter::Subscription changes_;
    QTemporaryDir files_;
};

TEST_F(EditSpaceViewTest, OpensWithTheStoredValuesAndWritesNothing)
{
    SpaceMeta meta = mail();
    meta.icon = SpaceIcon::emoji(QStringLiteral("🚀"));
    const Desktop desktop = storedDesktop(meta);
    EditSpaceView view(desktop);

    EXPECT_EQ(announced_, 0);
    EXPECT_FALSE(SpaceStore::shared().hasPendingWrite());
    EXPECT_EQ(view.width(), 350);
    EXPECT_EQ(child<QLabel>(view, "title")->text(), "Desktop 2");
    EXPECT_EQ(child<QLabel>(view, "caption")->text(), "Desktop 2");
    EXPECT_EQ(view.findChild<QAbstractButton*>("backButton"), nullptr);
    EXPECT_EQ(child<QLineEdit>(view, "nameField")->text(), "Mail");
    EXPECT_EQ(child<QLineEdit>(view, "nameField")->placeholderText(), "Desktop 2");
    EXPECT_EQ(child<QLineEdit>(view, "emojiField")->text(), "🚀");
    EXPECT_TRUE(selectedCells(view).isEmpty());
    EXPECT_TRUE(swatch(view, TileColor::palette(4))->isSelected());
    EXPECT_EQ(view.findChild<HotkeyRecorder*>()->recorderButton()->text(), "⌃⌥M");
    EXPECT_EQ(child<QLabel>(view, "shortcutCaption")->text(), "Control + Option + M");
    EXPECT_FALSE(child<QAbstractButton>(view, "resetButton")->isHidden());

    EditSpaceView embedded(desktop, true);
    EXPECT_EQ(child<QLabel>(embedded, "title")->text(), "Edit space");
    EXPECT_TRUE(child<QAbstractButton>(embedded, "backButton"));
    EXPECT_EQ(announced_, 0);
}

TEST_F(EditSpaceViewTest, DoneSavesTheOpeningValuesWithTheNameTrimmed)
{
    SpaceMeta meta = mail();
    meta.name = QStringLiteral("  Mail \n");
    meta.seconds = 90;
    const Desktop desktop = storedDesktop(meta);
    int finished = 0;
    EditSpaceView view(desktop, false, [&] {
        ++finished;
        EXPECT_EQ(stored(desktop).name, "Mail") << "saved before the caller is told";
    });
    child<QAbstractButton>(view, "doneButton")->click();
    EXPECT_EQ(finished, 1);
    SpaceMeta expected = mail();
    expected.seconds = 90;
    EXPECT_EQ(stored(desktop), expected);
    EXPECT_EQ(view.name(), "  Mail \n");
}

TEST_F(EditSpaceViewTest, TheNameIsStoredTrimmedAtEveryKeystrokeInOneDelayedWrite)
{
    const Desktop desktop = storedDesktop(SpaceMeta::empty());
    EditSpaceView view(desktop);
    QLineEdit* field = child<QLineEdit>(view, "nameField");
    field->setText(QStringLiteral("  Mai"));
    field->setText(QStringLiteral("  Mail  "));
    EXPECT_EQ(stored(desktop).name, "Mail");
    EXPECT_EQ(field->text(), "  Mail  ");
    EXPECT_EQ(announced_, 2);
    EXPECT_TRUE(SpaceStore::shared().hasPendingWrite());
    advance(SpaceStore::saveDelay);
    EXPECT_FALSE(SpaceStore::shared().hasPendingWrite());

    // Blanks only: the desktop is unnamed again and, with nothing else
    // stored, loses its entry.
    field->setText(QStringLiteral("   "));
    EXPECT_EQ(desktop.displayName(), "Desktop 2");
    EXPECT_FALSE(SpaceStore::shared().metas().contains(desktop.managedID()));
    EXPECT_TRUE(child<QAbstractButton>(view, "resetButton")->isHidden());
}

TEST_F(EditSpaceViewTest, TheEmojiFieldDrawsTheEmojiInColourAsTheTileDoes)
{
    SpaceMeta meta = mail();
    meta.icon = SpaceIcon::emoji(QStringLiteral("\u26a1"));
    EditSpaceView view(storedDesktop(meta));
    render(view, Theme::canvas(), 2);
    QWidget* well = child<QLineEdit>(view, "emojiField")->parentWidget();
    const QImage image = render(*well, Theme::canvas(), 2);
    int coloured = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y).toHsv();
            coloured += pixel.hsvSaturationF() > 0.6f && pixel.valueF() > 0.6f ? 1 : 0;
        }
    }
    EXPECT_GT(coloured, 20) << "a yellow bolt, not a glyph in the text colour";
}

TEST_F(EditSpaceViewTest, TheEmojiFieldKeepsAtMostTwoEmojiAndNothingElse)
{
    const Desktop desktop = storedDesktop(mail());
    EditSpaceView view(desktop);
    QLineEdit* field = child<QLineEdit>(view, "emojiField");

    field->setText(QStringLiteral("ab"));
    EXPECT_EQ(field->text(), "");
    EXPECT_EQ(stored(desktop).icon, mail().icon);
    EXPECT_EQ(announced_, 0);

    field->setText(QStringLiteral("🐱🐶🦊"));
    EXPECT_EQ(field->text(), "🐱🐶");
    EXPECT_EQ(stored(desktop).icon, SpaceIcon::emoji(QStringLiteral("🐱🐶")));
    EXPECT_TRUE(selectedCells(view).isEmpty());

    field->setText(QStringLiteral("👩‍💻x"));
    EXPECT_EQ(field->text(), "👩‍💻");
    EXPECT_EQ(stored(desktop).icon, SpaceIcon::emoji(QStringLiteral("👩‍💻")));

    // Emptying the field leaves the emoji; choosing a cell empties the field.
    field->clear();
    EXPECT_EQ(stored(desktop).icon, SpaceIcon::emoji(QStringLiteral("👩‍💻")));
    field->setText(QStringLiteral("🐱"));
    cell(view, QStringLiteral("star.fill"))->click();
    EXPECT_EQ(field->text(), "");
    EXPECT_EQ(stored(desktop).icon, SpaceIcon::symbol(QStringLiteral("star.fill")));
}

TEST_F(EditSpaceViewTest, IconCellsSetTheIconAndShowWhichIsChosen)
{
    const Desktop desktop = storedDesktop(mail());
    EditSpaceView view(desktop);
    layOut(view);
    const QList<IconCell*> cells = visibleCells(view);
    ASSERT_EQ(cells.size(), 51);
    EXPECT_EQ(selectedCells(view), QList<QString>{"envelope.fill"});
    IconCell* number = cell(view, QStringLiteral("Number"));
    ASSERT_TRUE(number);
    EXPECT_EQ(number->pos(), QPoint(0, 0));
    EXPECT_EQ(cell(view, QStringLiteral("house.fill"))->pos(), QPoint(32, 0));
    EXPECT_EQ(cell(view, QStringLiteral("doc.text.fill"))->pos(), QPoint(0, 32));

    cell(view, QStringLiteral("house.fill"))->click();
    EXPECT_EQ(stored(desktop).icon, SpaceIcon::symbol(QStringLiteral("house.fill")));
    EXPECT_EQ(selectedCells(view), QList<QString>{"house.fill"});
    number->click();
    EXPECT_EQ(stored(desktop).icon, SpaceIcon::none());
    EXPECT_EQ(selectedCells(view), QList<QString>{"Number"});
}

TEST_F(EditSpaceViewTest, ColourSwatchesOfferAutomaticTheTenColoursAndTransparent)
{
    const Desktop desktop = storedDesktop(mail());
    EditSpaceView view(desktop);
    const QList<ColorSwatch*> swatches = view.findChildren<ColorSwatch*>();
    ASSERT_EQ(swatches.size(), 12);
    EXPECT_EQ(swatches.first()->toolTip(), "Automatic");
    EXPECT_EQ(swatches[1]->toolTip(), "Blue");
    EXPECT_EQ(swatches[10]->toolTip(), "Slate");
    EXPECT_EQ(swatches.last()->toolTip(), "Transparent — just your icon or picture");
    // Desktop 2's own colour is purple.
    EXPECT_EQ(swatches.first()->color(), Palette::color(1));
    EXPECT_EQ(swatches.last()->color(), Palette::color(1));

    swatch(view, TileColor::palette(5))->click();
    EXPECT_EQ(stored(desktop).color, TileColor::palette(5));
    EXPECT_EQ(announced_, 1);
    swatch(view, TileColor::palette(5))->click();
    EXPECT_EQ(announced_, 1) << "choosing the chosen colour writes nothing";

    swatch(view, TileColor::transparent())->click();
    EXPECT_EQ(stored(desktop).color, TileColor::transparent());
    // The number cell stays in the automatic colour; the preview's shadow too.
    cell(view, QStringLiteral("Number"))->click();
    EXPECT_EQ(cell(view, QStringLiteral("Number"))->image(),
              Glyph::tileImage(2, SpaceIcon::none(), TileColor::automatic(), std::nullopt, 20));
    const TilePreview* preview = child<TilePreview>(view, "preview");
    EXPECT_EQ(preview->tile(), Glyph::tileImage(2, SpaceIcon::none(), TileColor::transparent(), std::nullopt, 46));
    EXPECT_TRUE(sameColor(preview->shadowColor(), QColor::fromRgbF(0.55f, 0.36f, 0.96f, 0.5f)));
}

TEST_F(EditSpaceViewTest, TheOwnShortcutIsRecordedAndRemovedThroughTheRecorder)
{
    const Desktop desktop = storedDesktop(SpaceMeta::empty());
    EditSpaceView view(desktop);
    QLabel* caption = child<QLabel>(view, "shortcutCaption");
    EXPECT_EQ(caption->text(), "Jump here from anywhere");
    HotkeyRecorder* recorder = view.findChild<HotkeyRecorder*>();
    recorder->recorderButton()->click();
    EXPECT_EQ(announced_, 0);
    platform::sim::deliverLocalEvent(
        {platform::KeyEventType::keyDown, KeyCode::k, platform::EventFlag::control | platform::EventFlag::option, {}});
    EXPECT_EQ(stored(desktop).hotkey, (Hotkey{KeyCode::k, Hotkey::defaultModifiers}));
    EXPECT_EQ(caption->text(), "Control + Option + K");
    EXPECT_FALSE(child<QAbstractButton>(view, "resetButton")->isHidden());

    recorder->clearButton()->click();
    EXPECT_EQ(stored(desktop).hotkey, std::nullopt);
    EXPECT_EQ(caption->text(), "Jump here from anywhere");
}

TEST_F(EditSpaceViewTest, AShortcutCaptionTooLongForTheRowIsCutWithAnEllipsis)
{
    SpaceMeta meta = SpaceMeta::empty();
    meta.hotkey = Hotkey{KeyCode::forwardDelete, 0x1000 | 0x800 | 0x200 | 0x100};
    EditSpaceView view(storedDesktop(meta));
    render(view, Theme::canvas(), 2);
    const auto* caption = view.findChild<ElidedLabel*>(QStringLiteral("shortcutCaption"));
    ASSERT_NE(caption, nullptr);
    const QString full = QStringLiteral("Control + Option + Shift + Command + Forward Delete");
    EXPECT_EQ(caption->fullText(), full);
    const QString shown = caption->displayedText();
    ASSERT_TRUE(shown.endsWith(QStringLiteral("\u2026"))) << shown.toStdString();
    EXPECT_TRUE(full.startsWith(shown.chopped(1).trimmed()));
    EXPECT_LE(caption->fontMetrics().horizontalAdvance(shown), caption->width());
    EXPECT_LE(caption->mapTo(&view, QPoint(caption->width(), 0)).x(), view.width());

    // A short one shows whole.
    meta.hotkey = controlOptionM;
    EditSpaceView shorter(storedDesktop(meta));
    render(shorter, Theme::canvas(), 2);
    EXPECT_EQ(shorter.findChild<ElidedLabel*>(QStringLiteral("shortcutCaption"))->displayedText(),
              QStringLiteral("Control + Option + M"));
}

TEST_F(EditSpaceViewTest, AChosenPictureIsImportedAndBecomesTheIcon)
{
    const Desktop desktop = storedDesktop(mail());
    EditSpaceView view(desktop);
    child<QLineEdit>(view, "emojiField")->setText(QStringLiteral("🐱"));
    platform::sim::answerNextOpenPanel({ModalResponse::ok, {QUrl::fromLocalFile(pictureFile("wide.png"))}});
    child<QAbstractButton>(view, "pictureButton")->click();

    const auto panels = platform::sim::shownOpenPanels();
    ASSERT_EQ(panels.size(), 1u);
    EXPECT_EQ(panels[0].message, "Choose a picture for “Mail”");
    EXPECT_EQ(panels[0].allowedContentTypes,
              QStringList({"public.png", "public.jpeg", "public.tiff", "public.heic", "com.apple.icns",
                           "com.compuserve.gif", "com.microsoft.bmp", "org.webmproject.webp"}));
    EXPECT_FALSE(panels[0].allowsMultipleSelection);
    EXPECT_EQ(platform::sim::World::shared().callCount(QStringLiteral("activate")), 1);

    const SpaceIcon icon = stored(desktop).icon;
    ASSERT_EQ(icon.kind(), SpaceIcon::Kind::picture);
    EXPECT_TRUE(QFile::exists(Glyph::iconsFolder() + QLatin1Char('/') + icon.payload()));
    EXPECT_EQ(child<QLineEdit>(view, "emojiField")->text(), "");
    EXPECT_EQ(visibleCells(view).size(), 52);
    layOut(view);
    EXPECT_EQ(selectedCells(view), QList<QString>{"Your picture"});
    EXPECT_EQ(cell(view, QStringLiteral("Your picture"))->pos(), QPoint(32, 0));
    EXPECT_TRUE(platform::sim::shownAlerts().empty());

    // Another icon takes the picture cell away; the file stays.
    cell(view, QStringLiteral("flag.fill"))->click();
    EXPECT_EQ(visibleCells(view).size(), 51);
    EXPECT_EQ(cell(view, QStringLiteral("Your picture")), nullptr);
    EXPECT_TRUE(QFile::exists(Glyph::iconsFolder() + QLatin1Char('/') + icon.payload()));
}

TEST_F(EditSpaceViewTest, APictureThatCannotBeUsedOrACancelledPanelChangesNothing)
{
    const Desktop desktop = storedDesktop(mail());
    EditSpaceView view(desktop);
    QFile text(files_.filePath("notes.png"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not a picture");
    text.close();

    platform::sim::answerNextOpenPanel({ModalResponse::ok, {QUrl::fromLocalFile(text.fileName())}});
    platform::sim::answerNextOpenPanel({ModalResponse::cancel, {}});
    platform::sim::answerNextOpenPanel({ModalResponse::ok, {}});
    for (int run = 0; run < 3; ++run)
        child<QAbstractButton>(view, "pictureButton")->click();

    const auto alerts = platform::sim::shownAlerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].messageText, "Could not use that picture");
    EXPECT_EQ(alerts[0].informativeText, "That file is not a picture macOS can open.");
    EXPECT_EQ(platform::sim::shownOpenPanels().size(), 3u);
    EXPECT_EQ(stored(desktop), mail());
    EXPECT_EQ(view.icon(), mail().icon);
    EXPECT_EQ(announced_, 0);
    EXPECT_EQ(selectedCells(view), QList<QString>{"envelope.fill"});
}

TEST_F(EditSpaceViewTest, APictureThatCannotBeSavedOnAFullDiskIsReportedAndChangesNothing)
{
    const Desktop desktop = storedDesktop(mail());
    EditSpaceView view(desktop);
    platform::sim::answerNextOpenPanel({ModalResponse::ok, {QUrl::fromLocalFile(pictureFile("wide.png"))}});
    platform::AtomicFile::failNextWrite({.step = platform::AtomicFile::Step::flush});
    child<QAbstractButton>(view, "pictureButton")->click();
    platform::AtomicFile::clearInjectedFailure();

    const auto alerts = platform::sim::shownAlerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].messageText, "Could not use that picture");
    EXPECT_EQ(alerts[0].informativeText, "The picture could not be saved: could not write: No space left on device");
    EXPECT_EQ(stored(desktop), mail());
    EXPECT_EQ(view.icon(), mail().icon);
    EXPECT_EQ(QDir(Glyph::iconsFolder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList());
}

TEST_F(EditSpaceViewTest, InPresentationModeOnlyThePanelMessageUsesTheShownName)
{
    const Desktop desktop = storedDesktop(mail());
    Settings::shared().setPresenting(true);
    EditSpaceView view(desktop);
    EXPECT_EQ(child<QLineEdit>(view, "nameField")->text(), "Mail");
    EXPECT_EQ(selectedCells(view), QList<QString>{"envelope.fill"});
    platform::sim::answerNextOpenPanel({ModalResponse::cancel, {}});
    child<QAbstractButton>(view, "pictureButton")->click();
    EXPECT_EQ(platform::sim::shownOpenPanels().at(0).message, "Choose a picture for “Desktop 2”");
}

TEST_F(EditSpaceViewTest, ResetClearsEverythingButTheTrackedTime)
{
    SpaceMeta meta = mail();
    meta.seconds = 600;
    const Desktop desktop = storedDesktop(meta);
    EditSpaceView view(desktop);
    QAbstractButton* resetButton = child<QAbstractButton>(view, "resetButton");
    ASSERT_FALSE(resetButton->isHidden());
    resetButton->click();

    SpaceMeta expected;
    expected.seconds = 600;
    EXPECT_EQ(stored(desktop), expected);
    EXPECT_TRUE(resetButton->isHidden());
    EXPECT_EQ(view.name(), "");
    EXPECT_EQ(view.icon(), SpaceIcon::none());
    EXPECT_EQ(view.color(), TileColor::automatic());
    EXPECT_EQ(view.hotkey(), std::nullopt);
    EXPECT_EQ(selectedCells(view), QList<QString>{"Number"});
    EXPECT_TRUE(swatch(view, TileColor::automatic())->isSelected());
    EXPECT_EQ(view.findChild<HotkeyRecorder*>()->recorderButton()->text(), "Click to record");
    EXPECT_EQ(child<QLabel>(view, "shortcutCaption")->text(), "Jump here from anywhere");

    // A desktop with nothing but tracked time offers no reset.
    EditSpaceView timed(desktop);
    EXPECT_TRUE(child<QAbstractButton>(timed, "resetButton")->isHidden());
}

TEST_F(EditSpaceViewTest, ReturnAndTheBackButtonSaveThenFinishAndEscapeIsLeftToTheHolder)
{
    const Desktop desktop = storedDesktop(SpaceMeta::empty());
    int finished = 0;
    EditSpaceView view(desktop, true, [&] { ++finished; });
    showActive(view);
    QLineEdit* field = child<QLineEdit>(view, "nameField");
    ASSERT_TRUE(field->hasFocus()) << "the name field has the focus when the editor shows";

    field->setText(QStringLiteral("Code"));
    keyPress(field, Qt::Key_Return);
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(field->text(), "Code") << "Return is not typed into the field";
    child<QAbstractButton>(view, "backButton")->click();
    EXPECT_EQ(finished, 2);
    EXPECT_EQ(stored(desktop).name, "Code");

    // Escape goes up to the window that holds the editor (the popover closes
    // on it).
    EscapeWatch watch(view);
    keyPress(field, Qt::Key_Escape);
    EXPECT_EQ(finished, 2);
    EXPECT_EQ(watch.reached, 1);

    // While a shortcut is recorded, Escape only cancels the recording.
    HotkeyRecorder* recorder = view.findChild<HotkeyRecorder*>();
    recorder->recorderButton()->click();
    keyPress(recorder->recorderButton(), Qt::Key_Escape);
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_EQ(finished, 2);
    EXPECT_EQ(watch.reached, 1);
}

TEST_F(EditSpaceViewTest, TheEmojiButtonOpensThePaletteForTheEmojiField)
{
    const Desktop desktop = storedDesktop(mail());
    EditSpaceView view(desktop);
    showActive(view);
    child<QAbstractButton>(view, "emojiButton")->click();
    QLineEdit* field = child<QLineEdit>(view, "emojiField");
    EXPECT_TRUE(field->hasFocus());
    EXPECT_EQ(platform::sim::characterPaletteRequests(), 0);
    advance(0.05);
    EXPECT_EQ(platform::sim::characterPaletteRequests(), 1);

    platform::sim::pickFromCharacterPalette(QStringLiteral("🌵"));
    EXPECT_EQ(view.emoji(), "🌵");
    EXPECT_EQ(stored(desktop).icon, SpaceIcon::emoji(QStringLiteral("🌵")));
}

TEST_F(EditSpaceViewTest, EveryEditSurvivesARestart)
{
    const Desktop desktop = storedDesktop(SpaceMeta::empty());
    {
        EditSpaceView view(desktop);
        child<QLineEdit>(view, "nameField")->setText(QStringLiteral(" Studio "));
        swatch(view, TileColor::palette(7))->click();
        child<QLineEdit>(view, "emojiField")->setText(QStringLiteral("🎧"));
        view.findChild<HotkeyRecorder*>()->recorderButton()->click();
        platform::sim::deliverLocalEvent(
            {platform::KeyEventType::keyDown, KeyCode::k, platform::EventFlag::command | platform::EventFlag::shift, {}});
        SpaceStore::shared().flushNow();
    }
    // A new process: every shared instance made afresh from the files.
    changes_.reset();
    platform::resetSharedInstances();

    SpaceMeta expected;
    expected.name = QStringLiteral("Studio");
    expected.icon = SpaceIcon::emoji(QStringLiteral("🎧"));
    expected.color = TileColor::palette(7);
    expected.hotkey = Hotkey{KeyCode::k, Hotkey::commandKey | Hotkey::shiftKey};
    EXPECT_EQ(stored(desktop), expected);
    EditSpaceView reopened(desktop);
    EXPECT_EQ(child<QLineEdit>(reopened, "emojiField")->text(), "🎧");
    EXPECT_EQ(reopened.findChild<HotkeyRecorder*>()->recorderButton()->text(), "⇧⌘K");
}

TEST_F(EditSpaceViewTest, RendersANamedDesktopWithItsIconColourAndShortcut)
{
    const Desktop desktop = storedDesktop(mail());
    EditSpaceView view(desktop, true);
    layOut(view);
    const QImage image = render(view, Qt::black, 2);
    EXPECT_EQ(image.size(), QSize(700, view.height() * 2));

    const auto point = [&view](const QWidget* widget, QPointF at) { return widget->mapTo(&view, at.toPoint()); };
    // Background, and the tile's fill below its highlight, beside the symbol.
    EXPECT_TRUE(sameColor(UiTest::at(image, QPointF(4, 4)), Theme::canvas()));
    const TilePreview* preview = child<TilePreview>(view, "preview");
    EXPECT_TRUE(sameColor(UiTest::at(image, point(preview, QPointF(8, 30))), Palette::color(4)));
    // The symbol is drawn in white in the tile's middle.
    int white = 0;
    for (int y = 13; y < 33; ++y) {
        for (int x = 13; x < 33; ++x)
            white += sameColor(UiTest::at(image, point(preview, QPointF(x, y))), Qt::white, 40) ? 1 : 0;
    }
    EXPECT_GT(white, 100);

    // The chosen swatch is ringed in white, the others are not.
    const ColorSwatch* green = swatch(view, TileColor::palette(4));
    const ColorSwatch* teal = swatch(view, TileColor::palette(5));
    const QPointF ring(green->frame().left() + 1, green->frame().center().y());
    EXPECT_TRUE(sameColor(UiTest::at(image, point(green, ring)), Qt::white, 30));
    EXPECT_TRUE(sameColor(UiTest::at(image, point(teal, ring)), Theme::canvas()));
    EXPECT_TRUE(sameColor(UiTest::at(image, point(green, green->frame().center() + QPointF(6, 0))),
                          Palette::color(4)));

    // The chosen icon cell carries the accent border.
    const IconCell* envelope = cell(view, QStringLiteral("envelope.fill"));
    EXPECT_TRUE(sameColor(UiTest::at(image, point(envelope, QPointF(13, 0.5))), TintPalette::blue().color, 30));

    EXPECT_EQ(child<QLineEdit>(view, "nameField")->text(), "Mail");
    EXPECT_EQ(view.findChild<HotkeyRecorder*>()->recorderButton()->text(), "⌃⌥M");
    EXPECT_EQ(child<QLabel>(view, "shortcutCaption")->text(), "Control + Option + M");

    // The name, the shortcut and its caption are drawn, not only held.
    const auto inkOf = [&](const QWidget* widget, const QColor& ink) {
        int count = 0;
        for (int y = 0; y < widget->height(); ++y) {
            for (int x = 0; x < widget->width(); ++x)
                count += sameColor(UiTest::at(image, point(widget, QPointF(x, y))), ink, 40) ? 1 : 0;
        }
        return count;
    };
    EXPECT_GT(inkOf(child<QLineEdit>(view, "nameField"), Theme::text()), 20);
    EXPECT_GT(inkOf(view.findChild<HotkeyRecorder*>()->recorderButton(), Theme::text()), 10);
    EXPECT_GT(inkOf(child<QLabel>(view, "shortcutCaption"), over(Theme::textTertiary(), Theme::canvas())), 10);
}

} // namespace
