// Shared helpers of the end-to-end tests: they start the real program on the
// X server xsession.sh provides and judge it by what the server says and shows.
#pragma once

#include "head/geometry.h"

#include <QAbstractNativeEventFilter>
#include <QImage>
#include <QProcess>
#include <QRegion>
#include <QStringList>
#include <QTemporaryDir>
#include <array>
#include <optional>
#include <xcb/xcb.h>

namespace e2e {

using Window = xcb_window_t;

// The screen xsession.sh sets up, and the head's place on it at start:
// centred as Qt centres a rectangle.
constexpr QSize ScreenSize { 1024, 768 };
constexpr QRect HeadRect { QPoint((ScreenSize.width() - ClientSize.width) / 2,
                               (ScreenSize.height() - ClientSize.height) / 2),
    QSize(ClientSize.width, ClientSize.height) };
// The outline's corner lies this far up and left of the client area.
constexpr QPoint OutlineOffset { OutlineClientOffset.x, OutlineClientOffset.y };

// The build's default credits (OGLON_AUTHOR_* in CMakeLists.txt).
inline const QString AuthorEmail = QStringLiteral("oglon@example.org");
inline const QString AuthorHomepage = QStringLiteral("https://oglon.example.org/");

// How long any awaited condition may take.
constexpr int Deadline = 10000;
// A pause of the pointer long enough for a compositor's reporter to stop
// reading it: the next motion must wake the reporter again.
constexpr int PointerRest = 500;

// --- the X server's view ---------------------------------------------------

xcb_connection_t *connection();
// The client area in root coordinates; empty once the window is gone.
QRect clientRect(Window window);
// The outermost ancestor below the root: the window manager's frame.
QRect frameRect(Window window);
bool isViewable(Window window);
// The atoms of an ATOM[] property by name, e.g. of _NET_WM_STATE.
QStringList atomNames(Window window, const char *property);
// The window manager's states that keep a window off the taskbar and pager.
inline const QStringList OffTaskbar { "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER" };
// Whether the window's _NET_WM_STATE holds every one of `states`; `seen`
// receives what it holds.
bool hasStates(Window window, const QStringList &states, QString *seen = nullptr);
// Whether the window is in the window manager's above-others band.
bool isAbove(Window window);
// A CARDINAL[] property, e.g. _NET_FRAME_EXTENTS.
QList<quint32> cardinals(Window window, const char *property);
// The bounding or input shape (XCB_SHAPE_SK_*) in client pixels.
QRegion shape(Window window, int kind);
// The head's outline in client pixels, the shape it should have; at a device
// pixel ratio, the outline scaled and filled in device pixels.
QRegion headOutline(qreal ratio = 1);
// The pixels of a window with alpha (depth 32) that are not transparent, in
// device pixels; none for a window without alpha or one with pixels neither
// opaque nor transparent.
QRegion opaquePixels(Window window);
QPoint pointer();
// The window the window manager says is active (_NET_ACTIVE_WINDOW), or 0.
Window activeWindow();
// Windows of a process whose WM_NAME is exactly `name`.
QList<Window> windowsNamed(const QString &name, qint64 pid, bool visibleOnly = true);
// Mapped override-redirect windows (menus) of a process.
QList<Window> popups(qint64 pid);

// Counts the times the server unmaps a window, as long as it lives.
class UnmapCounter : public QAbstractNativeEventFilter
{
public:
    explicit UnmapCounter(Window window);
    ~UnmapCounter() override;
    int count() const { return m_count; }
    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override;

private:
    Window m_window;
    int m_count = 0;
};

// --- input and pixels --------------------------------------------------------

// Runs xdotool with the arguments; true when it succeeded.
bool xdotool(const QStringList &arguments);
// xdotool's words for warping the pointer to a screen point, to chain more.
QStringList warpTo(QPoint at);
// Moves the pointer to a point of the screen, by warping or by motion.
bool movePointer(QPoint to, bool motion = false);
QImage grab(const QRect &area);

// The top-left of the pupil drawn in eye 0 (left) or 1 (right), in pixels of
// a head screenshot taken at `scale` device pixels to a client pixel; none
// unless exactly one pupil-sized dot is there.
std::optional<QPoint> findPupil(const QImage &head, int eye, int scale = 1);
// Where both pupils belong for the pointer at `client` (in client pixels).
std::array<QPoint, 2> expectedPupils(QPoint client);
// Polls screenshots of the head until both pupils are within a pixel of
// `expected`; `seen` describes the last screenshot. At a `scale` above 1 the
// head is drawn that many device pixels to a client pixel: there the pupils
// must be within `scale` device pixels of `expected` times `scale`.
bool pupilsReach(Window head, const std::array<QPoint, 2> &expected, QString *seen, int scale = 1);
// Screenshots over `milliseconds`: true when every one shows the pupils there.
bool pupilsStay(
    Window head, const std::array<QPoint, 2> &expected, int milliseconds, QString *seen);

// A window's own contents (client pixels), which XWayland keeps whatever the
// compositor shows; null once the window is gone.
QImage windowPixels(Window window);

// Under a Wayland compositor XWayland's root window shows nothing of the
// windows on it: polls the head's own contents until both pupils are within
// two pixels of where they belong for the pointer at `client`.
bool pupilsLookAt(Window head, QPoint client, QString *seen);

// --- the program -------------------------------------------------------------

// Oglon with its stderr kept; said() is all it wrote so far.
struct Run
{
    QProcess process;
    QString text;

    explicit Run(const QProcessEnvironment &environment);
    QString said();
    // The one head window of the process, or 0.
    Window head();
    bool ended();
};

// A stand-in for the desktop's opener (xdg-open) that records how it was
// called, first on the PATH of environment().
class StandInOpener
{
public:
    StandInOpener();
    bool isReady() const { return m_ready; }
    QProcessEnvironment environment() const;
    // The arguments of every call so far, oldest first.
    QList<QList<QByteArray>> calls() const;
    void forgetCalls();

private:
    QString log() const { return m_dir.filePath("opened"); }

    QTemporaryDir m_dir;
    bool m_ready = false;
};

class Oglon
{
public:
    Oglon() = default;
    ~Oglon();
    Oglon(const Oglon &) = delete;
    Oglon &operator=(const Oglon &) = delete;

    // Starts the program and waits for its head window.
    bool start(const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment(),
        const QString &binary = QStringLiteral(OGLON_BINARY));
    Window head() const { return m_head; }
    qint64 pid() const { return m_process.processId(); }
    QProcess &process() { return m_process; }
    // The head's client point in root coordinates.
    QPoint onHead(QPoint client) const { return clientRect(m_head).topLeft() + client; }

    // A right click on the head (by default on the crown, which the About
    // box leaves uncovered); the menu it opens, or 0.
    Window openMenu(QPoint client = { 45, 12 });
    // Opens the menu and presses an item's key; true when the menu closed.
    bool choose(const QString &key);

private:
    QProcess m_process;
    Window m_head = 0;
};

} // namespace e2e
