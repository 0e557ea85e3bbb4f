#include "ui/EditSpaceView.h"

#include "platform/Dialogs.h"
#include "platform/Graphemes.h"
#include "platform/Workspace.h"
#include "store/Format.h"
#include "store/IconCatalog.h"
#include "store/KeyNames.h"
#include "store/Palette.h"
#include "store/SpaceStore.h"
#include "store/Timers.h"
#include "ui/AccentButton.h"
#include "ui/ColorSwatch.h"
#include "ui/DarkAppearance.h"
#include "ui/DarkField.h"
#include "ui/ElidedLabel.h"
#include "ui/Glyph.h"
#include "ui/HotkeyRecorder.h"
#include "ui/IconButton.h"
#include "ui/IconCell.h"
#include "ui/KitFonts.h"
#include "ui/RowDivider.h"
#include "ui/SectionHeader.h"
#include "ui/Theme.h"
#include "ui/TilePreview.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QShortcut>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <variant>

namespace {

constexpr int rowSpacing = 14;
constexpr int headerSpacing = 8;
constexpr int nameRowSpacing = 12;
constexpr int sectionSpacing = 8;
constexpr int shortcutSpacing = 10;
constexpr int backButtonSize = 24;
constexpr int iconButtonSize = 26;
constexpr int emojiFieldWidth = 44;
constexpr qsizetype emojiLimit = 2;
constexpr double previewSide = 46;
constexpr double numberCellSide = 20;
constexpr double pictureCellPoints = 22;
constexpr double symbolCellPoints = 13;
constexpr double emojiPaletteDelay = 0.05;

QString numbered(qint64 number)
{
    return QStringLiteral("Desktop ") + QString::number(number);
}

QLabel* makeLabel(const QString& text, const QFont& font, const QColor& color)
{
    auto* label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    return label;
}

template <typename Layout>
Layout* makeLayout(QWidget* owner, int spacing)
{
    auto* layout = new Layout(owner);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

QStringList pictureTypes()
{
    using namespace platform::UTType;
    return {png, jpeg, tiff, heic, icns, gif, bmp, webP};
}

// Brings the app in front of the others before it shows a panel.
void activateApp()
{
    platform::Workspace::activate(platform::Workspace::currentProcessIdentifier());
}

} // namespace

const QList<TileColor>& EditSpaceView::colorChoices()
{
    static const QList<TileColor> choices = [] {
        QList<TileColor> made{TileColor::automatic()};
        for (qsizetype index = 0; index < Palette::colors().size(); ++index)
            made.append(TileColor::palette(index));
        made.append(TileColor::transparent());
        return made;
    }();
    return choices;
}

EditSpaceView::EditSpaceView(const Desktop& desktop, bool embedded, std::function<void()> onDone, QWidget* parent)
    : QWidget(parent)
    , desktop_(desktop)
    , embedded_(embedded)
    , onDone_(std::move(onDone))
{
    const SpaceMeta meta = desktop_.meta();
    icon_ = meta.icon;
    color_ = meta.color;
    hotkey_ = meta.hotkey;

    DarkAppearance::apply(this);
    setFixedWidth(editorWidth);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSpacing(rowSpacing);
    layout->addWidget(makeHeader());
    layout->addWidget(makeNameRow());
    layout->addWidget(makeColorSection());
    layout->addWidget(makeIconSection());
    layout->addWidget(makeShortcutSection());
    layout->addWidget(new RowDivider);
    layout->addWidget(makeButtonRow());

    // Seeded before the observers are connected: opening writes nothing.
    nameField_->setText(meta.name);
    emojiField_->setText(icon_.kind() == SpaceIcon::Kind::emoji ? icon_.payload() : QString());
    connect(nameField_, &QLineEdit::textChanged, this, [this] { save(); });
    connect(emojiField_, &QLineEdit::textChanged, this, &EditSpaceView::emojiChanged);
    addShortcuts();

    refreshIcon();
    refreshColor();
    refreshShortcutCaption();
    refreshResetButton();
    metaChanged_ = platform::NotificationCenter::defaultCenter().observe(SpaceStore::changedNotification,
                                                                         [this] { refreshResetButton(); });
}

QWidget* EditSpaceView::makeHeader()
{
    auto* header = new QWidget;
    auto* layout = makeLayout<QHBoxLayout>(header, headerSpacing);
    if (embedded_) {
        auto* back = new IconButton(QStringLiteral("chevron.left"), backButtonSize);
        back->setObjectName(QStringLiteral("backButton"));
        connect(back, &QAbstractButton::clicked, this, &EditSpaceView::done);
        layout->addWidget(back);
    }
    QLabel* title = makeLabel(embedded_ ? QStringLiteral("Edit space") : numbered(desktop_.number),
                              Theme::displayFont(14), Theme::text());
    title->setObjectName(QStringLiteral("title"));
    layout->addWidget(title);
    layout->addStretch(1);
    QLabel* caption = makeLabel(numbered(desktop_.number), Theme::font(11), Theme::textTertiary());
    caption->setObjectName(QStringLiteral("caption"));
    layout->addWidget(caption);
    return header;
}

QWidget* EditSpaceView::makeNameRow()
{
    auto* row = new QWidget;
    auto* layout = makeLayout<QHBoxLayout>(row, nameRowSpacing);
    preview_ = new TilePreview(previewSide);
    preview_->setObjectName(QStringLiteral("preview"));
    layout->addWidget(preview_);

    nameField_ = new QLineEdit;
    nameField_->setObjectName(QStringLiteral("nameField"));
    nameField_->setPlaceholderText(numbered(desktop_.number));
    nameField_->setFont(Theme::displayFont(17));
    layout->addWidget(new DarkField(nameField_), 1);
    return row;
}

QWidget* EditSpaceView::makeColorSection()
{
    auto* section = new QWidget;
    auto* layout = makeLayout<QVBoxLayout>(section, sectionSpacing);
    layout->addWidget(new SectionHeader(QStringLiteral("Color")));
    auto* swatchRow = new QWidget;
    auto* swatchLayout = makeLayout<QHBoxLayout>(swatchRow, 0);
    for (const TileColor& choice : colorChoices()) {
        auto* swatch = new ColorSwatch(choice, swatchColor(choice));
        connect(swatch, &QAbstractButton::clicked, this, [this, choice] { setColor(choice); });
        swatchLayout->addWidget(swatch, 1);
        swatches_.append(swatch);
    }
    layout->addWidget(swatchRow);
    return section;
}

QWidget* EditSpaceView::makeIconSection()
{
    auto* section = new QWidget;
    auto* layout = makeLayout<QVBoxLayout>(section, sectionSpacing);

    auto* bar = new QWidget;
    auto* barLayout = makeLayout<QHBoxLayout>(bar, sectionSpacing);
    barLayout->addWidget(new SectionHeader(QStringLiteral("Icon")));
    barLayout->addStretch(1);
    emojiField_ = new QLineEdit;
    emojiField_->setObjectName(QStringLiteral("emojiField"));
    emojiField_->setPlaceholderText(QStringLiteral("Emoji"));
    // The emoji font first, as the tiles draw them: the system font has
    // monochrome forms of some emoji. The placeholder falls back to it.
    emojiField_->setFont(KitFonts::emoji(13));
    emojiField_->setFixedWidth(emojiFieldWidth);
    barLayout->addWidget(new DarkField(emojiField_));
    auto* emojiButton = new IconButton(QStringLiteral("face.smiling"), iconButtonSize);
    emojiButton->setObjectName(QStringLiteral("emojiButton"));
    emojiButton->setToolTip(QStringLiteral("Pick an emoji"));
    connect(emojiButton, &QAbstractButton::clicked, this, &EditSpaceView::openEmojiPicker);
    barLayout->addWidget(emojiButton);
    auto* pictureButton = new IconButton(QStringLiteral("photo"), iconButtonSize);
    pictureButton->setObjectName(QStringLiteral("pictureButton"));
    pictureButton->setToolTip(QStringLiteral("Use your own picture (PNG, JPEG, ICNS\u2026)"));
    connect(pictureButton, &QAbstractButton::clicked, this, &EditSpaceView::choosePicture);
    barLayout->addWidget(pictureButton);
    layout->addWidget(bar);

    grid_ = new QWidget;
    gridLayout_ = makeLayout<QGridLayout>(grid_, cellSpacing);
    numberCell_ = new IconCell(SpaceIcon::none(), nullptr, QStringLiteral("Number"), grid_);
    pictureCell_ = new IconCell(SpaceIcon::none(), nullptr, QStringLiteral("Your picture"), grid_);
    for (IconCell* cell : {numberCell_, pictureCell_})
        connect(cell, &QAbstractButton::clicked, this, [this, cell] { pickIcon(cell->icon()); });
    for (const QString& name : IconCatalog::symbols()) {
        const SpaceIcon symbol = SpaceIcon::symbol(name);
        auto* cell = new IconCell(symbol, Glyph::iconImage(symbol, symbolCellPoints, Theme::symbolCellIcon()),
                                  name, grid_);
        connect(cell, &QAbstractButton::clicked, this, [this, symbol] { pickIcon(symbol); });
        symbolCells_.append(cell);
    }
    layoutIconGrid();
    layout->addWidget(grid_, 0, Qt::AlignHCenter);
    return section;
}

QWidget* EditSpaceView::makeShortcutSection()
{
    auto* section = new QWidget;
    auto* layout = makeLayout<QVBoxLayout>(section, sectionSpacing);
    layout->addWidget(new SectionHeader(QStringLiteral("Shortcut")));
    auto* row = new QWidget;
    auto* rowLayout = makeLayout<QHBoxLayout>(row, shortcutSpacing);
    recorder_ = new HotkeyRecorder(hotkey_);
    connect(recorder_, &HotkeyRecorder::hotkeyChanged, this, &EditSpaceView::setHotkey);
    rowLayout->addWidget(recorder_);
    shortcutCaption_ = new ElidedLabel;
    shortcutCaption_->setFont(Theme::font(11));
    QPalette captionPalette = shortcutCaption_->palette();
    captionPalette.setColor(QPalette::WindowText, Theme::textTertiary());
    shortcutCaption_->setPalette(captionPalette);
    shortcutCaption_->setObjectName(QStringLiteral("shortcutCaption"));
    // One line: a caption longer than the room left is cut with "…".
    shortcutCaption_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    rowLayout->addWidget(shortcutCaption_, 1);
    layout->addWidget(row);
    return section;
}

QWidget* EditSpaceView::makeButtonRow()
{
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    resetButton_ = new AccentButton(QStringLiteral("Reset"), false);
    resetButton_->setObjectName(QStringLiteral("resetButton"));
    connect(resetButton_, &QAbstractButton::clicked, this, &EditSpaceView::reset);
    layout->addWidget(resetButton_);
    layout->addStretch(1);
    auto* doneButton = new AccentButton(QStringLiteral("Done"));
    doneButton->setObjectName(QStringLiteral("doneButton"));
    connect(doneButton, &QAbstractButton::clicked, this, &EditSpaceView::done);
    layout->addWidget(doneButton);
    return row;
}

void EditSpaceView::addShortcuts()
{
    // Return anywhere in the editor (the name field included) is "Done".
    // Escape is left to what holds the editor: the popover closes on it, and
    // every edit is stored already.
    const QList<QKeySequence> keys{QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)};
    for (const QKeySequence& key : keys) {
        auto* shortcut = new QShortcut(key, this);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, &EditSpaceView::done);
    }
}

QString EditSpaceView::name() const
{
    return nameField_->text();
}

QString EditSpaceView::emoji() const
{
    return emojiField_->text();
}

QColor EditSpaceView::swatchColor(const TileColor& choice) const
{
    if (choice.kind() == TileColor::Kind::palette)
        return Palette::color(choice.paletteIndex());
    return Palette::color(desktop_.number - 1);
}

void EditSpaceView::save()
{
    const QString trimmed = nameField_->text().trimmed();
    SpaceStore::shared().change(desktop_.managedID(), [&](SpaceMeta& meta) {
        meta.name = trimmed;
        meta.icon = icon_;
        meta.color = color_;
        meta.hotkey = hotkey_;
    });
}

void EditSpaceView::reset()
{
    {
        const QSignalBlocker nameBlocker(nameField_);
        const QSignalBlocker emojiBlocker(emojiField_);
        nameField_->clear();
        emojiField_->clear();
    }
    icon_ = SpaceIcon::none();
    color_ = TileColor::automatic();
    hotkey_.reset();
    recorder_->setHotkey(std::nullopt);
    save();
    refreshIcon();
    refreshColor();
    refreshShortcutCaption();
}

void EditSpaceView::done()
{
    save();
    // A copy: the caller may take the editor away when told.
    if (const std::function<void()> finish = onDone_)
        finish();
}

void EditSpaceView::choosePicture()
{
    platform::OpenPanel panel;
    panel.allowedContentTypes = pictureTypes();
    panel.allowsMultipleSelection = false;
    panel.message = QStringLiteral("Choose a picture for \u201C") + desktop_.displayName() + QStringLiteral("\u201D");
    activateApp();
    // The modal loop may take the editor away (its popover closing).
    QPointer<EditSpaceView> alive(this);
    const platform::ModalResponse response = panel.runModal();
    if (!alive || response != platform::ModalResponse::ok || panel.urls().isEmpty())
        return;

    const auto imported = Glyph::importPicture(panel.urls().first().toLocalFile(), desktop_.managedID());
    if (const auto* error = std::get_if<Glyph::ImportError>(&imported)) {
        platform::Alert alert;
        alert.messageText = QStringLiteral("Could not use that picture");
        alert.informativeText = error->description();
        alert.runModal();
        return;
    }
    icon_ = SpaceIcon::picture(std::get<QString>(imported));
    emojiField_->clear();
    save();
    refreshIcon();
}

void EditSpaceView::pickIcon(const SpaceIcon& icon)
{
    icon_ = icon;
    if (icon.kind() != SpaceIcon::Kind::emoji)
        emojiField_->clear();
    save();
    refreshIcon();
}

void EditSpaceView::setColor(const TileColor& color)
{
    if (color == color_)
        return;
    color_ = color;
    refreshColor();
    save();
}

void EditSpaceView::setHotkey(std::optional<Hotkey> hotkey)
{
    hotkey_ = hotkey;
    refreshShortcutCaption();
    save();
}

void EditSpaceView::emojiChanged(const QString& text)
{
    const QString filtered = platform::Graphemes::first(emojiOnly(text), emojiLimit);
    if (filtered != text) {
        // The field's own change brings the filtered text back here.
        emojiField_->setText(filtered);
        return;
    }
    if (filtered.isEmpty())
        return;
    icon_ = SpaceIcon::emoji(filtered);
    save();
    refreshIcon();
}

void EditSpaceView::openEmojiPicker()
{
    emojiField_->setFocus(Qt::OtherFocusReason);
    activateApp();
    runAfter(emojiPaletteDelay, [] { platform::Application::orderFrontCharacterPalette(); });
}

void EditSpaceView::layoutIconGrid()
{
    const bool showsPicture = icon_.kind() == SpaceIcon::Kind::picture;
    QList<IconCell*> shown{numberCell_};
    if (showsPicture)
        shown.append(pictureCell_);
    shown += symbolCells_;
    for (IconCell* cell : {numberCell_, pictureCell_})
        gridLayout_->removeWidget(cell);
    for (IconCell* cell : std::as_const(symbolCells_))
        gridLayout_->removeWidget(cell);
    pictureCell_->setVisible(showsPicture);
    for (qsizetype index = 0; index < shown.size(); ++index)
        gridLayout_->addWidget(shown[index], int(index / gridColumns), int(index % gridColumns));
}

void EditSpaceView::refreshIcon()
{
    const bool showsPicture = icon_.kind() == SpaceIcon::Kind::picture;
    if (showsPicture) {
        pictureCell_->setIcon(icon_);
        pictureCell_->setImage(Glyph::iconImage(icon_, pictureCellPoints, Theme::onColour()));
    }
    if (showsPicture != pictureCell_->isVisibleTo(grid_))
        layoutIconGrid();
    numberCell_->setSelected(icon_ == numberCell_->icon());
    pictureCell_->setSelected(showsPicture);
    for (IconCell* cell : std::as_const(symbolCells_))
        cell->setSelected(icon_ == cell->icon());
    refreshPreview();
}

void EditSpaceView::refreshColor()
{
    for (ColorSwatch* swatch : std::as_const(swatches_))
        swatch->setSelected(swatch->choice() == color_);
    // Transparent has no fill to show; the number cell keeps the desktop's
    // automatic colour.
    const TileColor numberColor = color_.kind() == TileColor::Kind::transparent ? TileColor::automatic() : color_;
    numberCell_->setImage(Glyph::tileImage(desktop_.number, SpaceIcon::none(), numberColor, std::nullopt,
                                           numberCellSide));
    refreshPreview();
}

void EditSpaceView::refreshPreview()
{
    preview_->setTile(Glyph::tileImage(desktop_.number, icon_, color_, std::nullopt, previewSide),
                      swatchColor(color_));
}

void EditSpaceView::refreshShortcutCaption()
{
    shortcutCaption_->setFullText(hotkey_ ? KeyNames::describe(*hotkey_) : QStringLiteral("Jump here from anywhere"));
}

void EditSpaceView::refreshResetButton()
{
    resetButton_->setVisible(desktop_.isCustomized());
}

void EditSpaceView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Theme::canvas());
}

void EditSpaceView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    nameField_->setFocus(Qt::OtherFocusReason);
}
