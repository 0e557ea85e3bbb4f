#include "platform/sim/CharacterPalette.h"

#include <QApplication>
#include <QFont>
#include <QInputMethodEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <unicode/uchar.h>

#include <algorithm>

namespace platform::sim {

namespace {
constexpr int columns = 10;
constexpr int cell = 32;
constexpr UChar32 firstEmoji = 0x2300;
constexpr UChar32 lastEmoji = 0x1FAFF;
} // namespace

CharacterPalette::CharacterPalette()
    : characters_(emojiCharacters())
{
    QFont font;
    font.setFamilies({QStringLiteral("Noto Color Emoji"), QStringLiteral("DejaVu Sans")});
    font.setPixelSize(cell * 2 / 3);
    setFont(font);
    setFixedSize(sizeHint());
}

QStringList CharacterPalette::emojiCharacters()
{
    // Emoji drawn as pictures by default, without the pieces (skin tones,
    // regional letters) that only make sense joined to others.
    QStringList found;
    for (UChar32 c = firstEmoji; c <= lastEmoji; ++c) {
        if (u_hasBinaryProperty(c, UCHAR_EMOJI_PRESENTATION) && !u_hasBinaryProperty(c, UCHAR_EMOJI_COMPONENT))
            found.append(QString::fromUcs4(reinterpret_cast<const char32_t*>(&c), 1));
    }
    return found;
}

int CharacterPalette::rows() const
{
    return int((characters_.size() + columns - 1) / columns);
}

QSize CharacterPalette::sizeHint() const
{
    return {columns * cell, rows() * cell};
}

void CharacterPalette::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), QColor(30, 30, 32));
    const int firstRow = event->rect().top() / cell;
    const int lastRow = std::min(rows() - 1, event->rect().bottom() / cell);
    for (int row = firstRow; row <= lastRow; ++row) {
        for (int column = 0; column < columns; ++column) {
            const qsizetype index = qsizetype(row) * columns + column;
            if (index >= characters_.size())
                return;
            painter.drawText(QRect(column * cell, row * cell, cell, cell), Qt::AlignCenter, characters_[index]);
        }
    }
}

void CharacterPalette::mousePressEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    const qsizetype index = qsizetype(at.y() / cell) * columns + at.x() / cell;
    if (at.x() < 0 || at.x() >= columns * cell || index < 0 || index >= characters_.size())
        return;
    type(characters_[index]);
    // A pick closes the palette's window.
    if (window() != this)
        window()->close();
}

void CharacterPalette::type(const QString& characters)
{
    QWidget* focus = QApplication::focusWidget();
    if (!focus)
        return;
    QInputMethodEvent commit;
    commit.setCommitString(characters);
    QCoreApplication::sendEvent(focus, &commit);
}

} // namespace platform::sim
