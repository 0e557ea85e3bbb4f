#include "ui/SectionHeader.h"

#include "ui/KitFonts.h"
#include "ui/Theme.h"

SectionHeader::SectionHeader(const QString& title, QWidget* parent)
    : QLabel(title.toUpper(), parent)
{
    QFont font = KitFonts::system(10.5, QFont::DemiBold);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 0.8);
    setFont(font);
    setTextFormat(Qt::PlainText);
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, Theme::textTertiary());
    setPalette(palette);
    setContentsMargins(2, 0, 0, 0);
}
