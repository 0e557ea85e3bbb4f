// A copy of the app for the tests of retiring a running copy. It launches on
// the user's folders (HOME), names desktop 2 with its first argument and
// leaves that write pending: its clock is a manual one that never moves, so
// the name reaches the disk only when the copy quits the normal way. It
// listens on the link socket as the app does, says "listening" on standard
// error, and quits when a newer copy asks it to.
#include "app/AppDelegate.h"
#include "app/LinkServer.h"
#include "app/LinkSocket.h"
#include "engine/SpaceEngine.h"
#include "platform/Application.h"
#include "store/Settings.h"
#include "store/SpaceStore.h"
#include "support/PlatformTest.h"
#include "switching/Accessibility.h"
#include "switching/DesktopSwitcher.h"
#include "ui/KitFonts.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char* argv[])
{
    const QString name = argc > 1 ? QString::fromUtf8(argv[1]) : QStringLiteral("Pending");
    startFreshProcess(qEnvironmentVariable("HOME"), 1777624200.0);
    KitFonts::install();
    DesktopSwitcher::installAsEngineSwitcher();
    AppDelegate delegate(SpaceEngine::shared(), Settings::shared(), Accessibility::shared(), AppDelegate::Options{});
    platform::Application::setDelegate(&delegate);
    delegate.launch();

    const qint64 second = SpaceEngine::shared().desktopWithNumber(2)->managedID();
    SpaceStore::shared().change(second, [&](SpaceMeta& meta) { meta.name = name; });

    LinkServer links({.link = [&delegate](const QByteArray& link) { delegate.handleLinkBytes(link); },
                      .oversized = [&delegate](qint64 size) { delegate.handleOversizedLink(size); },
                      .quit = [] { platform::Application::terminate(); }});
    QString error;
    if (!links.listen(LinkSocket::defaultPath(), &error)) {
        QTextStream(stderr) << error << Qt::endl;
        return 2;
    }
    QTextStream(stderr) << "listening" << Qt::endl;
    const int status = QCoreApplication::exec();
    platform::Application::setDelegate(nullptr);
    return status;
}
