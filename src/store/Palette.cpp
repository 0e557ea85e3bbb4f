#include "store/Palette.h"

#include <iterator>

namespace Palette {

namespace {

struct NamedColor {
    const char* name;
    float red;
    float green;
    float blue;
};

constexpr NamedColor table[] = {
    {"Blue", 0.24f, 0.51f, 0.97f},   {"Purple", 0.55f, 0.36f, 0.96f}, {"Pink", 0.93f, 0.29f, 0.6f},
    {"Orange", 0.98f, 0.45f, 0.09f}, {"Green", 0.13f, 0.77f, 0.37f},  {"Teal", 0.08f, 0.72f, 0.65f},
    {"Red", 0.94f, 0.27f, 0.27f},    {"Yellow", 0.92f, 0.7f, 0.03f},  {"Indigo", 0.39f, 0.4f, 0.95f},
    {"Slate", 0.42f, 0.47f, 0.56f},
};

constexpr qint64 colorCount = std::size(table);

} // namespace

const QList<QColor>& colors()
{
    static const QList<QColor> list = [] {
        QList<QColor> built;
        for (const NamedColor& entry : table)
            built << QColor::fromRgbF(entry.red, entry.green, entry.blue, 1.0f);
        return built;
    }();
    return list;
}

const QStringList& names()
{
    static const QStringList list = [] {
        QStringList built;
        for (const NamedColor& entry : table)
            built << QLatin1String(entry.name);
        return built;
    }();
    return list;
}

const QColor& neutral()
{
    static const QColor grey = QColor::fromRgbF(0.13f, 0.13f, 0.13f, 1.0f);
    return grey;
}

qsizetype position(qint64 index)
{
    return static_cast<qsizetype>(((index % colorCount) + colorCount) % colorCount);
}

const QColor& color(qint64 index)
{
    return colors().at(position(index));
}

} // namespace Palette
