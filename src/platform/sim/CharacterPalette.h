#pragma once

#include <QStringList>
#include <QWidget>

namespace platform::sim {

// The emoji palette: a small window that never takes the keyboard focus, so
// a pick is typed into whatever text field had it; a pick closes it.
class CharacterPalette : public QWidget {
public:
    CharacterPalette();

    const QStringList& characters() const { return characters_; }
    // Types characters into the focused widget of the app.
    static void type(const QString& characters);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    static QStringList emojiCharacters();
    int rows() const;

    QStringList characters_;
};

} // namespace platform::sim
