#include "MenuBarTest.h"

#include "store/LogFile.h"
#include "store/SpaceStore.h"
#include "ui/KitFonts.h"

#include <QDir>
#include <QWidget>

MenuBarTest::MenuBarTest()
{
    KitFonts::install();
    world().clear();
    engine().setSwitcher(std::make_unique<RecordingSwitcher>(switches));
}

void MenuBarTest::addDisplay(const QString& uuid, const QList<quint64>& spaceIDs, quint64 current,
                             const QList<qint64>& types, double x)
{
    platform::sim::DisplaySpec display;
    display.uuid = uuid;
    display.displayID = quint32(world().displays().size() + 1);
    display.currentSpaceID = current;
    display.frame = QRectF(x, 0, 1512, 982);
    for (qsizetype i = 0; i < spaceIDs.size(); ++i)
        display.spaces.append({spaceIDs[i], qint64(spaceIDs[i]), i < types.size() ? types[i] : 0, {}});
    world().addDisplay(display);
    refresh();
}

void MenuBarTest::name(quint64 spaceID, const QString& text)
{
    SpaceStore::shared().change(qint64(spaceID), [&](SpaceMeta& meta) { meta.name = text; });
}

QStringList MenuBarTest::switchLog() const
{
    QStringList lines;
    for (const QString& line : LogFile::switches().tail(100000).split(u'\n', Qt::SkipEmptyParts)) {
        const qsizetype close = line.indexOf(QStringLiteral("] "));
        lines << (close >= 0 ? line.mid(close + 2) : line);
    }
    return lines;
}

QImage MenuBarTest::render(QWidget& widget, double scale)
{
    return renderLaidOut(widget, QColor(14, 17, 24), scale);
}

void MenuBarTest::savePicture(const QImage& image, const QString& fileName)
{
    const QByteArray folder = qgetenv("TESSAROOM_PICTURES");
    if (!folder.isEmpty())
        image.save(QDir(QString::fromLocal8Bit(folder)).filePath(fileName));
}
