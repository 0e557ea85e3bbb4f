#pragma once

#include "engine/Desktop.h"
#include "platform/NotificationCenter.h"
#include "store/Hotkey.h"
#include "store/SpaceIcon.h"
#include "store/TileColor.h"

#include <QList>
#include <QWidget>

#include <functional>
#include <optional>

class ColorSwatch;
class ElidedLabel;
class HotkeyRecorder;
class IconCell;
class QGridLayout;
class QLabel;
class QLineEdit;
class QAbstractButton;
class TilePreview;

// The editor of one desktop: name, icon (the number, a catalog symbol, an
// emoji or the user's own picture), tile colour and own shortcut. Every edit
// is written to the names store the moment it is made; there is no Cancel.
// "Done" (also Return, and in the popover the back button) saves once more
// and hands back to whoever shows the editor. Escape is left to the holder.
//
// The initial values are read from the store once; later changes made
// elsewhere do not reach a shown editor.
class EditSpaceView : public QWidget {
    Q_OBJECT
public:
    // QWidget::width() takes the plain name.
    static constexpr int editorWidth = 350;
    static constexpr int margin = 18;
    static constexpr int cellSize = 26;
    static constexpr int cellSpacing = 6;
    static constexpr int gridColumns = 10;

    // Automatic, the ten palette colours, transparent.
    static const QList<TileColor>& colorChoices();

    // embedded: a page of the menu-bar popover, with a back button.
    explicit EditSpaceView(const Desktop& desktop, bool embedded = false, std::function<void()> onDone = {},
                           QWidget* parent = nullptr);

    const Desktop& desktop() const { return desktop_; }
    QString name() const;
    const SpaceIcon& icon() const { return icon_; }
    const TileColor& color() const { return color_; }
    QString emoji() const;
    const std::optional<Hotkey>& hotkey() const { return hotkey_; }

    // Writes the current state to the names store (the name trimmed).
    void save();
    // Clears name, icon, colour and shortcut and saves; tracked time stays.
    void reset();
    void done();
    void choosePicture();
    void pickIcon(const SpaceIcon& icon);
    void setColor(const TileColor& color);
    void emojiChanged(const QString& text);
    void openEmojiPicker();

    // The colour a choice is shown in (the automatic colour of the desktop
    // for automatic and transparent).
    QColor swatchColor(const TileColor& choice) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QWidget* makeHeader();
    QWidget* makeNameRow();
    QWidget* makeColorSection();
    QWidget* makeIconSection();
    QWidget* makeShortcutSection();
    QWidget* makeButtonRow();
    void addShortcuts();

    void layoutIconGrid();
    void refreshIcon();
    void refreshColor();
    void refreshShortcutCaption();
    void refreshResetButton();
    void refreshPreview();
    void setHotkey(std::optional<Hotkey> hotkey);

    Desktop desktop_;
    bool embedded_;
    std::function<void()> onDone_;
    SpaceIcon icon_;
    TileColor color_;
    std::optional<Hotkey> hotkey_;

    TilePreview* preview_ = nullptr;
    QLineEdit* nameField_ = nullptr;
    QLineEdit* emojiField_ = nullptr;
    QList<ColorSwatch*> swatches_;
    QWidget* grid_ = nullptr;
    QGridLayout* gridLayout_ = nullptr;
    IconCell* numberCell_ = nullptr;
    // Shown only while the icon is a picture.
    IconCell* pictureCell_ = nullptr;
    QList<IconCell*> symbolCells_;
    HotkeyRecorder* recorder_ = nullptr;
    ElidedLabel* shortcutCaption_ = nullptr;
    QAbstractButton* resetButton_ = nullptr;
    platform::NotificationCenter::Subscription metaChanged_;
};
