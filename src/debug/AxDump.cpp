#include "debug/AxDump.h"

#include "missioncontrol/MissionControlDetector.h"
#include "platform/MouseEvents.h"
#include "platform/Scheduler.h"
#include "platform/Workspace.h"
#include "store/Timers.h"

#include <QLocale>
#include <QPointF>
#include <QRectF>
#include <QRegularExpression>
#include <QSizeF>
#include <QTextBoundaryFinder>
#include <QUrl>

#include <cmath>
#include <unordered_set>
#include <vector>

namespace AX = platform::AX;

namespace {

// Ticks land on their due times only up to the rounding of the clock's
// seconds (a microsecond per ten ticks); a tick due at a limit counts as at
// it. Far below the 0.1 s between ticks.
constexpr double clockSlack = 1e-3;

const QString roleAttribute = QStringLiteral("AXRole");
const QString childrenAttribute = QStringLiteral("AXChildren");
const QString parentAttribute = QStringLiteral("AXParent");

std::optional<QVariant> read(const AX::Element& element, const QString& attribute)
{
    QVariant value;
    if (AX::copyAttributeValue(element, attribute, &value) != AX::Error::success || !value.isValid())
        return std::nullopt;
    return value;
}

std::optional<QString> readText(const AX::Element& element, const QString& attribute)
{
    const auto value = read(element, attribute);
    if (!value || value->typeId() != QMetaType::QString)
        return std::nullopt;
    return value->toString();
}

// Every entry must be an element; anything else reads as no children.
QList<AX::Element> readChildren(const AX::Element& element)
{
    const auto value = read(element, childrenAttribute);
    if (!value || value->typeId() != QMetaType::QVariantList)
        return {};
    QList<AX::Element> children;
    for (const QVariant& entry : value->toList()) {
        if (entry.typeId() != qMetaTypeId<AX::Element>())
            return {};
        children.append(entry.value<AX::Element>());
    }
    return children;
}

// "x,y wxh" from a point and a size value; "-" unless both read as such.
QString frameText(const AX::Element& element)
{
    const auto position = read(element, QStringLiteral("AXPosition"));
    const auto size = read(element, QStringLiteral("AXSize"));
    if (!position || !size || AX::valueGetType(*position) != AX::ValueType::cgPoint
        || AX::valueGetType(*size) != AX::ValueType::cgSize)
        return QStringLiteral("-");
    const QPointF at = position->toPointF();
    const QSizeF extent = size->toSizeF();
    return QString::asprintf("%.0f,%.0f %.0fx%.0f", at.x(), at.y(), extent.width(), extent.height());
}

QString plainNumber(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

QString describe(const QVariant& value)
{
    switch (AX::valueGetType(value)) {
    case AX::ValueType::cgPoint: {
        const QPointF point = value.toPointF();
        return QStringLiteral("(%1, %2)").arg(ModeOutput::number(point.x()), ModeOutput::number(point.y()));
    }
    case AX::ValueType::cgSize: {
        const QSizeF size = value.toSizeF();
        return QStringLiteral("(%1, %2)").arg(ModeOutput::number(size.width()), ModeOutput::number(size.height()));
    }
    case AX::ValueType::cgRect: return ModeOutput::tuple(value.toRectF());
    case AX::ValueType::illegal: break;
    }
    if (value.typeId() == qMetaTypeId<AX::Element>())
        return QStringLiteral("<AXUIElement %1>").arg(value.value<AX::Element>().handle());
    switch (value.typeId()) {
    case QMetaType::Bool: return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QMetaType::Double:
    case QMetaType::Float: return plainNumber(value.toDouble());
    case QMetaType::QUrl: return value.toUrl().toString();
    case QMetaType::QVariantList: {
        QStringList items;
        for (const QVariant& item : value.toList())
            items.append(describe(item));
        return QLatin1Char('[') + items.join(QStringLiteral(", ")) + QLatin1Char(']');
    }
    case QMetaType::QVariantMap: {
        const QVariantMap map = value.toMap();
        if (map.isEmpty())
            return QStringLiteral("[:]");
        QStringList items;
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            items.append(it.key() + QStringLiteral(": ") + describe(it.value()));
        return QLatin1Char('[') + items.join(QStringLiteral(", ")) + QLatin1Char(']');
    }
    default: return value.toString();
    }
}

// The first limit characters (whole grapheme clusters) of text.
QString firstCharacters(const QString& text, qsizetype limit)
{
    if (text.size() <= limit)
        return text;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    qsizetype end = 0;
    while (count < limit) {
        const qsizetype next = finder.toNextBoundary();
        if (next < 0)
            return text;
        end = next;
        ++count;
    }
    return text.left(end);
}

// One element's line (and its attribute lines); answers its children.
QList<AX::Element> visit(const AX::Element& element, qint64 level, bool attrs, bool loopsBack, AxDump::Tree& tree)
{
    const QString frame = frameText(element);
    const QList<AX::Element> children = readChildren(element);
    const QString role = readText(element, roleAttribute).value_or(QStringLiteral("?"));
    for (const QString& attribute : {QStringLiteral("AXIdentifier"), QStringLiteral("AXTitle"),
                                     QStringLiteral("AXDescription")}) {
        const auto text = readText(element, attribute);
        if (text && !text->isEmpty() && !tree.index.contains(*text))
            tree.index.insert(*text, element);
    }
    QString line = QString(int(level) * 2, QLatin1Char(' ')) + role
        + AxDump::stringAttribute(element, QStringLiteral("AXSubrole"), QStringLiteral("sub"))
        + AxDump::stringAttribute(element, QStringLiteral("AXIdentifier"), QStringLiteral("id"))
        + AxDump::stringAttribute(element, QStringLiteral("AXDescription"), QStringLiteral("desc"))
        + AxDump::stringAttribute(element, QStringLiteral("AXTitle"), QStringLiteral("title")) + QLatin1Char(' ')
        + frame;
    if (!children.isEmpty())
        line += QStringLiteral(" children=") + QString::number(children.size());
    if (loopsBack)
        line += QStringLiteral(" (loops back to an ancestor; not walked again)");
    tree.characters += line.size();
    tree.lines.append(line);
    ++tree.elements;
    if (attrs) {
        QStringList names;
        if (AX::copyAttributeNames(element, &names) != AX::Error::success)
            names.clear();
        const QString indent(int(level + 2) * 2, QLatin1Char(' '));
        for (const QString& name : names) {
            if (name == childrenAttribute || name == parentAttribute)
                continue;
            const QString attributeLine =
                indent + name + QStringLiteral(" = ") + AxDump::valueText(read(element, name));
            tree.characters += attributeLine.size();
            tree.lines.append(attributeLine);
        }
    }
    return children;
}

} // namespace

AxDump::AxDump(Options options, QStringList arguments, ModeOutput::LineSink sink, ModeOutput::Exit exit)
    : options_(std::move(options))
    , arguments_(std::move(arguments))
    , sink_(std::move(sink))
    , exit_(std::move(exit))
{
    const bool trusted = AX::isProcessTrustedWithOptions(false);
    QString header = QStringLiteral("trusted=%1 app=%2 depth=%3 screens=%4")
                         .arg(trusted ? QStringLiteral("true") : QStringLiteral("false"), options_.app,
                              QString::number(options_.depth), ModeOutput::screenFrames());
    if (!options_.now)
        header += QStringLiteral(" — waiting up to 10 s for Mission Control");
    sink_(header);
    reference_ = platform::now();
    timer_ = RepeatingTimer::start(tickInterval, 0.0, [this] { tick(); });
}

AxDump::~AxDump() = default;

// --- options ---------------------------------------------------------------------------------

AxDump::Options AxDump::optionsFrom(const QStringList& arguments)
{
    return Options{
        .app = ModeOutput::valueAfter(QStringLiteral("--app"), arguments).value_or(QStringLiteral("com.apple.dock")),
        .depth = depthFrom(ModeOutput::valueAfter(QStringLiteral("--depth"), arguments)),
        .now = ModeOutput::hasFlag(QStringLiteral("--now"), arguments),
        .press = ModeOutput::valueAfter(QStringLiteral("--press"), arguments),
        .attrs = ModeOutput::hasFlag(QStringLiteral("--attrs"), arguments),
        .mouse = ModeOutput::valueAfter(QStringLiteral("--mouse"), arguments),
    };
}

qint64 AxDump::depthFrom(const std::optional<QString>& text)
{
    static const QRegularExpression wholeNumber(QStringLiteral("^[+-]?[0-9]+$"));
    if (!text || !wholeNumber.match(*text).hasMatch())
        return defaultDepth;
    bool ok = false;
    const qint64 depth = text->toLongLong(&ok);
    return ok ? depth : defaultDepth;
}

std::optional<QPointF> AxDump::pointFrom(const QString& text)
{
    QList<double> numbers;
    for (const QString& piece : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool ok = false;
        const double value = QLocale::c().toDouble(piece, &ok);
        // NaN, infinity and points far beyond any arrangement of screens
        // are no place to move the pointer to.
        if (ok && std::isfinite(value) && std::abs(value) <= coordinateLimit)
            numbers.append(value);
    }
    if (numbers.size() != 2)
        return std::nullopt;
    return QPointF(numbers[0], numbers[1]);
}

// --- ticks -----------------------------------------------------------------------------------

void AxDump::tick()
{
    const double elapsed = platform::now() - reference_;
    const bool open = MissionControlDetector::isMissionControlOpen();
    if (!options_.now && !open && !(elapsed > waitLimit + clockSlack))
        return;
    if (options_.mouse && !pointerStep(elapsed))
        return;
    dump(open, elapsed);
}

bool AxDump::pointerStep(double elapsed)
{
    if (pointerStepDone_)
        return !(elapsed < pointerSettle - clockSlack);
    pointerStepDone_ = true;
    if (const auto point = pointFrom(*options_.mouse)) {
        platform::MouseEvents::warpMouseCursorPosition(*point);
        if (ModeOutput::hasFlag(QStringLiteral("--mouse-event"), arguments_))
            platform::MouseEvents::postEvent(platform::MouseEventType::mouseMoved, *point);
        QString clicked;
        std::optional<platform::MouseEventType> down;
        platform::MouseEventType up = platform::MouseEventType::leftMouseUp;
        if (ModeOutput::hasFlag(QStringLiteral("--right-click"), arguments_)) {
            down = platform::MouseEventType::rightMouseDown;
            up = platform::MouseEventType::rightMouseUp;
            clicked = QStringLiteral(", right-clicked");
        } else if (ModeOutput::hasFlag(QStringLiteral("--click"), arguments_)) {
            down = platform::MouseEventType::leftMouseDown;
            clicked = QStringLiteral(", clicked");
        }
        if (down) {
            platform::MouseEvents::postEvent(*down, *point);
            const QPointF at = *point;
            runAfter(buttonUpDelay, [up, at] { platform::MouseEvents::postEvent(up, at); });
        }
        sink_(QStringLiteral("pointer moved to (%1, %2)")
                  .arg(ModeOutput::number(point->x()), ModeOutput::number(point->y()))
              + clicked);
    } else {
        sink_(QStringLiteral("pointer not moved: '%1' is not two numbers x,y").arg(*options_.mouse));
    }
    reference_ = platform::now() + pointerSettle - elapsed;
    return false;
}

void AxDump::dump(bool open, double elapsed)
{
    timer_->invalidate();
    sink_(QString::asprintf("missionControlOpen=%d after %.1f s", open ? 1 : 0, elapsed));
    const QList<platform::RunningApplication> apps = platform::Workspace::runningApplications(options_.app);
    if (apps.isEmpty()) {
        sink_(QStringLiteral("no process with bundle id ") + options_.app);
        exit_(1);
        return;
    }
    const platform::RunningApplication& app = apps.first();
    sink_(QStringLiteral("pid=%1 %2").arg(app.processIdentifier).arg(app.localizedName.value_or(QString())));
    const Tree tree = walk(AX::createApplication(app.processIdentifier), options_.depth, options_.attrs);
    sink_(tree.lines.join(QLatin1Char('\n')));
    if (tree.stoppedAtLimit)
        sink_(QStringLiteral("stopped after %1 elements; the rest of the tree is left out").arg(tree.elements));
    if (options_.press) {
        const QString prefix = QStringLiteral("press '%1': ").arg(*options_.press);
        const auto target = tree.index.constFind(*options_.press);
        if (target == tree.index.constEnd()) {
            sink_(prefix + QStringLiteral("no such identifier or title"));
        } else {
            const AX::Error result = AX::performAction(target.value(), QStringLiteral("AXPress"));
            sink_(prefix
                  + (result == AX::Error::success ? QStringLiteral("ok")
                                                  : QStringLiteral("error ") + QString::number(qint32(result))));
        }
    }
    sink_(QStringLiteral("done: %1 elements").arg(tree.lines.size()));
    exit_(0);
}

// --- the walk --------------------------------------------------------------------------------

AxDump::Tree AxDump::walk(const AX::Element& root, qint64 depth, bool attrs)
{
    // Depth first, parent before children, on a stack of its own: a deep
    // tree cannot exhaust the call stack.
    struct Frame {
        AX::Element element;
        QList<AX::Element> children;
        qsizetype next = 0;
        qint64 level = 0;
    };
    Tree tree;
    std::unordered_set<quint64> path{root.handle()};
    std::vector<Frame> stack;
    stack.push_back({root, visit(root, 0, attrs, false, tree), 0, 0});
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.level >= depth || top.next >= top.children.size()) {
            path.erase(top.element.handle());
            stack.pop_back();
            continue;
        }
        if (tree.elements >= elementLimit || tree.characters >= textLimit) {
            tree.stoppedAtLimit = true;
            break;
        }
        const AX::Element child = top.children[top.next++];
        const qint64 level = top.level + 1;
        const bool loopsBack = path.count(child.handle()) > 0;
        QList<AX::Element> children = visit(child, level, attrs, loopsBack, tree);
        if (!loopsBack) {
            path.insert(child.handle());
            stack.push_back({child, std::move(children), 0, level});
        }
    }
    return tree;
}

QString AxDump::stringAttribute(const AX::Element& element, const QString& attribute, const QString& label)
{
    const auto text = readText(element, attribute);
    if (!text)
        return {};
    return QLatin1Char(' ') + label + QStringLiteral("='") + *text + QLatin1Char('\'');
}

QString AxDump::valueText(const std::optional<QVariant>& value)
{
    if (!value || !value->isValid())
        return QStringLiteral("nil");
    QString text = describe(*value);
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    for (const QChar lineBreak : {QChar(u'\n'), QChar(u'\r'), QChar(0x2028), QChar(0x2029), QChar(0x0085)})
        text.replace(lineBreak, QLatin1Char(' '));
    return firstCharacters(text, valueTextLimit);
}

void runAccessibilityDump(const QString& logPath, const AxDump::Options& options, const QStringList& arguments,
                          ModeOutput::Exit exit)
{
    ModeOutput::keepUntilExit(
        std::make_shared<AxDump>(options, arguments, ModeOutput::logSink(logPath), std::move(exit)));
}
