#pragma once

#include "ui/Transition.h"

#include <QPointer>
#include <QWidget>

class QScrollArea;

// A vertical scroll view for long pages that hints at content below the
// visible area: while the content's bottom lies more than 2 points below the
// view's bottom edge, a 44-point fade into the canvas colour covers the
// bottom of the view (fading in and out over 0.15 s); it takes no clicks.
// When the environment renders flat, the content is shown alone, without
// scrolling or fade, at its natural height from the top (cut at the bottom
// when the view is shorter).
class HintedScrollView : public QWidget {
    Q_OBJECT
public:
    static constexpr double fadeHeight = 44;
    static constexpr double tolerance = 2;
    static constexpr double fadeDuration = 0.15;

    explicit HintedScrollView(QWidget* content, QWidget* parent = nullptr);
    ~HintedScrollView() override;

    QWidget* content() const { return content_; }
    bool moreBelow() const { return moreBelow_; }
    // The fade's current opacity, 0 to 1.
    double fadeOpacity() const { return fade_.value(); }
    bool isFlat() const;
    // Null while flat.
    QScrollArea* scrollArea() const;
    QSize sizeHint() const override;

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    class Fade;

    void applyEnvironment();
    void becomeFlat();
    void becomeScrolling();
    void placeFlatContent();
    // The content's height at width, within its minimum and maximum.
    int naturalHeight(int width) const;
    void measure();
    void placeFade();

    QPointer<QWidget> content_;
    QPointer<QScrollArea> scroll_;
    QPointer<Fade> fadeView_;
    bool moreBelow_ = false;
    Transition fade_;
};
