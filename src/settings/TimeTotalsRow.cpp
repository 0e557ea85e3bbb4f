#include "settings/TimeTotalsRow.h"

#include "platform/OneLineText.h"
#include "settings/SettingsWidgets.h"
#include "settings/TimeBar.h"
#include "store/Format.h"
#include "ui/Glyph.h"
#include "ui/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

namespace {

constexpr double tileSize = 22;
constexpr int nameWidth = 180;
constexpr int durationWidth = 62;

// The desktop's tile, drawn at its size.
class Tile : public QWidget {
public:
    explicit Tile(const Desktop& desktop)
        : desktop_(desktop)
    {
        setFixedSize(int(tileSize), int(tileSize));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        if (const GlyphImagePtr image = Glyph::image(desktop_, std::nullopt, false, tileSize))
            image->draw(painter, rect());
    }

private:
    Desktop desktop_;
};

// The system font's digits all have one width, so durations line up.
QFont durationFont()
{
    return Theme::font(12, QFont::Medium);
}

} // namespace

TimeTotalsRow::TimeTotalsRow(const Desktop& desktop, double total, QWidget* parent)
    : QWidget(parent)
    , desktop_(desktop)
{
    setObjectName(QStringLiteral("totalsRow"));
    const double seconds = desktop_.meta().seconds;
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 8, 0, 8);
    layout->setSpacing(12);
    layout->addWidget(new Tile(desktop_), 0, Qt::AlignVCenter);

    name_ = SettingsWidgets::label(desktop_.displayName(), Theme::font(13, QFont::Medium), Theme::text());
    name_->setObjectName(QStringLiteral("nameLabel"));
    name_->setFixedWidth(nameWidth);
    const QString elided = name_->fontMetrics().elidedText(desktop_.displayName(), Qt::ElideRight, nameWidth);
    name_->setText(elided);
    name_->setToolTip(elided == desktop_.displayName() ? QString()
                                                       : platform::OneLineText::shown(desktop_.displayName()));
    layout->addWidget(name_, 0, Qt::AlignVCenter);

    bar_ = new TimeBar(seconds, total, desktop_.tileColor());
    layout->addWidget(bar_, 1, Qt::AlignVCenter);

    duration_ = SettingsWidgets::label(Format::duration(seconds), durationFont(), Theme::textSecondary());
    duration_->setObjectName(QStringLiteral("durationLabel"));
    duration_->setFixedWidth(durationWidth);
    duration_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    layout->addWidget(duration_, 0, Qt::AlignVCenter);
}
