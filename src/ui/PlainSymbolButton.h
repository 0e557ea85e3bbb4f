#pragma once

#include <QAbstractButton>
#include <QColor>

// A symbol that acts as a button, without any button chrome.
class PlainSymbolButton : public QAbstractButton {
    Q_OBJECT
public:
    PlainSymbolButton(const QString& symbolName, double pointSize, const QColor& color, QWidget* parent = nullptr);

    QString symbolName() const { return symbolName_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString symbolName_;
    double pointSize_;
    QColor color_;
};
