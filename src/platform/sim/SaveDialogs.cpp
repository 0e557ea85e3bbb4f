#include "platform/Dialogs.h"
#include "platform/sim/DialogScript.h"

#include "platform/Folders.h"
#include "platform/Lifetime.h"
#include "platform/PreferenceDomain.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>

#include <deque>

namespace platform {

namespace {

struct SaveDialogState {
    std::deque<sim::SavePanelAnswer> panelAnswers;
    std::deque<ModalResponse> confirmationAnswers;
    std::vector<sim::ShownSavePanel> panels;
    std::vector<sim::ShownConfirmation> confirmations;
};

SaveDialogState& saveDialogState()
{
    static Shared<SaveDialogState> current([] { return new SaveDialogState; });
    return current.get();
}

// Where the system remembers the folder of the last save.
const QString lastFolderKey = QStringLiteral("NSNavLastRootDirectory");

// The panel's folder: the one asked for, else the last one a file was saved
// in while it still exists, else the home folder.
QString openingFolder(const SavePanel& panel)
{
    if (panel.directoryURL.isLocalFile())
        return panel.directoryURL.toLocalFile();
    const std::optional<QString> last = PreferenceDomain::standard().string(lastFolderKey);
    if (last && QFileInfo(*last).isDir())
        return *last;
    return Folders::home();
}

// Nobody can answer a dialog on a screen that does not exist.
bool unanswerable()
{
    return QGuiApplication::platformName() == QStringLiteral("offscreen");
}

QString nameFilter(const QStringList& contentTypes)
{
    if (contentTypes.contains(UTType::commaSeparatedText))
        return QStringLiteral("CSV text (*.csv)");
    return {};
}

sim::SavePanelAnswer showFileDialog(const SavePanel& panel, const QString& folder)
{
    QFileDialog dialog;
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDirectory(folder);
    dialog.selectFile(QDir(folder).filePath(panel.nameFieldStringValue));
    const QString filter = nameFilter(panel.allowedContentTypes);
    if (!filter.isEmpty()) {
        dialog.setNameFilter(filter);
        dialog.setDefaultSuffix(QStringLiteral("csv"));
    }
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QList<QUrl> urls = dialog.selectedUrls();
    return {ModalResponse::ok, urls.isEmpty() ? QUrl() : urls.first()};
}

ModalResponse showMessageBox(const ConfirmationDialog& dialog)
{
    QMessageBox box;
    box.setIcon(QMessageBox::Warning);
    box.setText(dialog.title);
    box.setInformativeText(dialog.message);
    QPushButton* action = box.addButton(dialog.actionTitle, dialog.destructive ? QMessageBox::DestructiveRole
                                                                                : QMessageBox::AcceptRole);
    QPushButton* cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(cancel);
    box.exec();
    return box.clickedButton() == action ? ModalResponse::alertFirstButton : ModalResponse::cancel;
}

} // namespace

ModalResponse SavePanel::runModal()
{
    SaveDialogState& s = saveDialogState();
    const QString folder = openingFolder(*this);
    sim::SavePanelAnswer given;
    if (!s.panelAnswers.empty()) {
        given = s.panelAnswers.front();
        s.panelAnswers.pop_front();
    } else if (unanswerable()) {
        qWarning("platform: a save panel ran with no answer scripted; it is cancelled");
    } else {
        given = showFileDialog(*this, folder);
    }
    url_ = given.response == ModalResponse::ok ? given.url : QUrl();
    saveDialogState().panels.push_back({allowedContentTypes, nameFieldStringValue, folder, given.response});
    return given.response;
}

void SavePanel::fileWasSaved() const
{
    if (!url_.isLocalFile())
        return;
    const QString folder = QFileInfo(url_.toLocalFile()).absolutePath();
    PreferenceDomain& defaults = PreferenceDomain::standard();
    if (defaults.string(lastFolderKey) != folder)
        defaults.setString(lastFolderKey, folder, PreferenceDomain::Save::soon);
}

ModalResponse ConfirmationDialog::runModal()
{
    SaveDialogState& s = saveDialogState();
    ModalResponse response = ModalResponse::cancel;
    if (!s.confirmationAnswers.empty()) {
        response = s.confirmationAnswers.front();
        s.confirmationAnswers.pop_front();
    } else if (unanswerable()) {
        qWarning("platform: a confirmation ran with no answer scripted; it is cancelled");
    } else {
        response = showMessageBox(*this);
    }
    saveDialogState().confirmations.push_back({title, message, actionTitle, destructive, response});
    return response;
}

void sim::answerNextSavePanel(SavePanelAnswer answer)
{
    saveDialogState().panelAnswers.push_back(std::move(answer));
}

void sim::answerNextConfirmation(ModalResponse response)
{
    saveDialogState().confirmationAnswers.push_back(response);
}

std::vector<sim::ShownSavePanel> sim::shownSavePanels()
{
    return saveDialogState().panels;
}

std::vector<sim::ShownConfirmation> sim::shownConfirmations()
{
    return saveDialogState().confirmations;
}

} // namespace platform
