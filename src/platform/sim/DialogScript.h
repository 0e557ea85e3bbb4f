#pragma once

#include "platform/Dialogs.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <vector>

namespace platform::sim {

// Answers for the standard dialogs and a record of what the app showed, so
// that tests never wait in a modal loop. A dialog with a scripted answer takes
// the oldest one and shows nothing. Without one it is shown as a Qt dialog;
// on the offscreen platform, where nobody could answer it, the panel is
// cancelled and the alert dismissed with its first button.

struct OpenPanelAnswer {
    ModalResponse response = ModalResponse::cancel;
    QList<QUrl> urls;
};

struct ShownOpenPanel {
    QStringList allowedContentTypes;
    QString message;
    bool allowsMultipleSelection = false;
    ModalResponse response = ModalResponse::cancel;
};

struct ShownAlert {
    QString messageText;
    QString informativeText;
    QStringList buttons;
    ModalResponse response = ModalResponse::alertFirstButton;
};

void answerNextOpenPanel(OpenPanelAnswer answer);
void answerNextAlert(ModalResponse response = ModalResponse::alertFirstButton);

// Every panel and alert run since the world started, oldest first.
std::vector<ShownOpenPanel> shownOpenPanels();
std::vector<ShownAlert> shownAlerts();
int beepCount();

int characterPaletteRequests();
bool isCharacterPaletteOpen();
// Types characters into the focused widget, as a pick in the palette does.
void pickFromCharacterPalette(const QString& characters);

// --- save panels and confirmations --------------------------------------

struct SavePanelAnswer {
    ModalResponse response = ModalResponse::cancel;
    QUrl url;
};

struct ShownSavePanel {
    QStringList allowedContentTypes;
    QString nameFieldStringValue;
    // The folder it opened in.
    QString directory;
    ModalResponse response = ModalResponse::cancel;
};

struct ShownConfirmation {
    QString title;
    QString message;
    QString actionTitle;
    bool destructive = true;
    ModalResponse response = ModalResponse::cancel;
};

void answerNextSavePanel(SavePanelAnswer answer);
// alertFirstButton chooses the action, cancel the system's Cancel.
void answerNextConfirmation(ModalResponse response);
std::vector<ShownSavePanel> shownSavePanels();
std::vector<ShownConfirmation> shownConfirmations();

} // namespace platform::sim
