#include "platform/FileViewer.h"
#include "platform/linux/FileViewer.h"

#include "support/PlatformTest.h"
#include "support/UrlCatcher.h"

namespace {

class FileViewerTest : public PlatformTest {};

// --- showing files ---

TEST_F(FileViewerTest, OffscreenARequestIsOnlyRecorded)
{
    UrlCatcher files(QStringLiteral("file"));
    const QList<QUrl> logs{QUrl::fromLocalFile(QStringLiteral("/tmp/logs/mission-control.log"))};
    platform::FileViewer::activateSelecting(logs);
    EXPECT_EQ(platform::host::fileViewerSelections(), QList<QList<QUrl>>{logs});
    EXPECT_TRUE(files.opened.isEmpty());
}

TEST_F(FileViewerTest, OnADesktopSessionEachFilesFolderOpensOnceInTheFileManager)
{
    platform::host::setFileViewerOpensFolders(true);
    UrlCatcher files(QStringLiteral("file"));
    UrlCatcher web(QStringLiteral("https"));
    const QList<QUrl> chosen{QUrl::fromLocalFile(QStringLiteral("/tmp/a/one.log")),
                             QUrl::fromLocalFile(QStringLiteral("/tmp/b/two.log")),
                             QUrl::fromLocalFile(QStringLiteral("/tmp/a/three.log")),
                             QUrl(QStringLiteral("https://example.com/four.log"))};
    platform::FileViewer::activateSelecting(chosen);
    EXPECT_EQ(files.opened, (QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/tmp/a")),
                                         QUrl::fromLocalFile(QStringLiteral("/tmp/b"))}));
    EXPECT_TRUE(web.opened.isEmpty()) << "only folders of local files are opened";
    EXPECT_EQ(platform::host::fileViewerSelections(), QList<QList<QUrl>>{chosen});
}

} // namespace
