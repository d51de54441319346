#include "cursorsession.h"

#include "ext-image-capture-source-v1-client-protocol.h"
#include "ext-image-copy-capture-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSocketNotifier>
#include <QWidget>
#include <cstring>
#include <utility>
#include <wayland-client.h>

std::optional<QPointF> LayoutPoint(const OutputLayout &output, QPoint position)
{
    const QSize pixels = output.turned ? output.mode.transposed() : output.mode;
    if (output.logical.isEmpty() || pixels.isEmpty())
        return std::nullopt;
    // Pixels of the picture per logical pixel: the output's scale, whole or not.
    const double kx = double(pixels.width()) / output.logical.width();
    const double ky = double(pixels.height()) / output.logical.height();
    return QPointF(output.logical.x() + position.x() / kx, output.logical.y() + position.y() / ky);
}

QRectF FrameInLayout(const QRect &head, const QRect &screens, const QRect &layout)
{
    // Compositors give XWayland their layout as it is (sway, labwc), or in
    // pixels where they leave scaling X11 windows to the X11 programs.
    const double k = screens.width() > 0 && layout.width() > 0
        ? double(layout.width()) / screens.width()
        : 1.0;
    return QRectF(layout.x() + (head.x() - screens.x()) * k,
        layout.y() + (head.y() - screens.y()) * k, head.width() * k, head.height() * k);
}

// One output: its description and its cursor session.
struct CursorSessionPointer::Output
{
    Output(CursorSessionPointer *owner, uint32_t name, wl_output *output)
        : owner(owner)
        , name(name)
        , output(output)
    { }
    Q_DISABLE_COPY(Output)

    CursorSessionPointer *owner;
    uint32_t name; // the global's name in the registry
    wl_output *output;
    zxdg_output_v1 *described = nullptr;
    ext_image_capture_source_v1 *source = nullptr;
    ext_image_copy_capture_cursor_session_v1 *session = nullptr;
    OutputLayout layout;
    std::optional<QPoint> position; // the pointer over this output, in its pixels

    ~Output()
    {
        if (session)
            ext_image_copy_capture_cursor_session_v1_destroy(session);
        if (source)
            ext_image_capture_source_v1_destroy(source);
        if (described)
            zxdg_output_v1_destroy(described);
        wl_output_destroy(output);
    }

    // wl_output: the mode and the turn; done once both are told.
    static void geometry(void *data, wl_output *, int32_t, int32_t, int32_t, int32_t, int32_t,
        const char *, const char *, int32_t transform)
    {
        static_cast<Output *>(data)->layout.turned = transform % 2 == 1;
    }
    static void mode(
        void *data, wl_output *, uint32_t flags, int32_t width, int32_t height, int32_t)
    {
        if (flags & WL_OUTPUT_MODE_CURRENT)
            static_cast<Output *>(data)->layout.mode = QSize(width, height);
    }
    static void done(void *data, wl_output *) { static_cast<Output *>(data)->update(); }
    static void scale(void *, wl_output *, int32_t) { }
    static void text(void *, wl_output *, const char *) { }

    // zxdg_output_v1: the place and size in the layout.
    static void logicalPosition(void *data, zxdg_output_v1 *, int32_t x, int32_t y)
    {
        static_cast<Output *>(data)->layout.logical.moveTo(x, y);
    }
    static void logicalSize(void *data, zxdg_output_v1 *, int32_t width, int32_t height)
    {
        static_cast<Output *>(data)->layout.logical.setSize(QSize(width, height));
    }
    static void describedDone(void *data, zxdg_output_v1 *)
    {
        static_cast<Output *>(data)->update();
    }
    static void describedText(void *, zxdg_output_v1 *, const char *) { }

    // The cursor session: where the pointer's hotspot is.
    static void enter(void *, ext_image_copy_capture_cursor_session_v1 *) { }
    static void leave(void *data, ext_image_copy_capture_cursor_session_v1 *)
    {
        static_cast<Output *>(data)->position.reset();
    }
    static void positioned(
        void *data, ext_image_copy_capture_cursor_session_v1 *, int32_t x, int32_t y)
    {
        auto *output = static_cast<Output *>(data);
        output->position = QPoint(x, y);
        output->owner->positioned(*output, *output->position);
    }
    static void hotspot(void *, ext_image_copy_capture_cursor_session_v1 *, int32_t, int32_t) { }

    static const wl_output_listener outputListener;
    static const zxdg_output_v1_listener describedListener;
    static const ext_image_copy_capture_cursor_session_v1_listener sessionListener;

    // A description complete: a position that came before it counts now.
    void update()
    {
        if (position)
            owner->positioned(*this, *position);
    }
};

const wl_output_listener CursorSessionPointer::Output::outputListener
    = { geometry, mode, done, scale, text, text };
const zxdg_output_v1_listener CursorSessionPointer::Output::describedListener
    = { logicalPosition, logicalSize, describedDone, describedText, describedText };
const ext_image_copy_capture_cursor_session_v1_listener
    CursorSessionPointer::Output::sessionListener
    = { enter, leave, positioned, hotspot };

const wl_registry_listener CursorSessionPointer::registryListener = { global, globalRemoved };
const wl_seat_listener CursorSessionPointer::seatListener
    = { seatCapabilities, [](void *, wl_seat *, const char *) {} };
const wl_callback_listener CursorSessionPointer::introductionListener = { introduced };

namespace {

template <typename T>
T *bind(wl_registry *registry, uint32_t name, const wl_interface *interface, uint32_t version)
{
    return static_cast<T *>(wl_registry_bind(registry, name, interface, version));
}

} // namespace

CursorSessionPointer::CursorSessionPointer(HWND head, QObject *parent)
    : CompositorPointer(head, QString(), QStringLiteral("the compositor's cursor session"), parent)
{ }

// wlroots says nothing in a cursor session while it draws the pointer into
// the picture itself: with software cursors, or while another capture shows
// the pointer.
void CursorSessionPointer::noReportInTime()
{
    fail(QStringLiteral("the compositor's cursor session says nothing while the compositor draws "
                        "the pointer itself, with software cursors or during a screen recording"));
}

CursorSessionPointer::~CursorSessionPointer()
{
    stopReports();
}

QString CursorSessionPointer::notOffered()
{
    return QStringLiteral("this compositor does not share the pointer; sway 1.11 or labwc 0.9 "
                          "and later do");
}

// Asks the compositor what it offers; the answers come as events, read when
// the connection has something to read.
void CursorSessionPointer::startReports()
{
    stopReports();
    m_display = wl_display_connect(nullptr);
    if (!m_display) {
        m_trouble = QStringLiteral("cannot connect to the Wayland compositor");
        QMetaObject::invokeMethod(this, &CursorSessionPointer::dispatch, Qt::QueuedConnection);
        return;
    }
    m_notifier
        = std::make_unique<QSocketNotifier>(wl_display_get_fd(m_display), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &CursorSessionPointer::dispatch);
    m_registry = wl_display_get_registry(m_display);
    wl_registry_add_listener(m_registry, &registryListener, this);
    // Answered after every global there is now has been announced.
    m_introduction = wl_display_sync(m_display);
    wl_callback_add_listener(m_introduction, &introductionListener, this);
    flush();
}

void CursorSessionPointer::stopReports()
{
    m_notifier.reset();
    m_outputs.clear();
    m_latest.reset();
    if (m_introduction)
        wl_callback_destroy(std::exchange(m_introduction, nullptr));
    if (m_pointer)
        wl_pointer_destroy(std::exchange(m_pointer, nullptr));
    if (m_seat)
        wl_seat_destroy(std::exchange(m_seat, nullptr));
    if (m_outputManager)
        zxdg_output_manager_v1_destroy(std::exchange(m_outputManager, nullptr));
    if (m_sources)
        ext_output_image_capture_source_manager_v1_destroy(std::exchange(m_sources, nullptr));
    if (m_capture)
        ext_image_copy_capture_manager_v1_destroy(std::exchange(m_capture, nullptr));
    if (m_registry)
        wl_registry_destroy(std::exchange(m_registry, nullptr));
    if (m_display)
        wl_display_disconnect(std::exchange(m_display, nullptr));
    m_introduced = false;
}

void CursorSessionPointer::global(
    void *data, wl_registry *registry, uint32_t name, const char *interface, uint32_t version)
{
    auto *self = static_cast<CursorSessionPointer *>(data);
    const auto is = [interface](const wl_interface &known) {
        return std::strcmp(interface, known.name) == 0;
    };
    if (is(wl_output_interface) && version >= 2) {
        auto *output = bind<wl_output>(registry, name, &wl_output_interface, 2);
        Output &added = self->m_outputs.emplace_back(self, name, output);
        wl_output_add_listener(output, &Output::outputListener, &added);
    } else if (is(wl_seat_interface) && !self->m_seat) {
        self->m_seat = bind<wl_seat>(registry, name, &wl_seat_interface, 1);
        wl_seat_add_listener(self->m_seat, &seatListener, self);
    } else if (is(zxdg_output_manager_v1_interface)) {
        self->m_outputManager
            = bind<zxdg_output_manager_v1>(registry, name, &zxdg_output_manager_v1_interface, 1);
    } else if (is(ext_output_image_capture_source_manager_v1_interface)) {
        self->m_sources = bind<ext_output_image_capture_source_manager_v1>(
            registry, name, &ext_output_image_capture_source_manager_v1_interface, 1);
    } else if (is(ext_image_copy_capture_manager_v1_interface)) {
        self->m_capture = bind<ext_image_copy_capture_manager_v1>(
            registry, name, &ext_image_copy_capture_manager_v1_interface, 1);
    } else {
        return;
    }
    self->openSessions();
}

void CursorSessionPointer::globalRemoved(void *data, wl_registry *, uint32_t name)
{
    auto *self = static_cast<CursorSessionPointer *>(data);
    self->m_outputs.remove_if([name](const Output &output) { return output.name == name; });
}

void CursorSessionPointer::seatCapabilities(void *data, wl_seat *seat, uint32_t capabilities)
{
    auto *self = static_cast<CursorSessionPointer *>(data);
    // Only a seat that has a pointer may be asked for it.
    if ((capabilities & WL_SEAT_CAPABILITY_POINTER) && !self->m_pointer) {
        self->m_pointer = wl_seat_get_pointer(seat);
        self->openSessions();
    }
}

void CursorSessionPointer::introduced(void *data, wl_callback *, uint32_t)
{
    auto *self = static_cast<CursorSessionPointer *>(data);
    wl_callback_destroy(std::exchange(self->m_introduction, nullptr));
    self->m_introduced = true;
    if (!self->m_sources || !self->m_capture || !self->m_outputManager) {
        self->m_trouble = notOffered();
        self->m_offered = false;
        return;
    }
    self->openSessions();
}

// One cursor session per output, once the compositor has told what it
// offers and the seat has its pointer; the compositor then says at once
// where the pointer is.
void CursorSessionPointer::openSessions()
{
    if (!m_introduced || !m_pointer || !m_sources || !m_capture || !m_outputManager)
        return;
    for (Output &output : m_outputs) {
        if (output.session)
            continue;
        output.described = zxdg_output_manager_v1_get_xdg_output(m_outputManager, output.output);
        zxdg_output_v1_add_listener(output.described, &Output::describedListener, &output);
        output.source
            = ext_output_image_capture_source_manager_v1_create_source(m_sources, output.output);
        output.session = ext_image_copy_capture_manager_v1_create_pointer_cursor_session(
            m_capture, output.source, m_pointer);
        ext_image_copy_capture_cursor_session_v1_add_listener(
            output.session, &Output::sessionListener, &output);
    }
}

QRect CursorSessionPointer::layout() const
{
    QRect all;
    for (const Output &output : m_outputs)
        all |= output.layout.logical;
    return all;
}

// Kept until the events read together have all been handled: only the last
// place counts.
void CursorSessionPointer::positioned(const Output &output, QPoint position)
{
    const std::optional<QPointF> pointer = LayoutPoint(output.layout, position);
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!pointer || !screen)
        return;
    const QRectF frame = FrameInLayout(head()->geometry(), screen->virtualGeometry(), layout());
    m_latest = Report { { pointer->x(), pointer->y(), frame.x(), frame.y(), frame.width(),
        frame.height() } };
}

// The compositor's events, handled here rather than as they are read, so
// that falling back never pulls the connection from under them.
void CursorSessionPointer::dispatch()
{
    if (m_display && wl_display_dispatch(m_display) < 0) {
        m_trouble
            = QStringLiteral("the Wayland connection broke (%1)")
                  .arg(QString::fromLocal8Bit(std::strerror(wl_display_get_error(m_display))));
    }
    if (!m_trouble.isEmpty())
        return fail(std::exchange(m_trouble, QString()), std::exchange(m_offered, true));
    if (m_latest)
        received(std::exchange(m_latest, std::nullopt)->values);
    flush();
}

void CursorSessionPointer::flush()
{
    // A full socket flushes at the next read; a broken one fails there.
    if (m_display)
        wl_display_flush(m_display);
}
