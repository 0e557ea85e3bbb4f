#pragma once

#include "platform/Accessibility.h"

#include <QFont>
#include <QList>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <utility>

class Accessibility;

// Reads the accessibility tree that Mission Control's host process publishes
// for the spaces bar (one strip of desktop buttons per display) and turns it
// into plain rows: the bar's frame and each button's label and frame. It
// also presses a button and relays the host's notifications to one handler.
//
// Reads never report errors: a failed or mistyped read is an absent value
// and the reader goes on with what it has; every request is bounded by a
// 0.25 s messaging timeout. Frames are accessibility coordinates (origin at
// the top-left of the primary display, y down). Main thread only.
class DockAccess {
public:
    struct Item {
        platform::AX::Element element;
        // The button's label as the host shows it ("Desktop 3").
        QString description;
        // On the WindowManager host: the thumbnail, or the label box under
        // the button (see windowManagerFrame).
        QRectF frame;

        std::optional<qint64> desktopNumber() const { return DockAccess::desktopNumber(description); }
    };

    struct Row {
        quint32 displayID = 0;
        // None when the bar's frame cannot be read.
        std::optional<QRectF> bar;
        QList<Item> items;
    };

    using Handler = std::function<void(const QString&)>;

    static constexpr double labelBoxHeight = 23;
    static constexpr double labelGap = 1;
    static constexpr float messagingTimeout = 0.25f;
    static constexpr int searchDepth = 3;
    // Thumbnail insets inside a WindowManager button.
    static constexpr double insetTop = 10.5;
    static constexpr double insetLeft = 12.5;
    static constexpr double insetBottom = 20.5;
    static constexpr double insetRight = 12.5;

    static const QStringList& notifications();
    static const QStringList& itemAttributes();
    // 24 on the WindowManager host, else 10.
    static double labelPadding();
    static QFont labelFont();

    explicit DockAccess(Accessibility& access);
    ~DockAccess();
    DockAccess(const DockAccess&) = delete;
    DockAccess& operator=(const DockAccess&) = delete;

    // Stores the handler and connects (which installs the observer when it can).
    void observe(Handler handler);
    // The host's application element, reconnecting when the host's pid
    // changed; none when no host process runs.
    std::optional<platform::AX::Element> connect();
    // One row per display found; empty without a host or a readable tree.
    QList<Row> rows();
    // True exactly when "AXPress" reports success.
    bool press(const Item& item);
    // The observer's callback body.
    void deliver(const QString& notification);

    qint32 pid() const { return pid_; }
    bool hasObserver() const { return !observer_.isNull(); }
    qsizetype cachedBarCount() const { return cachedBars_.size(); }

    static double labelWidth(qint64 desktop);
    // ceil(text width in labelFont) + labelPadding.
    static double labelWidth(const QString& text);
    // The trailing run of ASCII digits of a label; none when the label ends
    // in no numeric character, in another script's digits, or in a value
    // beyond 64 bits.
    static std::optional<qint64> desktopNumber(const QString& label);
    // The WindowManager host reports a button's centre: (x, y, w, h) is the
    // reported position and size.
    static QRectF windowManagerFrame(const QRectF& reported, const std::optional<QRectF>& bar, double labelWidth);

    // Parsers shared with the tests.
    static std::optional<QRectF> frameOf(const QVariant& position, const QVariant& size);
    static std::optional<quint32> displayIDOf(const QVariant& value);

private:
    using Element = platform::AX::Element;

    std::optional<Row> readRow(const Element& list, quint32 displayID) const;
    QList<Item> readItems(const QList<Element>& children, const std::optional<QRectF>& bar) const;
    QList<Row> rowsPerDisplay(const QList<Element>& displays, const Element& mc);
    std::optional<Element> findSpaces(const Element& element, int depth) const;
    std::optional<Element> spacesListOf(const Element& owner);
    void dropObserver();

    Accessibility& access_;
    std::optional<Element> application_;
    qint32 pid_ = 0;
    QList<std::pair<quint32, Element>> cachedBars_;
    platform::AX::Observer observer_;
    Handler handler_;
};
