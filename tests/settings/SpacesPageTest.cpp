#include "SettingsTest.h"

#include "engine/DesktopSwitching.h"
#include "settings/EditorPopover.h"
#include "settings/SpaceSettingsRow.h"
#include "settings/SpaceTileButton.h"
#include "settings/SpacesPage.h"
#include "store/Settings.h"
#include "ui/AppIconsRow.h"
#include "ui/EditSpaceView.h"
#include "ui/IconButton.h"
#include "ui/KeyCap.h"
#include "ui/RowDivider.h"
#include "ui/SectionHeader.h"
#include "ui/SettingsCard.h"

#include <QCoreApplication>
#include <QEnterEvent>
#include <QGraphicsOpacityEffect>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

namespace {

// Records the switches the page asks for.
class RecordingSwitcher final : public DesktopSwitching {
public:
    explicit RecordingSwitcher(QList<std::pair<quint64, QString>>& log)
        : log_(log)
    {
    }
    void switchTo(const Desktop& desktop, const QString& reason, std::function<void(bool)>) override
    {
        log_.append({desktop.id(), reason});
    }

private:
    QList<std::pair<quint64, QString>>& log_;
};

class SpacesPageTest : public SettingsTest {
protected:
    static QStringList headers(const SpacesPage& page)
    {
        QStringList texts;
        for (SectionHeader* header : page.findChildren<SectionHeader*>())
            texts << header->text();
        return texts;
    }

    static double opacity(const QWidget* widget)
    {
        const auto* effect = qobject_cast<QGraphicsOpacityEffect*>(widget->graphicsEffect());
        return effect ? effect->opacity() : 1.0;
    }

    static QString storedName(qint64 number) { return desktop(number).meta().name; }

    // Key by key when the text continues what the field holds, else at once
    // (as a paste or a cut would).
    static void type(QLineEdit& field, const QString& text)
    {
        if (!text.startsWith(field.text())) {
            field.setText(text);
            return;
        }
        for (qsizetype end = field.text().size() + 1; end <= text.size(); ++end)
            field.setText(text.left(end));
    }

    SpacesPageTest()
        : changes_(platform::NotificationCenter::defaultCenter().observe(SpaceStore::changedNotification,
                                                                        [this] { ++announced_; }))
    {
    }

    int announced_ = 0;
    platform::NotificationCenter::Subscription changes_;
};

} // namespace

// --- cards ---------------------------------------------------------------------

TEST_F(SpacesPageTest, OneDisplayHasNoHeaderAndTwoAreHeadedInOrder)
{
    layOut({3});
    {
        SpacesPage page(services());
        EXPECT_TRUE(headers(page).isEmpty());
        EXPECT_EQ(page.rows().size(), 3);
        EXPECT_EQ(page.findChildren<SettingsCard*>().size(), 1);
    }
    layOut({2, 3});
    SpacesPage page(services());
    ASSERT_EQ(page.findChildren<SectionHeader*>().size(), 2);
    const QList<SettingsCard*> cards = page.findChildren<SettingsCard*>();
    ASSERT_EQ(cards.size(), 2);
    EXPECT_EQ(cards[0]->findChildren<SpaceSettingsRow*>().size(), 2);
    EXPECT_EQ(cards[1]->findChildren<SpaceSettingsRow*>().size(), 3);
    // Rows follow the engine's numbering across displays.
    QList<qint64> numbers;
    for (SpaceSettingsRow* row : page.rows())
        numbers << row->desktop().number;
    EXPECT_EQ(numbers, QList<qint64>({1, 2, 3, 4, 5}));
    keep(page, "spaces_two_displays");
}

TEST_F(SpacesPageTest, DisplayHeadersCarryTheDisplayNumber)
{
    layOut({1, 1});
    SpacesPage page(services());
    QStringList texts;
    for (SectionHeader* header : page.findChildren<SectionHeader*>())
        texts << header->text().toLower();
    EXPECT_EQ(texts, QStringList({"display 1", "display 2"}));
}

TEST_F(SpacesPageTest, DividersSitBetweenRowsOnly)
{
    layOut({4, 1});
    SpacesPage page(services());
    const QList<SettingsCard*> cards = page.findChildren<SettingsCard*>();
    ASSERT_EQ(cards.size(), 2);
    EXPECT_EQ(cards[0]->findChildren<RowDivider*>().size(), 3);
    EXPECT_EQ(cards[1]->findChildren<RowDivider*>().size(), 0);
}

TEST_F(SpacesPageTest, ADisplayWithoutDesktopsGetsAnEmptyCardAndNoDisplaysLeaveTheHint)
{
    {
        SpacesPage empty(services());
        EXPECT_TRUE(empty.findChildren<SettingsCard*>().isEmpty());
        EXPECT_EQ(empty.findChild<QLabel*>("hint")->text(),
                  "Click a tile for icon, color and shortcut. Names save as you type. Add or remove desktops in "
                  "Mission Control as usual.");
    }
    layOut({2, 0});
    SpacesPage page(services());
    const QList<SettingsCard*> cards = page.findChildren<SettingsCard*>();
    ASSERT_EQ(cards.size(), 2);
    EXPECT_TRUE(cards[1]->findChildren<SpaceSettingsRow*>().isEmpty());
}

TEST_F(SpacesPageTest, RowsKeepTheirTypedTextWhenDesktopsComeAndGo)
{
    layOut({3});
    SpacesPage page(services());
    SpaceSettingsRow* third = page.row(spaceID(0, 3));
    ASSERT_NE(third, nullptr);
    type(*third->nameField(), "Draft ");
    world().addSpace("display-1", {104, 1104, 0, {}});
    world().removeSpace(101);
    engine().refresh(false);
    EXPECT_EQ(page.rows().size(), 3);
    EXPECT_EQ(page.row(spaceID(0, 3)), third);
    EXPECT_EQ(third->nameField()->text(), "Draft ");
    EXPECT_EQ(third->desktop().number, 2);
    EXPECT_EQ(third->nameField()->placeholderText(), "Desktop 2");
    EXPECT_EQ(page.row(101), nullptr);
}

// --- names ---------------------------------------------------------------------

TEST_F(SpacesPageTest, FieldStartsWithTheStoredNameAndThePlaceholderNamesTheNumber)
{
    layOut({2});
    SpaceMeta meta;
    meta.name = "Code";
    store(1, meta);
    SpacesPage page(services());
    EXPECT_EQ(page.rows()[0]->nameField()->text(), "Code");
    EXPECT_EQ(page.rows()[1]->nameField()->text(), "");
    EXPECT_EQ(page.rows()[1]->nameField()->placeholderText(), "Desktop 2");
}

TEST_F(SpacesPageTest, TypingStoresTheTrimmedNameAndTheFieldKeepsItsBlank)
{
    layOut({2});
    SpacesPage page(services());
    QLineEdit& field = *page.rows()[0]->nameField();
    type(field, "word");
    EXPECT_EQ(storedName(1), "word");
    announced_ = 0;
    type(field, "word ");
    EXPECT_EQ(storedName(1), "word");
    EXPECT_EQ(announced_, 0);
    EXPECT_EQ(field.text(), "word ");
    type(field, "word x");
    EXPECT_EQ(storedName(1), "word x");
    EXPECT_EQ(field.text(), "word x");
}

TEST_F(SpacesPageTest, ALeadingBlankStoresNothingAndGoesOnceALetterIsStored)
{
    layOut({2});
    SpacesPage page(services());
    QLineEdit& field = *page.rows()[1]->nameField();
    type(field, " ");
    EXPECT_EQ(announced_, 0);
    EXPECT_EQ(field.text(), " ");
    type(field, " a");
    EXPECT_EQ(storedName(2), "a");
    EXPECT_EQ(field.text(), "a");
}

TEST_F(SpacesPageTest, ClearingTheFieldRemovesTheNameAndAnEmptyEntry)
{
    layOut({2});
    SpaceMeta meta;
    meta.name = "Mail";
    store(2, meta);
    SpacesPage page(services());
    QLineEdit& field = *page.rows()[1]->nameField();
    type(field, "   ");
    EXPECT_EQ(storedName(2), "");
    EXPECT_FALSE(store().metas().contains(desktop(2).managedID()));
    EXPECT_FALSE(desktop(2).hasName());
}

TEST_F(SpacesPageTest, ReturnSavesWhatTheFieldHolds)
{
    layOut({1});
    SpacesPage page(services());
    QLineEdit& field = *page.rows()[0]->nameField();
    {
        const QSignalBlocker quiet(&field);
        field.setText("  Notes\n");
    }
    EXPECT_EQ(storedName(1), "");
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(&field, &press);
    EXPECT_EQ(storedName(1), "Notes");
}

TEST_F(SpacesPageTest, ARenameElsewhereReplacesTheFieldText)
{
    layOut({2});
    SpacesPage page(services());
    QLineEdit& field = *page.rows()[0]->nameField();
    type(field, "Cod");
    SpaceMeta meta;
    meta.name = "Music";
    store(1, meta);
    EXPECT_EQ(field.text(), "Music");
}

TEST_F(SpacesPageTest, PresentationModeStillShowsAndEditsTheStoredNames)
{
    layOut({2});
    SpaceMeta meta;
    meta.name = "Secret";
    store(1, meta);
    Settings::shared().setPresenting(true);
    SpacesPage page(services());
    clock().runPending();
    EXPECT_FALSE(desktop(1).hasName());
    EXPECT_EQ(page.rows()[0]->nameField()->text(), "Secret");
    type(*page.rows()[0]->nameField(), "Secret 2");
    EXPECT_EQ(storedName(1), "Secret 2");
}

// --- columns --------------------------------------------------------------------

TEST_F(SpacesPageTest, TheCurrentRowHasThePillAndADimmedJump)
{
    layOut({3}, 2);
    QList<std::pair<quint64, QString>> switches;
    engine().setSwitcher(std::make_unique<RecordingSwitcher>(switches));
    SpacesPage page(services());
    const QList<SpaceSettingsRow*> rows = page.rows();
    EXPECT_EQ(rows[0]->currentPill(), nullptr);
    ASSERT_NE(rows[1]->currentPill(), nullptr);
    EXPECT_FALSE(rows[1]->jumpButton()->isEnabled());
    EXPECT_DOUBLE_EQ(opacity(rows[1]->jumpButton()), 0.35);
    EXPECT_TRUE(rows[0]->jumpButton()->isEnabled());
    EXPECT_DOUBLE_EQ(opacity(rows[0]->jumpButton()), 1.0);
    EXPECT_EQ(rows[0]->jumpButton()->toolTip(), "Go to this space");

    click(*rows[1]->jumpButton());
    EXPECT_TRUE(switches.isEmpty());
    click(*rows[2]->jumpButton());
    ASSERT_EQ(switches.size(), 1);
    EXPECT_EQ(switches[0], std::make_pair(spaceID(0, 3), QStringLiteral("settings")));

    // After a switch the pill and the dimmed button move along.
    world().setCurrentSpace("display-1", spaceID(0, 3));
    engine().refresh(false);
    EXPECT_EQ(rows[1]->currentPill(), nullptr);
    EXPECT_TRUE(rows[1]->jumpButton()->isEnabled());
    ASSERT_NE(rows[2]->currentPill(), nullptr);
    EXPECT_FALSE(rows[2]->jumpButton()->isEnabled());
}

TEST_F(SpacesPageTest, KeyCapsShowOwnShortcutsFullyAndNumberShortcutsFaded)
{
    layOut({12});
    SpaceMeta meta;
    meta.hotkey = Hotkey{40, 0x100};
    store(2, meta);
    SpacesPage page(services());
    const QList<SpaceSettingsRow*> rows = page.rows();
    ASSERT_NE(rows[0]->keyCap(), nullptr);
    EXPECT_EQ(rows[0]->keyCap()->text(), desktop(1).effectiveHotkey(Settings::shared())->display());
    EXPECT_DOUBLE_EQ(opacity(rows[0]->keyCap()), 0.65);
    EXPECT_FALSE(rows[0]->keyCap()->toolTip().isEmpty());
    ASSERT_NE(rows[1]->keyCap(), nullptr);
    EXPECT_EQ(rows[1]->keyCap()->text(), meta.hotkey->display());
    EXPECT_DOUBLE_EQ(opacity(rows[1]->keyCap()), 1.0);
    EXPECT_NE(rows[9]->keyCap(), nullptr);
    EXPECT_EQ(rows[10]->keyCap(), nullptr);

    Settings::shared().setDirectJumpEnabled(false);
    clock().runPending();
    EXPECT_EQ(rows[0]->keyCap(), nullptr);
    EXPECT_NE(rows[1]->keyCap(), nullptr);
}

TEST_F(SpacesPageTest, TheNumberColumnAndTheAppsOfEachDesktop)
{
    layOut({2});
    platform::sim::AppSpec app;
    app.pid = 501;
    app.bundleID = "com.example.mail";
    app.name = "Mail";
    app.icon = QImage(32, 32, QImage::Format_ARGB32);
    app.icon.fill(Qt::red);
    world().addApp(app);
    platform::sim::WindowSpec window;
    window.number = 9001;
    window.ownerPID = 501;
    window.spaces = {spaceID(0, 2)};
    world().addWindow(window);
    EXPECT_TRUE(engine().apps(desktop(2)).isEmpty());

    SpacesPage page(services());
    page.show();
    // Coming on screen re-reads the apps past the engine's cache.
    EXPECT_EQ(engine().apps(desktop(2)).size(), 1);
    const QList<SpaceSettingsRow*> rows = page.rows();
    EXPECT_EQ(rows[1]->appIcons()->shownApps().size(), 1);
    EXPECT_TRUE(rows[0]->appIcons()->shownApps().isEmpty());
    EXPECT_EQ(rows[1]->findChild<QLabel*>("numberLabel")->text(), "Desktop 2");
}

// --- editor ---------------------------------------------------------------------

TEST_F(SpacesPageTest, TheTileOpensTheEditorBesideItUntilDone)
{
    layOut({2});
    SpacesPage page(services());
    page.show();
    SpaceSettingsRow* row = page.rows()[1];
    EXPECT_EQ(row->tileButton()->toolTip(), "Icon, color and shortcut");
    click(*row->tileButton());
    ASSERT_TRUE(row->isEditing());
    EXPECT_EQ(row->popover()->editor()->desktop().id(), spaceID(0, 2));
    EXPECT_GT(row->popover()->popoverWindow()->x(), row->tileButton()->mapToGlobal(QPoint(0, 0)).x());
    // Typing in the editor reaches the row's field.
    row->popover()->editor()->findChild<QLineEdit*>("nameField")->setText("Edited");
    EXPECT_EQ(row->nameField()->text(), "Edited");
    row->popover()->editor()->done();
    EXPECT_FALSE(row->isEditing());
}

TEST_F(SpacesPageTest, HoverStrengthensTheTileShadow)
{
    layOut({1});
    SpacesPage page(services());
    SpaceSettingsRow* row = page.rows()[0];
    EXPECT_DOUBLE_EQ(row->tileButton()->shadowOpacity(), 0.25);
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QCoreApplication::sendEvent(row, &enter);
    EXPECT_DOUBLE_EQ(row->tileButton()->shadowOpacity(), 0.5);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(row, &leave);
    EXPECT_DOUBLE_EQ(row->tileButton()->shadowOpacity(), 0.25);
}
