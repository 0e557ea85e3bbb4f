// A copy of the app for the tests of quitting while it offers the move to
// Applications. It runs from HOME/Volumes/Tessaroom/Tessaroom.app, which the
// simulation takes for a mounted disk image, with HOME/Applications as the
// place to move to, takes SIGTERM, SIGINT and SIGHUP over as the app does and
// launches. Its argument says how far the offer gets:
// - "question": the question is a real dialog (run it on a platform with
//   windows, such as minimal); "asking" on standard error says it shows;
// - "move": the question is answered Move, and the copy tool is the program
//   named by the second argument (one that runs until it is ended).
// On its way out it prints "relaunches <n>" on standard output.
#include "app/AppDelegate.h"
#include "engine/SpaceEngine.h"
#include "platform/Application.h"
#include "platform/Dialogs.h"
#include "platform/TerminationSignals.h"
#include "platform/linux/DetachedStarts.h"
#include "platform/linux/HelperTools.h"
#include "platform/sim/Bundle.h"
#include "platform/sim/DialogScript.h"
#include "platform/sim/Tools.h"
#include "platform/sim/Volumes.h"
#include "store/Settings.h"
#include "support/PlatformTest.h"
#include "switching/Accessibility.h"
#include "switching/DesktopSwitcher.h"
#include "ui/KitFonts.h"
#include "update/Updates.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QTextStream>

namespace {

// Says when the question shows.
class QuestionWatch final : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && qobject_cast<QMessageBox*>(watched))
            QTextStream(stderr) << "asking" << Qt::endl;
        return false;
    }
};

} // namespace

int main(int argc, char* argv[])
{
    const QString stage = argc > 1 ? QString::fromUtf8(argv[1]) : QStringLiteral("question");
    const QString home = qEnvironmentVariable("HOME");
    startFreshProcess(home, 1777624200.0);
    const platform::TerminationSignals termination;
    KitFonts::install();

    const QString image = home + QStringLiteral("/Volumes/Tessaroom");
    QDir().mkpath(image + QStringLiteral("/Tessaroom.app"));
    QDir().mkpath(home + QStringLiteral("/Applications"));
    platform::sim::setExecutablePath(image + QStringLiteral("/Tessaroom.app/Contents/MacOS/tessaroom"));
    platform::sim::setReadOnlyFolder(image, true);
    platform::sim::setApplicationsFolders(QStringList{home + QStringLiteral("/Applications")});
    QuestionWatch watch;
    if (stage == QStringLiteral("move")) {
        platform::sim::answerNextAlert(platform::ModalResponse::alertFirstButton);
        platform::host::mapTool(platform::sim::tools::ditto, argc > 2 ? QString::fromUtf8(argv[2]) : QString());
    } else {
        qApp->installEventFilter(&watch);
    }

    DesktopSwitcher::installAsEngineSwitcher();
    AppDelegate delegate(SpaceEngine::shared(), Settings::shared(), Accessibility::shared(), AppDelegate::Options{});
    delegate.setMoveApp(AppDelegate::updaterMove(Updates::shared()));
    platform::Application::setDelegate(&delegate);
    // Launching from inside the main loop, as the app does.
    QMetaObject::invokeMethod(qApp, [] { platform::Application::finishLaunching(); }, Qt::QueuedConnection);
    const int status = QCoreApplication::exec();
    platform::Application::setDelegate(nullptr);
    QTextStream(stdout) << "relaunches " << platform::host::detachedStarts().size() << Qt::endl;
    return status;
}
