#pragma once

#include "missioncontrol/Pill.h"
#include "missioncontrol/PillPainter.h"
#include "platform/Layer.h"

#include <QList>
#include <QRegion>
#include <QWidget>

#include <functional>
#include <map>
#include <optional>

class Settings;

// Shows a set of pills as layers and moves them smoothly from one layout
// pass to the next: one layer per desktop, measured from the settings,
// placed over or under its button, its picture from the painter. New pills
// slide down by the bar's height while fading in; known ones move (a nudge
// under 24 pt is linear in 0.06 s, longer moves ease in and out over 0.28 s);
// a fade-out lifts them 60 pt while they vanish. The geometry is y up; the
// layers are painted by this widget, sampled on the scheduler's clock.
// Main thread only.
class PillsView : public QWidget {
    Q_OBJECT

public:
    static constexpr double labelTextLimit = 260;
    static constexpr double thumbnailInset = 16;
    static constexpr double thumbnailTextFloor = 60;
    static constexpr double insideLift = 6;
    static constexpr double baseHeight = 21;
    static constexpr double fontSize = 11.5;
    static constexpr double padding = 9;
    static constexpr double glyphSize = 13;
    static constexpr double glyphGap = 5;
    static constexpr double moveDuration = 0.28;
    static constexpr double nudgeDuration = 0.06;
    static constexpr double nudgeDistance = 24;
    static constexpr double fadeDuration = 0.224;
    static constexpr double fadeRise = 60;
    // Without a window the view draws for a Retina screen.
    static constexpr double defaultBackingScale = 2.0;

    // 2 on the WindowManager host, else 10: added to the label width for the
    // smallest pill width.
    static double labelOverhang();
    // The label box height on the WindowManager host, else 0.
    static double minLabelHeight();

    explicit PillsView(Settings& settings, QWidget* parent = nullptr);

    // Shows exactly these pills (one layer per desktop id).
    void setPills(const QList<Pill>& pills, bool animated);
    // Removes every pill and calls completion once they are gone.
    void fadeOut(bool animated, std::function<void()> completion);

    // The window's backing scale, set by the panel the view lives in.
    void setWindowBackingScale(std::optional<double> scale) { windowScale_ = scale; }
    double backingScale() const { return windowScale_.value_or(defaultBackingScale); }

    // Where the pills are on screen at time t (their rounded shapes without
    // the shadow margin), in this view's coordinates; empty without pills.
    QRegion shape(double t) const;

    // What is shown, for the panel and the tests.
    const std::map<quint64, platform::Layer::Ptr>& layers() const { return layers_; }
    const platform::Layer& rootLayer() const { return *root_; }
    PillPainter& painter() { return painter_; }
    // The metrics and text of the last update per desktop id.
    struct Measured {
        PillMetrics metrics;
        QString text;
        bool hasGlyph = false;
    };
    const std::map<quint64, Measured>& measured() const { return measured_; }

signals:
    // The pills were set, moved a frame, or went.
    void presentationChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void keepPainting();
    void presentationMoved();

    Settings& settings_;
    platform::Layer::Ptr root_;
    std::map<quint64, platform::Layer::Ptr> layers_;
    std::map<quint64, Measured> measured_;
    PillPainter painter_;
    std::optional<double> windowScale_;
    bool framePending_ = false;
};
