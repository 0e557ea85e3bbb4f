#include "platform/Dialogs.h"
#include "platform/sim/CharacterPalette.h"
#include "platform/sim/DialogScript.h"
#include "support/PlatformTest.h"

#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>

using namespace platform;

namespace {

class DialogsTest : public PlatformTest {};

OpenPanel picturePanel()
{
    OpenPanel panel;
    panel.allowedContentTypes = {UTType::png, UTType::webP};
    panel.message = QStringLiteral("Choose a picture");
    return panel;
}

TEST_F(DialogsTest, OpenPanelsTakeTheScriptedAnswersInOrder)
{
    const QUrl file = QUrl::fromLocalFile(QStringLiteral("/tmp/a.png"));
    sim::answerNextOpenPanel({ModalResponse::ok, {file}});
    sim::answerNextOpenPanel({ModalResponse::cancel, {file}});

    OpenPanel first = picturePanel();
    EXPECT_EQ(first.runModal(), ModalResponse::ok);
    EXPECT_EQ(first.urls(), QList<QUrl>{file});
    // A cancelled panel hands out no files, whatever was scripted.
    OpenPanel second = picturePanel();
    second.allowsMultipleSelection = true;
    EXPECT_EQ(second.runModal(), ModalResponse::cancel);
    EXPECT_TRUE(second.urls().isEmpty());

    const auto shown = sim::shownOpenPanels();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].message, "Choose a picture");
    EXPECT_EQ(shown[0].allowedContentTypes, QStringList({"public.png", "org.webmproject.webp"}));
    EXPECT_FALSE(shown[0].allowsMultipleSelection);
    EXPECT_TRUE(shown[1].allowsMultipleSelection);
    EXPECT_EQ(shown[1].response, ModalResponse::cancel);
}

TEST_F(DialogsTest, UnscriptedDialogsDoNotWaitOnAScreenNobodySees)
{
    OpenPanel panel = picturePanel();
    EXPECT_EQ(panel.runModal(), ModalResponse::cancel);
    Alert alert;
    alert.messageText = QStringLiteral("Something failed");
    EXPECT_EQ(alert.runModal(), ModalResponse::alertFirstButton);
    EXPECT_EQ(sim::shownOpenPanels().size(), 1u);
    EXPECT_EQ(sim::shownAlerts().size(), 1u);
}

TEST_F(DialogsTest, AlertsAreRecordedWithTheirTexts)
{
    sim::answerNextAlert(ModalResponse::alertSecondButton);
    Alert alert;
    alert.messageText = QStringLiteral("Could not use that picture");
    alert.informativeText = QStringLiteral("That file is not a picture macOS can open.");
    EXPECT_EQ(alert.runModal(), ModalResponse::alertSecondButton);
    const auto shown = sim::shownAlerts();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].messageText, "Could not use that picture");
    EXPECT_EQ(shown[0].informativeText, "That file is not a picture macOS can open.");
    EXPECT_EQ(shown[0].response, ModalResponse::alertSecondButton);

    EXPECT_EQ(sim::beepCount(), 0);
    beep();
    beep();
    EXPECT_EQ(sim::beepCount(), 2);
}

TEST_F(DialogsTest, TheCharacterPaletteTypesIntoTheFocusedField)
{
    QLineEdit field;
    field.show();
    field.activateWindow();
    QApplication::processEvents();
    field.setFocus();
    ASSERT_EQ(QApplication::focusWidget(), &field);

    EXPECT_FALSE(sim::isCharacterPaletteOpen());
    Application::orderFrontCharacterPalette();
    EXPECT_TRUE(sim::isCharacterPaletteOpen());
    EXPECT_EQ(sim::characterPaletteRequests(), 1);
    // The palette never takes the focus from the field it types into.
    EXPECT_EQ(QApplication::focusWidget(), &field);

    sim::pickFromCharacterPalette(QStringLiteral("🚀"));
    EXPECT_EQ(field.text(), "🚀");

    sim::CharacterPalette palette;
    ASSERT_GT(palette.characters().size(), 500);
    EXPECT_TRUE(palette.characters().contains("😀"));
    // Pieces that only join others are left out: skin tones, regional letters.
    EXPECT_FALSE(palette.characters().contains("🏽"));
    EXPECT_FALSE(palette.characters().contains("🇦"));
    QMouseEvent click(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::LeftButton, {});
    QApplication::sendEvent(&palette, &click);
    EXPECT_EQ(field.text(), "🚀" + palette.characters().first());
}

} // namespace
