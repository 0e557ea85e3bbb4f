#include "platform/Dialogs.h"
#include "platform/sim/DialogScript.h"

#include "platform/Lifetime.h"
#include "platform/sim/CharacterPalette.h"
#include "platform/sim/PopupPlacement.h"

#include <QApplication>
#include <QFileDialog>
#include <QHash>
#include <QMessageBox>
#include <QPushButton>
#include <QPointer>
#include <QScrollArea>

#include <algorithm>
#include <deque>

namespace platform {

namespace {

struct DialogState {
    std::deque<sim::OpenPanelAnswer> panelAnswers;
    std::deque<ModalResponse> alertAnswers;
    std::vector<sim::ShownOpenPanel> panels;
    std::vector<sim::ShownAlert> alerts;
    int beeps = 0;
    int paletteRequests = 0;
    QPointer<QWidget> palette;
};

DialogState*& dialogStateSlot()
{
    static DialogState* state = nullptr;
    return state;
}

DialogState& dialogState()
{
    auto*& slot = dialogStateSlot();
    if (!slot) {
        slot = new DialogState;
        registerSharedReset([] {
            delete dialogStateSlot()->palette;
            delete dialogStateSlot();
            dialogStateSlot() = nullptr;
        });
    }
    return *slot;
}

// Nobody can answer a dialog on a screen that does not exist.
bool unanswerable()
{
    return QGuiApplication::platformName() == QStringLiteral("offscreen");
}

// File name patterns of the types the panel knows; other types are skipped.
QStringList patterns(const QStringList& contentTypes)
{
    static const QHash<QString, QStringList> known{
        {UTType::png, {QStringLiteral("*.png")}},
        {UTType::jpeg, {QStringLiteral("*.jpg"), QStringLiteral("*.jpeg")}},
        {UTType::tiff, {QStringLiteral("*.tif"), QStringLiteral("*.tiff")}},
        {UTType::heic, {QStringLiteral("*.heic"), QStringLiteral("*.heif")}},
        {UTType::icns, {QStringLiteral("*.icns")}},
        {UTType::gif, {QStringLiteral("*.gif")}},
        {UTType::bmp, {QStringLiteral("*.bmp")}},
        {UTType::webP, {QStringLiteral("*.webp")}},
    };
    QStringList found;
    for (const QString& type : contentTypes)
        found += known.value(type);
    return found;
}

sim::OpenPanelAnswer showFileDialog(const OpenPanel& panel)
{
    QFileDialog dialog;
    dialog.setWindowTitle(panel.message);
    dialog.setFileMode(panel.allowsMultipleSelection ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    const QStringList allowed = patterns(panel.allowedContentTypes);
    if (!allowed.isEmpty())
        dialog.setNameFilter(QStringLiteral("Pictures (") + allowed.join(QLatin1Char(' ')) + QStringLiteral(")"));
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return {ModalResponse::ok, dialog.selectedUrls()};
}

sim::OpenPanelAnswer answer(const OpenPanel& panel)
{
    DialogState& s = dialogState();
    if (!s.panelAnswers.empty()) {
        sim::OpenPanelAnswer next = s.panelAnswers.front();
        s.panelAnswers.pop_front();
        return next;
    }
    if (unanswerable()) {
        qWarning("platform: an open panel ran with no answer scripted; it is cancelled");
        return {};
    }
    return showFileDialog(panel);
}

ModalResponse showMessageBox(const Alert& alert)
{
    QMessageBox box;
    box.setIcon(QMessageBox::Warning);
    box.setText(alert.messageText);
    box.setInformativeText(alert.informativeText);
    QList<QAbstractButton*> added;
    if (alert.buttons.isEmpty())
        added.append(box.addButton(QMessageBox::Ok));
    for (const QString& title : alert.buttons)
        added.append(box.addButton(title, added.isEmpty() ? QMessageBox::AcceptRole : QMessageBox::RejectRole));
    box.setDefaultButton(qobject_cast<QPushButton*>(added.first()));
    box.exec();
    // Quitting ends the box's loop with no button clicked: that is no answer,
    // and above all not the first button's.
    const qsizetype index = added.indexOf(box.clickedButton());
    if (index < 0)
        return ModalResponse::abort;
    return ModalResponse(int(ModalResponse::alertFirstButton) + int(index));
}

ModalResponse answer(const Alert& alert)
{
    DialogState& s = dialogState();
    if (!s.alertAnswers.empty()) {
        const ModalResponse next = s.alertAnswers.front();
        s.alertAnswers.pop_front();
        return next;
    }
    if (unanswerable()) {
        qWarning("platform: an alert ran with no answer scripted; it is dismissed");
        return ModalResponse::alertFirstButton;
    }
    return showMessageBox(alert);
}

// Space between the palette and the window of the field it types into.
constexpr int paletteGap = 8;

// The palette's window. It opens beside the window of the field it types
// into and closes when that window goes away.
class PaletteWindow final : public QScrollArea {
public:
    PaletteWindow()
    {
        setWindowTitle(QStringLiteral("Emoji & Symbols"));
        setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus);
        setAttribute(Qt::WA_ShowWithoutActivating);
        setFocusPolicy(Qt::NoFocus);
        auto* grid = new sim::CharacterPalette;
        setWidget(grid);
        resize(grid->width() + 24, 320);
    }

    // Beside field's window (right of it, else left), level with the field,
    // within the screen.
    void attachTo(QWidget* field)
    {
        if (host_)
            host_->removeEventFilter(this);
        host_ = field ? field->window() : nullptr;
        if (!host_)
            return;
        host_->installEventFilter(this);
        const QRect beside = host_->frameGeometry();
        const int top = field->mapToGlobal(QPoint(0, 0)).y();
        const std::optional<QRect> area = sim::availableAreaAt(beside.center());
        if (!area) {
            move(beside.right() + 1 + paletteGap, top);
            return;
        }
        move(sim::placeBeside(beside, frameGeometry().size(), sim::PopupSide::right, top, *area, paletteGap)
                 .topLeft());
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == host_ && (event->type() == QEvent::Hide || event->type() == QEvent::Close))
            close();
        return false;
    }

private:
    QPointer<QWidget> host_;
};

} // namespace

ModalResponse OpenPanel::runModal()
{
    const sim::OpenPanelAnswer given = answer(*this);
    urls_ = given.response == ModalResponse::ok ? given.urls : QList<QUrl>();
    dialogState().panels.push_back({allowedContentTypes, message, allowsMultipleSelection, given.response});
    return given.response;
}

ModalResponse Alert::runModal()
{
    const ModalResponse response = answer(*this);
    dialogState().alerts.push_back({messageText, informativeText, buttons, response});
    return response;
}

void beep()
{
    ++dialogState().beeps;
    QApplication::beep();
}

void Application::orderFrontCharacterPalette()
{
    DialogState& s = dialogState();
    ++s.paletteRequests;
    if (!s.palette)
        s.palette = new PaletteWindow;
    // Shown first, so its frame is known when it is placed.
    s.palette->show();
    static_cast<PaletteWindow*>(s.palette.data())->attachTo(QApplication::focusWidget());
    s.palette->raise();
}

void sim::answerNextOpenPanel(OpenPanelAnswer next)
{
    dialogState().panelAnswers.push_back(std::move(next));
}

void sim::answerNextAlert(ModalResponse response)
{
    dialogState().alertAnswers.push_back(response);
}

std::vector<sim::ShownOpenPanel> sim::shownOpenPanels()
{
    return dialogState().panels;
}

std::vector<sim::ShownAlert> sim::shownAlerts()
{
    return dialogState().alerts;
}

int sim::beepCount()
{
    return dialogState().beeps;
}

int sim::characterPaletteRequests()
{
    return dialogState().paletteRequests;
}

bool sim::isCharacterPaletteOpen()
{
    return dialogState().palette && dialogState().palette->isVisible();
}

void sim::pickFromCharacterPalette(const QString& characters)
{
    CharacterPalette::type(characters);
    if (dialogState().palette)
        dialogState().palette->close();
}

} // namespace platform
