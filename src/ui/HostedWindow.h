#pragma once

#include <QObject>
#include <QPointer>
#include <QSizeF>
#include <QString>

#include <optional>

class QWidget;

// The one kind of ordinary window the app opens (settings, welcome): titled
// and closable with a transparent, title-less title bar, dark, on the canvas
// colour, never resizable, its whole content one widget. Closing hides it;
// the window and its content live as long as the HostedWindow.
class HostedWindow : public QObject {
    Q_OBJECT
public:
    static constexpr quint32 titledMask = 0x1;
    static constexpr quint32 closableMask = 0x2;
    static constexpr quint32 miniaturizableMask = 0x4;
    static constexpr quint32 fullSizeContentViewMask = 0x8000;

    // size absent: the size the content asks for. autosaveName absent: the
    // frame is not remembered. Does not show the window.
    HostedWindow(QWidget* rootView, std::optional<QSizeF> size = std::nullopt,
                 std::optional<QString> autosaveName = std::nullopt, bool miniaturizable = false);
    ~HostedWindow() override;

    QWidget* window() const { return window_; }
    QWidget* rootView() const { return rootView_; }

    // Brings the window to the front, makes it key with no text field
    // focused, and activates the app.
    void show();
    bool isVisible() const;
    void close();

    quint32 styleMask() const { return styleMask_; }
    std::optional<QString> autosaveName() const { return autosaveName_; }
    QString appearanceName() const;
    bool titlebarAppearsTransparent() const { return true; }
    bool titleHidden() const { return true; }
    bool isMovableByWindowBackground() const { return true; }
    bool isReleasedWhenClosed() const { return false; }
    bool isResizable() const { return false; }

    // The user-defaults key a frame is remembered under.
    static QString frameKey(const QString& autosaveName);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void centre();
    void restoreFrame();
    void saveFrame() const;

    QWidget* window_;
    QWidget* rootView_;
    quint32 styleMask_;
    std::optional<QString> autosaveName_;
};
