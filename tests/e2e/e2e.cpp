#include "e2e.h"

#include "head/eyeinfo.h"
#include "head/geometry.h"
#include "head/outline.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QtTest>
#include <algorithm>
#include <memory>
#include <xcb/shape.h>

namespace e2e {

namespace {

template <typename T> std::unique_ptr<T, decltype(&free)> own(T *reply)
{
    return { reply, &free };
}

Window root()
{
    return xcb_setup_roots_iterator(xcb_get_setup(connection())).data->root;
}

xcb_atom_t atom(const char *name)
{
    auto reply = own(xcb_intern_atom_reply(
        connection(), xcb_intern_atom(connection(), 0, uint16_t(strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

QString atomName(xcb_atom_t value)
{
    auto reply = own(
        xcb_get_atom_name_reply(connection(), xcb_get_atom_name(connection(), value), nullptr));
    return reply ? QString::fromLatin1(
               xcb_get_atom_name_name(reply.get()), xcb_get_atom_name_name_length(reply.get()))
                 : QString();
}

QList<quint32> property32(Window window, const char *property, xcb_atom_t type)
{
    auto reply = own(xcb_get_property_reply(connection(),
        xcb_get_property(connection(), 0, window, atom(property), type, 0, 1024), nullptr));
    if (!reply || reply->format != 32)
        return {};
    const auto *values = static_cast<const quint32 *>(xcb_get_property_value(reply.get()));
    return { values, values + xcb_get_property_value_length(reply.get()) / 4 };
}

QList<Window> children(Window parent)
{
    auto reply
        = own(xcb_query_tree_reply(connection(), xcb_query_tree(connection(), parent), nullptr));
    if (!reply)
        return {};
    const Window *list = xcb_query_tree_children(reply.get());
    return { list, list + xcb_query_tree_children_length(reply.get()) };
}

// Pupil red: the head's skin, hair and lips are nowhere near as saturated.
bool isPupilColour(QRgb c)
{
    return qRed(c) >= 96 && qRed(c) - qGreen(c) >= 64 && qRed(c) - qBlue(c) >= 64;
}

constexpr QSize PupilSize { PupilPictureSize.width,
    PupilPictureSize.height }; // the bottom row is transparent

// Near enough: within a client pixel on each axis, and within two device
// pixels in all once a client pixel is more than one.
bool nearPupil(QPoint found, QPoint expected, int scale)
{
    const QPoint off = found - expected * scale;
    return qAbs(off.x()) <= scale && qAbs(off.y()) <= scale
        && (scale == 1 || off.manhattanLength() <= 2);
}

bool pupilsAt(Window head, const std::array<QPoint, 2> &expected, QString *seen, int scale)
{
    const QImage shot = grab(clientRect(head));
    bool near = true;
    QStringList found;
    for (int eye = 0; eye < 2; ++eye) {
        const std::optional<QPoint> pupil = findPupil(shot, eye, scale);
        near = near && pupil && nearPupil(*pupil, expected[eye], scale);
        found << (pupil ? QStringLiteral("(%1,%2)").arg(pupil->x()).arg(pupil->y())
                        : QStringLiteral("none"));
    }
    *seen = QStringLiteral("pupils at %1, expected (%2,%3) (%4,%5)")
                .arg(found.join(u' '))
                .arg(expected[0].x() * scale)
                .arg(expected[0].y() * scale)
                .arg(expected[1].x() * scale)
                .arg(expected[1].y() * scale);
    return near;
}

} // namespace

xcb_connection_t *connection()
{
    return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
}

UnmapCounter::UnmapCounter(Window window)
    : m_window(window)
{
    const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection(), window, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection());
    qApp->installNativeEventFilter(this);
}

UnmapCounter::~UnmapCounter()
{
    qApp->removeNativeEventFilter(this);
}

bool UnmapCounter::nativeEventFilter(const QByteArray &, void *message, qintptr *)
{
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    if ((event->response_type & 0x7f) == XCB_UNMAP_NOTIFY
        && reinterpret_cast<const xcb_unmap_notify_event_t *>(event)->window == m_window)
        ++m_count;
    return false;
}

QRect clientRect(Window window)
{
    auto geometry = own(
        xcb_get_geometry_reply(connection(), xcb_get_geometry(connection(), window), nullptr));
    auto origin = own(xcb_translate_coordinates_reply(
        connection(), xcb_translate_coordinates(connection(), window, root(), 0, 0), nullptr));
    if (!geometry || !origin)
        return {};
    return { origin->dst_x, origin->dst_y, geometry->width, geometry->height };
}

QRect frameRect(Window window)
{
    for (;;) {
        auto tree = own(
            xcb_query_tree_reply(connection(), xcb_query_tree(connection(), window), nullptr));
        if (!tree)
            return {};
        if (tree->parent == tree->root)
            return clientRect(window);
        window = tree->parent;
    }
}

bool isViewable(Window window)
{
    auto attributes = own(xcb_get_window_attributes_reply(
        connection(), xcb_get_window_attributes(connection(), window), nullptr));
    return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
}

QStringList atomNames(Window window, const char *property)
{
    QStringList names;
    for (quint32 value : property32(window, property, XCB_ATOM_ATOM))
        names << atomName(value);
    return names;
}

bool hasStates(Window window, const QStringList &states, QString *seen)
{
    const QStringList held = atomNames(window, "_NET_WM_STATE");
    if (seen)
        *seen = QStringLiteral("_NET_WM_STATE: ") + held.join(u' ');
    return std::all_of(states.begin(), states.end(),
        [&held](const QString &state) { return held.contains(state); });
}

bool isAbove(Window window)
{
    return hasStates(window, { QStringLiteral("_NET_WM_STATE_ABOVE") });
}

QList<quint32> cardinals(Window window, const char *property)
{
    return property32(window, property, XCB_ATOM_CARDINAL);
}

QRegion shape(Window window, int kind)
{
    auto reply = own(xcb_shape_get_rectangles_reply(
        connection(), xcb_shape_get_rectangles(connection(), window, uint8_t(kind)), nullptr));
    QRegion region;
    if (!reply)
        return region;
    const xcb_rectangle_t *r = xcb_shape_get_rectangles_rectangles(reply.get());
    for (int i = 0; i < xcb_shape_get_rectangles_rectangles_length(reply.get()); ++i)
        region += QRect(r[i].x, r[i].y, r[i].width, r[i].height);
    return region;
}

QPoint pointer()
{
    auto reply = own(
        xcb_query_pointer_reply(connection(), xcb_query_pointer(connection(), root()), nullptr));
    return reply ? QPoint(reply->root_x, reply->root_y) : QPoint(-1, -1);
}

Window activeWindow()
{
    const QList<quint32> active = property32(root(), "_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW);
    return active.isEmpty() ? 0 : active.front();
}

QList<Window> windowsNamed(const QString &name, qint64 pid, bool visibleOnly)
{
    QStringList arguments { "search", "--all", "--pid", QString::number(pid), "--name",
        '^' + name + '$' };
    if (visibleOnly)
        arguments.insert(1, "--onlyvisible");
    QProcess search;
    search.start("xdotool", arguments);
    search.waitForFinished();
    QList<Window> windows;
    for (const QByteArray &line : search.readAllStandardOutput().split('\n'))
        if (!line.isEmpty())
            windows << Window(line.toULong());
    return windows;
}

QList<Window> popups(qint64 pid)
{
    QList<Window> found;
    for (Window window : children(root())) {
        auto attributes = own(xcb_get_window_attributes_reply(
            connection(), xcb_get_window_attributes(connection(), window), nullptr));
        if (attributes && attributes->override_redirect
            && attributes->map_state == XCB_MAP_STATE_VIEWABLE
            && cardinals(window, "_NET_WM_PID") == QList<quint32> { quint32(pid) })
            found << window;
    }
    return found;
}

bool xdotool(const QStringList &arguments)
{
    QProcess run;
    run.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    run.start("xdotool", arguments);
    return run.waitForFinished() && run.exitStatus() == QProcess::NormalExit && run.exitCode() == 0;
}

QStringList warpTo(QPoint at)
{
    return { "mousemove", QString::number(at.x()), QString::number(at.y()) };
}

bool movePointer(QPoint to, bool motion)
{
    const QPoint by = to - pointer();
    return xdotool(motion ? QStringList { "mousemove_relative", "--", QString::number(by.x()),
                       QString::number(by.y()) }
                          : warpTo(to))
        && QTest::qWaitFor([&] { return pointer() == to; }, Deadline);
}

QRegion headOutline(qreal ratio)
{
    OutlinePolygon outline;
    LoadOutline(outline);
    QPolygon polygon;
    for (const POINT &p : outline)
        polygon << (QPointF(QPoint(p.x, p.y) - OutlineOffset) * ratio).toPoint();
    return QRegion(polygon, Qt::OddEvenFill);
}

QRegion opaquePixels(Window window)
{
    auto geometry = own(
        xcb_get_geometry_reply(connection(), xcb_get_geometry(connection(), window), nullptr));
    if (!geometry || geometry->depth != 32)
        return {};
    auto reply = own(xcb_get_image_reply(connection(),
        xcb_get_image(connection(), XCB_IMAGE_FORMAT_Z_PIXMAP, window, 0, 0, geometry->width,
            geometry->height, ~0u),
        nullptr));
    if (!reply)
        return {};
    const QImage image(xcb_get_image_data(reply.get()), geometry->width, geometry->height,
        QImage::Format_ARGB32_Premultiplied);
    QRegion opaque;
    for (int y = 0; y < image.height(); ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0, start = 0; x <= image.width(); ++x) {
            const int alpha = x < image.width() ? qAlpha(row[x]) : 0;
            if (alpha != 0 && alpha != 255)
                return {};
            if (alpha != 255) {
                if (x > start)
                    opaque += QRect(start, y, x - start, 1);
                start = x + 1;
            }
        }
    }
    return opaque;
}

QImage grab(const QRect &area)
{
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

std::optional<QPoint> findPupil(const QImage &head, int eye, int scale)
{
    const EyeInfo &e = EyeSockets.at(size_t(eye));
    // Everywhere the pupil may go, and a margin.
    const QRect around(scale * (e.CenterX - e.RangeX - PupilSize.width()),
        scale * (e.CenterY - e.RangeY - PupilSize.height()),
        scale * 2 * (e.RangeX + PupilSize.width()), scale * 2 * (e.RangeY + PupilSize.height()));
    QRect box;
    for (int y = around.top(); y <= around.bottom(); ++y)
        for (int x = around.left(); x <= around.right(); ++x)
            if (head.valid(x, y) && isPupilColour(head.pixel(x, y)))
                box |= QRect(x, y, 1, 1);
    if (box.size() != QSize(PupilSize.width(), PupilSize.height() - 1) * scale)
        return std::nullopt;
    return box.topLeft();
}

std::array<QPoint, 2> expectedPupils(QPoint client)
{
    std::array<QPoint, 2> places;
    for (int eye = 0; eye < 2; ++eye) {
        const PupilPlace p = PlacePupil(EyeSockets.at(size_t(eye)), float(client.x()),
            float(client.y()), float(PupilSize.width()), float(PupilSize.height()));
        places[eye] = { int(std::floor(p.left + 0.5f)), int(std::floor(p.top + 0.5f)) };
    }
    return places;
}

bool pupilsReach(Window head, const std::array<QPoint, 2> &expected, QString *seen, int scale)
{
    return QTest::qWaitFor([&] { return pupilsAt(head, expected, seen, scale); }, Deadline);
}

bool pupilsStay(Window head, const std::array<QPoint, 2> &expected, int milliseconds, QString *seen)
{
    const QDeadlineTimer until(milliseconds);
    do {
        if (!pupilsAt(head, expected, seen, 1))
            return false;
        QTest::qWait(20);
    } while (!until.hasExpired());
    return true;
}

StandInOpener::StandInOpener()
{
    // Each argument ended by a NUL, each call by a record separator.
    const QByteArray log = '\'' + this->log().toUtf8() + '\'';
    QFile opener(m_dir.filePath("xdg-open"));
    if (!m_dir.isValid() || !opener.open(QIODevice::WriteOnly))
        return;
    opener.write("#!/bin/sh\nprintf '%s\\0' \"$@\" >>" + log + "\nprintf '\\036' >>" + log + '\n');
    opener.close();
    m_ready = opener.error() == QFile::NoError
        && opener.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QProcessEnvironment StandInOpener::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("PATH", m_dir.path() + ':' + environment.value("PATH"));
    return environment;
}

QList<QList<QByteArray>> StandInOpener::calls() const
{
    QFile file(log());
    QList<QList<QByteArray>> result;
    if (!file.open(QIODevice::ReadOnly))
        return result;
    for (const QByteArray &call : file.readAll().split('\x1e'))
        if (!call.isEmpty())
            result << call.chopped(1).split('\0');
    return result;
}

void StandInOpener::forgetCalls()
{
    QFile::remove(log());
}

Oglon::~Oglon()
{
    if (m_process.program().isEmpty()) // never started
        return;
    // Ended as a user's session would end it, the program must leave with
    // status 0: a sanitizer's report at exit (a leak, say) changes that.
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(10000)) {
            m_process.kill();
            m_process.waitForFinished();
            qFatal("oglon did not end on SIGTERM");
        }
    }
    if (m_process.exitStatus() != QProcess::NormalExit || m_process.exitCode() != 0)
        qFatal("oglon ended with %s %d",
            m_process.exitStatus() == QProcess::NormalExit ? "status" : "signal",
            m_process.exitCode());
}

bool Oglon::start(const QProcessEnvironment &environment, const QString &binary)
{
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::ForwardedChannels);
    m_process.start(binary, {});
    if (!m_process.waitForStarted())
        return false;
    QList<Window> found;
    if (!QTest::qWaitFor(
            [&] { return (found = windowsNamed("Oglon", pid())).size() == 1; }, Deadline)) {
        qWarning() << "no head window:" << m_process.state() << found;
        return false;
    }
    m_head = found.front();
    return true;
}

Window Oglon::openMenu(QPoint client)
{
    const qint64 id = pid();
    if (!popups(id).isEmpty() || !xdotool(warpTo(onHead(client)) + QStringList { "click", "3" }))
        return 0;
    QList<Window> menus;
    if (!QTest::qWaitFor([&] { return (menus = popups(id)).size() == 1; }, Deadline))
        return 0;
    return menus.front();
}

bool Oglon::choose(const QString &key)
{
    const qint64 id = pid();
    return openMenu() && xdotool({ "key", key })
        && QTest::qWaitFor([&] { return popups(id).isEmpty(); }, Deadline);
}

QImage windowPixels(Window window)
{
    const QSize size = clientRect(window).size();
    const auto reply = own(xcb_get_image_reply(connection(),
        xcb_get_image(connection(), XCB_IMAGE_FORMAT_Z_PIXMAP, window, 0, 0, uint16_t(size.width()),
            uint16_t(size.height()), ~0u),
        nullptr));
    if (!reply)
        return {};
    return QImage(
        xcb_get_image_data(reply.get()), size.width(), size.height(), QImage::Format_RGB32)
        .copy();
}

bool pupilsLookAt(Window head, QPoint client, QString *seen)
{
    const std::array<QPoint, 2> expected = expectedPupils(client);
    *seen = QStringLiteral("pupils not at (%1,%2) (%3,%4)")
                .arg(expected[0].x())
                .arg(expected[0].y())
                .arg(expected[1].x())
                .arg(expected[1].y());
    return QTest::qWaitFor(
        [&] {
            const QImage shot = windowPixels(head);
            if (shot.isNull())
                return false;
            bool there = true;
            for (int eye = 0; eye < 2; ++eye) {
                const std::optional<QPoint> pupil = findPupil(shot, eye);
                there = there && pupil && (*pupil - expected[eye]).manhattanLength() <= 2;
            }
            return there;
        },
        Deadline);
}

Run::Run(const QProcessEnvironment &environment)
{
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(OGLON_BINARY), {});
}

QString Run::said()
{
    return text += QString::fromLocal8Bit(process.readAllStandardError());
}

Window Run::head()
{
    QList<Window> found;
    const auto one
        = [&] { return (found = windowsNamed("Oglon", process.processId())).size() == 1; };
    return QTest::qWaitFor(one, Deadline) ? found.front() : 0;
}

bool Run::ended()
{
    return QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; });
}

} // namespace e2e
