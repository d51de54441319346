// The pointer from a Wayland compositor that shares it through a cursor
// session (ext-image-copy-capture-v1: sway 1.11, labwc 0.9 and later, and
// others). The program opens a Wayland connection of its own beside the X
// one and follows one cursor session per output; the compositor sends the
// pointer's place as events, at most once per screen refresh.
#pragma once

#include "pointer/compositorpointer.h"

#include <QRect>
#include <QSize>
#include <list>
#include <memory>
#include <optional>

class QSocketNotifier;
struct wl_display;
struct wl_registry;
struct wl_seat;
struct wl_pointer;
struct wl_callback;
struct wl_registry_listener;
struct wl_seat_listener;
struct wl_callback_listener;
struct zxdg_output_manager_v1;
struct ext_output_image_capture_source_manager_v1;
struct ext_image_copy_capture_manager_v1;

// An output as the compositor describes it: its place and size in the
// compositor's logical layout, its mode in pixels, and whether the screen
// shows it turned a quarter (the picture is then as high as the mode is wide).
struct OutputLayout
{
    QRect logical;
    QSize mode;
    bool turned = false;
};

// The point of the layout that a cursor session's position (pixels of the
// output's picture) stands for; none before the output is fully described.
std::optional<QPointF> LayoutPoint(const OutputLayout &output, QPoint position);

// The head's frame in the compositor's layout, from its place on the X
// screens: XWayland's root may be the layout itself or the layout in
// pixels, which the screens' widths against the layout's tell.
QRectF FrameInLayout(const QRect &head, const QRect &screens, const QRect &layout);

class CursorSessionPointer : public CompositorPointer
{
    Q_OBJECT

public:
    explicit CursorSessionPointer(HWND head, QObject *parent = nullptr);
    ~CursorSessionPointer() override;

    QString name() const override { return QStringLiteral("the compositor's cursor session"); }
    // What the line says on a compositor that does not offer it.
    static QString notOffered();

protected:
    void startReports() override;
    void stopReports() override;
    void noReportInTime() override;

private:
    struct Output;
    // One place of the pointer and the head's frame, as a report has them.
    struct Report
    {
        double values[6];
    };
    static const wl_registry_listener registryListener;
    static const wl_seat_listener seatListener;
    static const wl_callback_listener introductionListener;

    static void global(
        void *data, wl_registry *registry, uint32_t name, const char *interface, uint32_t version);
    static void globalRemoved(void *data, wl_registry *registry, uint32_t name);
    static void seatCapabilities(void *data, wl_seat *seat, uint32_t capabilities);
    static void introduced(void *data, wl_callback *callback, uint32_t);
    void openSessions();
    void positioned(const Output &output, QPoint position);
    void dispatch();
    void flush();
    QRect layout() const;

    wl_display *m_display = nullptr;
    std::unique_ptr<QSocketNotifier> m_notifier;
    wl_registry *m_registry = nullptr;
    wl_callback *m_introduction = nullptr;
    wl_seat *m_seat = nullptr;
    wl_pointer *m_pointer = nullptr;
    zxdg_output_manager_v1 *m_outputManager = nullptr;
    ext_output_image_capture_source_manager_v1 *m_sources = nullptr;
    ext_image_copy_capture_manager_v1 *m_capture = nullptr;
    std::list<Output> m_outputs; // stable addresses: listeners hold them
    bool m_introduced = false; // the globals first announced have all come
    std::optional<Report> m_latest; // read, not yet handled
    QString m_trouble; // met while reading, handled after it
    bool m_offered = true; // false: the compositor has no cursor session
};
