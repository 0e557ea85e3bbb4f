#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

namespace platform {

// The system's standard dialogs and a few application services around them:
// the open panel, the alert, the beep and the character palette.

enum class ModalResponse {
    // Ended without an answer: the app began quitting while it was open.
    abort = -1001,
    cancel = 0,
    ok = 1,
    // An alert's buttons, from the right.
    alertFirstButton = 1000,
    alertSecondButton = 1001,
};

// Uniform type identifiers of the picture formats the app opens.
namespace UTType {
inline const QString png = QStringLiteral("public.png");
inline const QString jpeg = QStringLiteral("public.jpeg");
inline const QString tiff = QStringLiteral("public.tiff");
inline const QString heic = QStringLiteral("public.heic");
inline const QString icns = QStringLiteral("com.apple.icns");
inline const QString gif = QStringLiteral("com.compuserve.gif");
inline const QString bmp = QStringLiteral("com.microsoft.bmp");
inline const QString webP = QStringLiteral("org.webmproject.webp");
inline const QString commaSeparatedText = QStringLiteral("public.comma-separated-values-text");
} // namespace UTType

// A modal panel in which the user picks files to open.
class OpenPanel {
public:
    // Only files of these types can be chosen; empty: any file.
    QStringList allowedContentTypes;
    // Shown above the file list.
    QString message;
    bool allowsMultipleSelection = false;

    // Runs the panel until the user answers: ok with the chosen files in
    // urls(), or cancel.
    ModalResponse runModal();
    const QList<QUrl>& urls() const { return urls_; }

private:
    QList<QUrl> urls_;
};

// A modal message with its buttons (just OK when none are given).
class Alert {
public:
    QString messageText;
    QString informativeText;
    // Button titles in the order added; the first is the default button and
    // answers alertFirstButton, the second alertSecondButton, and so on.
    QStringList buttons;

    // Answers the button that was clicked (the first one for OK), or abort
    // when quitting ended it with no button clicked.
    ModalResponse runModal();
};

// A modal panel in which the user picks where to save one file.
class SavePanel {
public:
    // Only files of these types can be saved; empty: any file.
    QStringList allowedContentTypes;
    // The file name proposed in the name field.
    QString nameFieldStringValue;
    // The folder the panel opens in; empty: the folder a file was saved in
    // last (remembered across launches), else the home folder.
    QUrl directoryURL;

    // Runs the panel until the user answers: ok with the chosen file in
    // url() (which may still be empty), or cancel.
    ModalResponse runModal();
    const QUrl& url() const { return url_; }
    // Tells the panel the file went to url(): its folder is the one the next
    // panel opens in. A folder where a save failed is never remembered.
    void fileWasSaved() const;

private:
    QUrl url_;
};

// A modal question before a destructive action: the title, a message, one
// action button and the system's own Cancel.
class ConfirmationDialog {
public:
    QString title;
    QString message;
    QString actionTitle;
    // The action button is drawn as destructive.
    bool destructive = true;

    // alertFirstButton when the user chose the action, cancel otherwise.
    ModalResponse runModal();
};

// The system alert sound.
void beep();

namespace Application {

// Opens the system's emoji and symbols palette; what the user picks there is
// typed into the focused text field. It opens beside that field's window and
// closes with a pick or with that window.
void orderFrontCharacterPalette();

} // namespace Application
} // namespace platform
